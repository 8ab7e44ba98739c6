// The playlist rules without real files: reading, encodings, line classes, path methods,
// entry resolution, the rewrite's bytes, and the operations' line tables on an in-memory
// file system. Runs natively under the sanitizers and under Wine with the system's code pages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/playlist_text.h"
#include "playlist/run.h"
#include "tests/playlist/test_support.h"

namespace tallowmere::playlist {
namespace {

using testing::MemoryFileSystem;
using testing::RecordingHost;

std::vector<std::string> Lines(std::string_view bytes) {
    std::vector<std::string> lines;
    for (const std::string_view line : SplitLines(bytes)) lines.emplace_back(line);
    return lines;
}

using StringList = std::vector<std::string>;

TEST(GetFileName, LastBackslashComponent) {
    EXPECT_EQ(GetFileName(L"C:\\Music\\a.mp3"), L"a.mp3");
    EXPECT_EQ(GetFileName(L"a.mp3"), L"a.mp3");
    EXPECT_EQ(GetFileName(L"C:\\Music\\"), L"");
    EXPECT_EQ(GetFileName(L"\\\\box\\share"), L"share");
    EXPECT_EQ(GetFileName(L"C:/Music/a.mp3"), L"C:/Music/a.mp3");
    EXPECT_EQ(GetFileName(L""), L"");
    EXPECT_EQ(PlaylistFolder(L"D:\\Lists\\mix.m3u"), L"D:\\Lists\\");
    EXPECT_EQ(PlaylistFolder(L"mix.m3u"), L"");
}

TEST(Reading, LineEndsAndLastLine) {
    EXPECT_EQ(Lines("a\r\nb\r\n"), (StringList{"a", "b"}));
    EXPECT_EQ(Lines("a\r\n\r\nb"), (StringList{"a", "", "b"}));
    EXPECT_EQ(Lines("a\rb"), (StringList{"a", "b"}));
    // A lone LF ends a line too.
    EXPECT_EQ(Lines("a\nb\r\n"), (StringList{"a", "b"}));
    EXPECT_EQ(Lines("a\nb\nc"), (StringList{"a", "b", "c"}));
    EXPECT_EQ(Lines("a\n\nb\n"), (StringList{"a", "", "b"}));
    // LF CR is two line ends; CR LF is one.
    EXPECT_EQ(Lines("a\n\rb"), (StringList{"a", "", "b"}));
    EXPECT_EQ(Lines("one\r\ntwo\rthree\nfour"), (StringList{"one", "two", "three", "four"}));
    EXPECT_EQ(Lines("last without end"), (StringList{"last without end"}));
    EXPECT_EQ(Lines(""), StringList{});
    EXPECT_EQ(Lines("\r\n"), (StringList{""}));
    EXPECT_EQ(Lines("\r"), (StringList{""}));
    // Blanks are never trimmed.
    EXPECT_EQ(Lines(" a \r\n\t\r\n"), (StringList{" a ", "\t"}));
}

TEST(Reading, ByteOrderMarkIsNotPartOfTheFirstLine) {
    const auto text = ParsePlaylist("\xEF\xBB\xBF#EXTM3U\nsong.mp3\n", L"x.m3u");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->encoding, TextEncoding::Utf8);
    EXPECT_EQ(text->Bom(), "\xEF\xBB\xBF");
    EXPECT_EQ(Lines(text->Body()), (StringList{"#EXTM3U", "song.mp3"}));
    EXPECT_EQ(ClassifyLine(SplitLines(text->Body())[0]), LineKind::Tag);
}

TEST(Reading, EncodingDetectionAndRefusal) {
    EXPECT_EQ(DetectEncoding("D:\\a.mp3", L"x.m3u"), TextEncoding::Ansi);
    EXPECT_EQ(DetectEncoding("D:\\a.mp3", L"x.m3u8"), TextEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("D:\\a.mp3", L"D:\\X.M3U8"), TextEncoding::Utf8);
    EXPECT_EQ(DetectEncoding("D:\\a.mp3", L"x.m3u8.bak"), TextEncoding::Ansi);
    EXPECT_EQ(DetectEncoding("D:\\\xC3\xA9.mp3", L"x.m3u"), TextEncoding::Utf8);       // é in UTF-8
    EXPECT_EQ(DetectEncoding("D:\\\xE9.mp3", L"x.m3u"), TextEncoding::Ansi);           // é in 1252
    EXPECT_EQ(DetectEncoding("\xC0\xAF", L"x.m3u"), TextEncoding::Ansi);               // overlong
    EXPECT_EQ(DetectEncoding("\xED\xA0\x80", L"x.m3u"), TextEncoding::Ansi);           // surrogate
    EXPECT_EQ(DetectEncoding("\xF0\x9F\x8E\xB5 x", L"x.m3u"), TextEncoding::Utf8);     // 4 bytes
    EXPECT_EQ(DetectEncoding("\xEF\xBB\xBF\xE9", L"x.m3u"), TextEncoding::Utf8);       // BOM wins

    EXPECT_FALSE(ParsePlaylist(std::string("\xFF\xFE#\0E\0", 6), L"x.m3u"));
    EXPECT_FALSE(ParsePlaylist("\xFE\xFF\x00#", L"x.m3u"));
    EXPECT_FALSE(ParsePlaylist(std::string("a.mp3\r\nb\0c", 10), L"x.m3u"));
    EXPECT_TRUE(ParsePlaylist("", L"x.m3u"));
    EXPECT_TRUE(ParsePlaylist("\xFF", L"x.m3u"));  // one byte of FF is no byte-order mark
}

TEST(Rewrite, ExactBytes) {
    EXPECT_EQ(RewriteBytes({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(RewriteBytes({}), "");
    EXPECT_EQ(RewriteBytes({"", "x"}), "\r\nx\r\n");
    EXPECT_EQ(RewriteBytes({"a"}, kUtf8Bom), "\xEF\xBB\xBF" "a\r\n");
    // No lines, no byte-order mark: an empty list is always an empty file.
    EXPECT_EQ(RewriteBytes({}, kUtf8Bom), "");
    PlaylistWriter writer;
    writer.Add("D:\\Lists\\", "Sub\\\xE9.mp3");
    EXPECT_EQ(writer.Finish(), "D:\\Lists\\Sub\\\xE9.mp3\r\n");
}

// Written over the playlist's own bytes, the file comes out as a writer with a string of its
// own makes it, whatever the line ends, the lines dropped and the prefixes put in front; a
// line that would overtake the reading moves the file to a string of its own midway.
TEST(Rewrite, OverThePlaylistsOwnBytes) {
    const std::string inputs[] = {
        "a.mp3\r\n#EXTINF:1,x\r\nb.mp3\r\nc.mp3",          // CR LF: stays in place
        "a.mp3\nb.mp3\n\nc.mp3\n",                          // LF: every kept line is longer
        "a\rb\r\r\nc\n\r",                                  // CR, CR LF and LF mixed
        "\xEF\xBB\xBF#EXTM3U\r\nlong line one\r\nx\ny\nz\n",  // byte-order mark, then LF lines
        "\xEF\xBB\xBFonly\n",
        "",
    };
    for (const std::string& input : inputs) {
        for (int keep = 0; keep < 4; ++keep) {
            // keep 0: every line; 1: every other line; 2: none; 3: every line with a prefix.
            const std::size_t bom = std::string_view(input).starts_with(kUtf8Bom) ? 3 : 0;
            const std::vector<std::string_view> lines = SplitLines(std::string_view(input).substr(bom));
            std::string bytes = input;
            PlaylistWriter over(bytes, bom);
            PlaylistWriter own(std::string_view(input).substr(0, bom));
            LineReader reader(std::string_view(bytes).substr(bom));
            std::string_view line;
            for (std::size_t k = 0; reader.Next(line); ++k) {
                // The writer never reaches the lines not yet read.
                ASSERT_LT(k, lines.size());
                EXPECT_EQ(line, lines[k]) << "input " << input << " keep " << keep;
                if (keep == 2 || (keep == 1 && k % 2 == 1)) continue;
                const std::string_view prefix = keep == 3 ? "D:\\Lists\\" : "";
                own.Add(prefix, lines[k]);
                over.Add(prefix, line);
                EXPECT_EQ(over.Written(), own.Written()) << "input " << input << " keep " << keep;
            }
            EXPECT_EQ(over.LineCount(), own.LineCount());
            EXPECT_EQ(std::string(over.Written()), own.Finish()) << "input " << input << " keep " << keep;
        }
    }
}

TEST(PathMethods, CreatePathTreeTable) {
    struct Row {
        const wchar_t* path;
        std::vector<std::wstring> made;
    };
    const Row rows[] = {
        {L"C:\\Music\\Rock\\", {L"C:\\Music\\", L"C:\\Music\\Rock\\"}},
        {L"C:\\Music\\Rock\\x.m3u", {L"C:\\Music\\", L"C:\\Music\\Rock\\"}},
        {L"C:\\Music", {}},
        {L"Music\\", {}},
        {L"\\\\server\\share\\dir\\",
         {L"\\\\", L"\\\\server\\", L"\\\\server\\share\\", L"\\\\server\\share\\dir\\"}},
    };
    for (const Row& row : rows) {
        MemoryFileSystem files;
        CreatePathTree(files, row.path);
        EXPECT_EQ(files.madeFolders, row.made) << ::testing::PrintToString(std::wstring(row.path));
    }
}

TEST(PathMethods, FileExistsAndDoFileCopy) {
    MemoryFileSystem files;
    files.files[L"C:\\a.mp3"] = "";
    EXPECT_TRUE(FileExists(files, L"C:\\a.mp3"));  // zero bytes is a file
    EXPECT_FALSE(FileExists(files, L"C:\\b.mp3"));
    EXPECT_FALSE(FileExists(files, L""));

    EXPECT_FALSE(DoFileCopy(files, L"C:\\a.mp3", L"C:\\a.mp3"));
    EXPECT_TRUE(files.copies.empty());
    EXPECT_TRUE(DoFileCopy(files, L"C:\\a.mp3", L"c:\\a.mp3"));  // case differs: copied
    ASSERT_EQ(files.copies.size(), 1u);
    EXPECT_FALSE(DoFileCopy(files, L"C:\\none.mp3", L"C:\\x.mp3"));
}

TEST(TextCodec, DecodeEncodeAndLowerCase) {
    EXPECT_EQ(DecodeText("caf\xC3\xA9", TextEncoding::Utf8), L"caf\u00E9");
    EXPECT_EQ(EncodeText(L"caf\u00E9", TextEncoding::Utf8), "caf\xC3\xA9");
    EXPECT_EQ(DecodeText("\xC9", TextEncoding::Ansi), L"\u00C9");
    EXPECT_EQ(EncodeText(L"D:\\\u00C9\\", TextEncoding::Ansi), "D:\\\xC9\\");
    EXPECT_EQ(EncodeText(L"", TextEncoding::Ansi), "");
    std::wstring text = L"D:\\MUSIC\\\u00C9T\u00C9.MP3";
    LowerCaseInPlace(text);
    EXPECT_EQ(text, L"d:\\music\\\u00E9t\u00E9.mp3");
}

TEST(TextCodec, NothingIsEncodedLossily) {
    // Characters Windows-1252 lacks: no '?' and no best-fit look-alike ("L" for "\u0141").
    EXPECT_EQ(EncodeText(L"C:\\\u0141\u00F3d\u017A\u65E5\u672C\\", TextEncoding::Ansi), std::nullopt);
    EXPECT_EQ(EncodeText(L"\u0141", TextEncoding::Ansi), std::nullopt);
    EXPECT_EQ(EncodeText(L"\u20AC", TextEncoding::Ansi), "\x80");
    // A lone surrogate (an undecodable byte as DecodeText keeps it) has no UTF-8 form.
    EXPECT_EQ(EncodeText(L"Caf\xDCE9.mp3", TextEncoding::Utf8), std::nullopt);
    EXPECT_EQ(EncodeText(L"\xD800", TextEncoding::Utf8), std::nullopt);
    EXPECT_EQ(EncodeText(L"\u65E5\u672C", TextEncoding::Utf8), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(ReplaceLoneSurrogates(L"Caf\xDCE9\xD800x"), L"Caf\uFFFD\uFFFDx");
}

TEST(TextCodec, UndecodableBytesStayDistinct) {
    // Each byte that starts no UTF-8 character keeps its value; the rest decodes as usual.
    EXPECT_EQ(DecodeText("Caf\xE9.mp3", TextEncoding::Utf8), L"Caf\xDCE9.mp3");
    EXPECT_EQ(DecodeText("Caf\xE8.mp3", TextEncoding::Utf8), L"Caf\xDCE8.mp3");
    EXPECT_EQ(DecodeText("\xC3\xA9\xC3", TextEncoding::Utf8), L"\u00E9\xDCC3");
    EXPECT_EQ(DecodeText("\xC0\xAF", TextEncoding::Utf8), L"\xDCC0\xDCAF");       // overlong
    EXPECT_EQ(DecodeText("\xED\xA0\x80", TextEncoding::Utf8), L"\xDCED\xDCA0\xDC80");  // surrogate
    const std::wstring astral = DecodeText("\xF0\x9F\x8E\xB5", TextEncoding::Utf8);  // U+1F3B5
    EXPECT_EQ(EncodeText(astral, TextEncoding::Utf8), "\xF0\x9F\x8E\xB5");
    // The bytes Windows-1252 leaves undefined are characters of their own, as on Windows.
    EXPECT_NE(DecodeText("\x81", TextEncoding::Ansi), DecodeText("\x8D", TextEncoding::Ansi));
    EXPECT_EQ(EncodeText(DecodeText("\x81\x8D\x8F\x90\x9D", TextEncoding::Ansi), TextEncoding::Ansi),
              "\x81\x8D\x8F\x90\x9D");
}

// Runs an operation on an in-memory playlist at D:\Lists\list.m3u.
struct MemoryRun {
    MemoryFileSystem files;
    RecordingHost host;
    std::wstring path = L"D:\\Lists\\list.m3u";
    RunOutcome Run(RunOutcome (*operation)(const RunContext&, const std::wstring&),
                   std::string content, std::wstring programFolder = L"C:\\Program") {
        files.files[path] = std::move(content);
        const RunContext context{host, files, std::move(programFolder)};
        return operation(context, path);
    }
    const std::string& Playlist() { return files.files[path]; }
};

TEST(RemoveTagInfo, LineTable) {
    MemoryRun run;
    const std::string original =
        "\r\n"
        "#EXTINF:245,Artist - Title\r\n"
        "#EXTINF\r\n"
        "#EXTINF:\r\n"
        "#extinf:245,Artist - Title\r\n"
        "#EXTINF 245,Artist - Title\r\n"
        " #EXTINF:245,Artist - Title\r\n"
        "#EXTM3U\r\n"
        "D:\\Music\\Song.mp3\r\n"
        " \r\n";
    ASSERT_EQ(run.Run(RemoveTagInfo, original), RunOutcome::Done);
    EXPECT_EQ(run.Playlist(),
              "#extinf:245,Artist - Title\r\n"
              "#EXTINF 245,Artist - Title\r\n"
              " #EXTINF:245,Artist - Title\r\n"
              "#EXTM3U\r\n"
              "D:\\Music\\Song.mp3\r\n"
              " \r\n");
    EXPECT_EQ(run.files.files[run.path + L"_backup"], original);
    EXPECT_TRUE(run.host.log.empty());
    EXPECT_TRUE(run.host.messages.empty());
    EXPECT_EQ(run.host.busyChanges, (std::vector<bool>{true, false}));
}

TEST(StripDuplicates, LineTable) {
    MemoryRun run;
    ASSERT_EQ(run.Run(StripDuplicates,
                      "#EXTM3U\r\n"
                      "#EXTINF:245,Artist - Title\r\n"
                      "D:\\Music\\a.mp3\r\n"
                      "\r\n"
                      "d:\\music\\A.MP3\r\n"
                      "D:\\Music\\a.mp3 \r\n"
                      "a.mp3\r\n"
                      "#EXTINF:245,Artist - Title\r\n"
                      "D:\\Music\\b.mp3\r\n"
                      "#EXTM3U\r\n"),
              RunOutcome::Done);
    EXPECT_EQ(run.Playlist(),
              "#EXTM3U\r\n"
              "#EXTINF:245,Artist - Title\r\n"
              "D:\\Music\\a.mp3\r\n"
              "D:\\Music\\a.mp3 \r\n"
              "a.mp3\r\n"
              "D:\\Music\\b.mp3\r\n");
    EXPECT_EQ(run.host.log, (std::vector<std::wstring>{L"Duplicate d:\\music\\A.MP3",
                                                       L"Duplicate #EXTINF:245,Artist - Title",
                                                       L"Duplicate #EXTM3U"}));
}

TEST(StripDuplicates, CaseVariantsAndNonAsciiCase) {
    MemoryRun run;
    // Windows-1252: É is C9, é is E9.
    ASSERT_EQ(run.Run(StripDuplicates, "x\\\xC9t\xE9.mp3\rX\\\xE9T\xC9.MP3\rx\\\xE9t\xE9.mp3\r"),
              RunOutcome::Done);
    EXPECT_EQ(run.Playlist(), "x\\\xC9t\xE9.mp3\r\n");
    EXPECT_EQ(run.host.log, (std::vector<std::wstring>{L"Duplicate X\\\u00E9T\u00C9.MP3",
                                                       L"Duplicate x\\\u00E9t\u00E9.mp3"}));
    MemoryRun utf8;
    ASSERT_EQ(utf8.Run(StripDuplicates, "\xC3\x89.mp3\n\xC3\xA9.MP3\n"), RunOutcome::Done);
    EXPECT_EQ(utf8.Playlist(), "\xC3\x89.mp3\r\n");
    EXPECT_EQ(utf8.host.log, (std::vector<std::wstring>{L"Duplicate \u00E9.MP3"}));
}

TEST(StripDuplicates, UndecodableBytesCompareAsThemselves) {
    MemoryRun run;
    run.path = L"D:\\Lists\\list.m3u8";
    // E9 and E8 are no UTF-8; each line differs from the others in them or in its
    // characters, except the last, which repeats the second but for case.
    ASSERT_EQ(run.Run(StripDuplicates, "Caf\xE9.mp3\nCaf\xE8.mp3\nCAF\xE9.MP3\n\xC3\xA9\xE9\ncaf\xE8.MP3\n"),
              RunOutcome::Done);
    EXPECT_EQ(run.Playlist(), "Caf\xE9.mp3\r\nCaf\xE8.mp3\r\n\xC3\xA9\xE9\r\n");
    EXPECT_EQ(run.host.log, (std::vector<std::wstring>{L"Duplicate CAF\xDCE9.MP3",
                                                       L"Duplicate caf\xDCE8.MP3"}));
}

TEST(StripMissingSongs, PrefixThatCannotBeEncodedKeepsTheEntryAsRead) {
    // A folder name Windows-1252 cannot hold: the relative entry is not rewritten with a
    // mangled folder in front; a root-relative one whose drive can be written still is.
    MemoryRun run;
    run.path = L"D:\\\u0141\u00F3d\u017A\u65E5\u672C\\list.m3u";
    run.files.files[L"D:\\\u0141\u00F3d\u017A\u65E5\u672C\\a.mp3"] = "x";
    run.files.files[L"C:\\Music\\b.mp3"] = "x";
    ASSERT_EQ(run.Run(StripMissingSongs, "a.mp3\r\n\\Music\\b.mp3\r\ngone.mp3\r\n"), RunOutcome::Done);
    EXPECT_EQ(run.Playlist(), "a.mp3\r\nC:\\Music\\b.mp3\r\n");
    EXPECT_EQ(run.host.log, (std::vector<std::wstring>{L"Missing: gone.mp3"}));

    // A second run still finds the kept entry.
    ASSERT_EQ(run.Run(StripMissingSongs, std::string(run.Playlist())), RunOutcome::Done);
    EXPECT_EQ(run.Playlist(), "a.mp3\r\nC:\\Music\\b.mp3\r\n");
    EXPECT_TRUE(run.host.log.empty());
}

TEST(StripMissingSongs, LinesLongerThanAnyPathAreMissingOrKeptOnAnUnreachableVolume) {
    // More than 98,301 bytes: more characters than a path can have. Such an entry is logged
    // by its name after its last backslash, as any missing song; on a volume that cannot be
    // reached it is kept untested like its neighbours.
    MemoryRun run;
    run.files.unreachableRoots = {L"Q:\\"};
    run.files.files[L"D:\\Lists\\a.mp3"] = "x";
    const std::string name(100000, 'n');
    const std::string onQ = "Q:\\Music\\" + name + ".mp3";
    ASSERT_EQ(run.Run(StripMissingSongs, "a.mp3\r\nMusic\\" + name + ".mp3\r\n" + name + "\r\n" + onQ + "\r\n"),
              RunOutcome::Done);
    EXPECT_EQ(run.Playlist(), "D:\\Lists\\a.mp3\r\n" + onQ + "\r\n");
    const std::wstring wideName(name.begin(), name.end());
    EXPECT_EQ(run.host.log, (std::vector<std::wstring>{L"Missing: " + wideName + L".mp3", L"Missing: " + wideName,
                                                       L"Unreachable: Q:\\"}));
}

// Windows reads "/" as "\\": "D:/Music/a.mp3" is the song D:\\Music\\a.mp3, kept as written;
// an entry that names no file is kept untested like an address.
TEST(StripMissingSongs, LineTableWithInjectedProgramFolder) {
    MemoryRun run;
    run.files.files[L"D:\\Music\\a.mp3"] = "x";
    run.files.files[L"C:\\Music\\a.mp3"] = "x";
    run.files.files[L"D:\\Lists\\a.mp3"] = "x";
    run.files.files[L"\\\\box\\share\\a.mp3"] = "x";
    const std::string table =
        "\r\n#EXTINF:245,Artist - Title\r\n#EXTM3U\r\nD:\\Music\\a.mp3\r\n\\Music\\a.mp3\r\n"
        "a.mp3\r\nSub\\a.mp3\r\nD:/Music/a.mp3\r\n//box/share/./a.mp3\r\n/Music/a.mp3\r\nsub/../a.mp3\r\n"
        "\\\\box\\share\\a.mp3\r\n\\\\box\\share\\b.mp3\r\nD:/Music/gone.mp3\r\n"
        "http://radio.example/live\r\nC:a.mp3\r\nspotify:track:x\r\n";
    ASSERT_EQ(run.Run(StripMissingSongs, table), RunOutcome::Done);
    EXPECT_EQ(run.Playlist(),
              "#EXTINF:245,Artist - Title\r\n#EXTM3U\r\nD:\\Music\\a.mp3\r\nC:\\Music\\a.mp3\r\n"
              "D:\\Lists\\a.mp3\r\nD:/Music/a.mp3\r\n//box/share/./a.mp3\r\nC:/Music/a.mp3\r\n"
              "D:\\Lists\\sub/../a.mp3\r\n\\\\box\\share\\a.mp3\r\n"
              "http://radio.example/live\r\nC:a.mp3\r\nspotify:track:x\r\n");
    EXPECT_EQ(run.host.log, (std::vector<std::wstring>{L"Missing: a.mp3", L"Missing: b.mp3", L"Missing: gone.mp3"}));
}

TEST(StripMissingSongs, UnreachableVolumeKeptAndLoggedOnce) {
    MemoryRun run;
    run.files.unreachableRoots = {L"Q:\\", L"\\\\offline\\music\\"};
    ASSERT_EQ(run.Run(StripMissingSongs,
                      "Q:\\a.mp3\nq:\\b.mp3\n\\\\offline\\music\\c.mp3\n\\\\\\d.mp3\nQ:\\e.mp3\n",
                      L"\\\\srv\\apps"),
              RunOutcome::Done);
    EXPECT_EQ(run.Playlist(), "Q:\\a.mp3\r\nq:\\b.mp3\r\n\\\\offline\\music\\c.mp3\r\nQ:\\e.mp3\r\n");
    EXPECT_EQ(run.host.log, (std::vector<std::wstring>{L"Unreachable: Q:\\",
                                                       L"Unreachable: \\\\offline\\music\\",
                                                       L"Missing: d.mp3"}));
}

// Memory that runs out in the middle of a run (here when the first log line is added).
class HostWithoutMemory : public RecordingHost {
public:
    void AppendLog(const std::wstring&) override { throw std::bad_alloc(); }
};

TEST(Operations, RunOutOfMemoryFailsAndLeavesThePlaylist) {
    for (auto operation : {StripMissingSongs, StripDuplicates, CopyToOneFolder}) {
        MemoryFileSystem files;
        HostWithoutMemory host;
        const std::wstring path = L"D:\\Lists\\list.m3u";
        const std::string original = "a.mp3\r\nA.MP3\r\n";
        files.files[path] = original;
        const RunContext context{host, files, L"C:\\Program"};
        EXPECT_EQ(operation(context, path), RunOutcome::Failed);
        EXPECT_EQ(files.files[path], original);
        EXPECT_EQ(files.files.count(L"D:\\Lists\\list\\list.m3u"), 0u);
        ASSERT_EQ(host.failures.size(), 1u);
        EXPECT_EQ(host.failures[0].doing, L"Could not process the playlist");
        EXPECT_EQ(host.failures[0].file, path);
        EXPECT_EQ(host.failures[0].code, 8u);  // ERROR_NOT_ENOUGH_MEMORY
        EXPECT_FALSE(host.BusyVisible());
    }
}

TEST(Operations, MissingPlaylistAndRefusedFile) {
    for (auto operation : {RemoveTagInfo, StripMissingSongs, StripDuplicates}) {
        MemoryRun run;
        run.host.log = {L"earlier"};
        const RunContext context{run.host, run.files, L"C:\\Program"};
        EXPECT_EQ(operation(context, L"D:\\Lists\\none.m3u"), RunOutcome::NotFound);
        EXPECT_EQ(run.host.messages, std::vector<std::wstring>{kLocateMessage});
        EXPECT_EQ(run.host.log, std::vector<std::wstring>{L"earlier"});
        EXPECT_TRUE(run.host.busyChanges.empty());
        EXPECT_TRUE(run.files.copies.empty());

        MemoryRun refused;
        const std::string utf16("\xFF\xFE#\0E\0", 6);
        EXPECT_EQ(refused.Run(operation, utf16), RunOutcome::Refused);
        EXPECT_EQ(refused.Playlist(), utf16);
        EXPECT_EQ(refused.host.messages,
                  std::vector<std::wstring>{NotTextPlaylistMessage(refused.path)});
        EXPECT_TRUE(refused.files.copies.empty());
        EXPECT_TRUE(refused.host.busyChanges.empty());
    }
}

}  // namespace
}  // namespace tallowmere::playlist
