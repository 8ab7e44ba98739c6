// Relink, make-relative, make-absolute and restore on real files under Windows (or Wine),
// through the program's own Win32 file system and a recording host.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/playlist_text.h"
#include "playlist/relink.h"
#include "shell/win_file_system.h"
#include "tests/playlist/real_files_win.h"
#include "tests/playlist/test_support.h"

#ifndef TALLOWMERE_CORPUS_DIR
#error TALLOWMERE_CORPUS_DIR must name tests/data/corpus
#endif

namespace tallowmere::playlist {
namespace {

using namespace testing;
using Lines = std::vector<std::wstring>;

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

// A link at path to the folder target that the system sees as a folder: a directory symbolic
// link on Windows; under Wine (whose CreateSymbolicLinkW makes nothing) a Unix symbolic link
// made by /bin/ln, which Wine runs as a Unix program.
bool MakeFolderLink(const std::wstring& path, const std::wstring& target) {
    if (CreateSymbolicLinkW(path.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
        GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const std::optional<std::string> unixTarget = UnixNameOf(target);
    return unixTarget && MakeUnixLink(path, *unixTarget);
}

class Repairs : public ::testing::Test {
protected:
    TempFolder folder;
    RecordingHost host;
    shell::WinFileSystem files;
    const RunContext context{host, files, L"C:\\Program Files\\Tallowmere"};
    const std::wstring lists = folder / L"Lists\\";
    const std::wstring playlist = lists + L"Party.m3u";

    void SetUp() override { CreateDirectoryW(lists.c_str(), nullptr); }

    // A song file, with the folders it needs, under the temporary folder.
    void Song(const std::wstring& relativePath) {
        std::wstring path = folder.Path();
        for (std::size_t start = 0, slash; (slash = relativePath.find(L'\\', start)) != std::wstring::npos;
             start = slash + 1) {
            CreateDirectoryW((path + relativePath.substr(0, slash)).c_str(), nullptr);
        }
        WriteBytes(folder / relativePath, "song");
    }

    RunOutcome RelinkAgainst(const std::vector<std::wstring>& libraryFolders) {
        const LibraryIndex library = LibraryIndex::Build(context, libraryFolders);
        return Relink(context, library, playlist);
    }
};

TEST_F(Repairs, AMovedLibraryIsRelinkedRelativeStaysRelativeAndTheRestStaysByteForByte) {
    // The library moved from Q:\Music (a drive that is gone) and from beside the lists to Media\Music.
    Song(L"Media\\Music\\Abba\\Gold\\01 Waterloo.mp3");
    Song(L"Media\\Music\\Abba\\Gold\\02 SOS.mp3");
    Song(L"Media\\Music\\Queen\\Jazz\\Mustapha.mp3");
    Song(L"Lists\\Here.mp3");
    const std::string original =
        "#EXTM3U\r\n#EXTINF:1,Waterloo\r\nQ:\\Music\\Abba\\Gold\\01 Waterloo.mp3\r\n"
        "#EXTINF:2,SOS\r\n..\\Music\\Abba\\Gold\\02 sos.MP3\n"
        "\r\nhttp://radio.example/stream\r\nHere.mp3\rQ:\\Music\\Queen\\Jazz\\Mustapha.mp3";
    WriteBytes(playlist, original);

    EXPECT_EQ(RelinkAgainst({folder / L"Media\\Music"}), RunOutcome::Done);

    const std::string media = Narrow(folder / L"Media\\Music\\");
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U\r\n#EXTINF:1,Waterloo\r\n" + media + "Abba\\Gold\\01 Waterloo.mp3\r\n"
                                   "#EXTINF:2,SOS\r\n..\\Media\\Music\\Abba\\Gold\\02 SOS.mp3\r\n"
                                   "\r\nhttp://radio.example/stream\r\nHere.mp3\r\n" +
                                   media + "Queen\\Jazz\\Mustapha.mp3\r\n");
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), original);
    const std::wstring wideMedia = folder / L"Media\\Music\\";
    EXPECT_EQ(host.log, (Lines{
                            L"Relinked: Q:\\Music\\Abba\\Gold\\01 Waterloo.mp3 -> " + wideMedia + L"Abba\\Gold\\01 Waterloo.mp3",
                            L"Relinked: ..\\Music\\Abba\\Gold\\02 sos.MP3 -> ..\\Media\\Music\\Abba\\Gold\\02 SOS.mp3",
                            L"Relinked: Q:\\Music\\Queen\\Jazz\\Mustapha.mp3 -> " + wideMedia + L"Queen\\Jazz\\Mustapha.mp3",
                        }));
    EXPECT_EQ(host.summaries, (Lines{L"3 relinked, 0 ambiguous, 0 unsure, 0 not found, 0 can't encode"}));
}

TEST_F(Repairs, TheSharedFoldersDecideAndEqualBestChangesNothing) {
    Song(L"Lib\\Artist One\\Greatest\\01 Intro.mp3");
    Song(L"Lib\\Artist Two\\Greatest\\01 Intro.mp3");
    Song(L"Lib\\Artist Two\\Live\\01 Intro.mp3");
    Song(L"Lib\\Twin A\\Best\\Same.mp3");
    Song(L"Lib\\Twin B\\Best\\Same.mp3");
    const std::string original =
        "Q:\\Old\\ARTIST TWO\\Greatest\\01 Intro.mp3\r\nQ:\\Old\\Artist Two\\Live\\01 intro.mp3\r\n"
        "Q:\\Old\\Artist One\\Greatest\\01 Intro.mp3\r\nQ:\\Old\\Best\\Same.mp3\r\nQ:\\Old\\Gone.mp3\r\n";
    WriteBytes(playlist, original);

    EXPECT_EQ(RelinkAgainst({folder / L"Lib"}), RunOutcome::Done);

    const std::string lib = Narrow(folder / L"Lib\\");
    EXPECT_EQ(ReadBytes(playlist), lib + "Artist Two\\Greatest\\01 Intro.mp3\r\n" + lib + "Artist Two\\Live\\01 Intro.mp3\r\n" +
                                       lib + "Artist One\\Greatest\\01 Intro.mp3\r\nQ:\\Old\\Best\\Same.mp3\r\nQ:\\Old\\Gone.mp3\r\n");
    ASSERT_EQ(host.log.size(), 5u);
    EXPECT_EQ(host.log[3], L"Ambiguous: Q:\\Old\\Best\\Same.mp3 (2 candidates)");
    EXPECT_EQ(host.log[4], L"Not found: Q:\\Old\\Gone.mp3");
    EXPECT_EQ(host.summaries, (Lines{L"3 relinked, 1 ambiguous, 0 unsure, 1 not found, 0 can't encode"}));
}

TEST_F(Repairs, AConvertedLibraryIsFoundByAnotherAudioExtensionButTheSameNameComesFirst) {
    Song(L"Flac\\Album\\Track.flac");
    Song(L"Flac\\Album\\Track.cue");
    Song(L"Flac\\Album\\Both.flac");
    Song(L"Flac\\Album\\Both.mp3");
    Song(L"Flac\\Album\\Cover.png");
    WriteBytes(playlist, "Q:\\Album\\Track.mp3\r\nQ:\\Album\\Both.mp3\r\nQ:\\Album\\Cover.jpg\r\n");

    EXPECT_EQ(RelinkAgainst({folder / L"Flac"}), RunOutcome::Done);

    const std::string album = Narrow(folder / L"Flac\\Album\\");
    EXPECT_EQ(ReadBytes(playlist), album + "Track.flac\r\n" + album + "Both.mp3\r\nQ:\\Album\\Cover.jpg\r\n");
    EXPECT_EQ(host.log.size(), 3u);
    EXPECT_EQ(host.log.empty() ? L"" : host.log.back(), L"Not found: Q:\\Album\\Cover.jpg");
}

TEST_F(Repairs, NothingToRelinkLeavesTheFileAloneWithoutABackup) {
    Song(L"Lists\\Here.mp3");
    Song(L"Lib\\Other.mp3");
    const std::string original = "#EXTM3U\nHere.mp3\nhttp://radio.example/a.mp3\n\n";
    WriteBytes(playlist, original);
    FILETIME before{};
    {
        const HANDLE file = CreateFileW(playlist.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        GetFileTime(file, nullptr, nullptr, &before);
        CloseHandle(file);
    }

    EXPECT_EQ(RelinkAgainst({folder / L"Lib"}), RunOutcome::Done);

    EXPECT_EQ(ReadBytes(playlist), original);
    EXPECT_FALSE(Exists(playlist + L"_backup"));
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.summaries, (Lines{L"nothing was written: 0 to relink, 0 ambiguous, 0 unsure, 0 not found, 0 can't encode"}));
}

// A host that answers the question before a write as told and notes what the log held then.
class AskingHost : public RecordingHost {
public:
    bool answer = false;
    std::vector<std::size_t> askedFor;
    std::vector<Lines> logWhenAsked;
    bool ConfirmChanges(std::size_t changes) override {
        askedFor.push_back(changes);
        logWhenAsked.push_back(log);
        return answer;
    }
};

TEST_F(Repairs, TheWholeLogIsShownBeforeTheQuestionAndOnlyYesWrites) {
    Song(L"Lib\\A\\one.mp3");
    Song(L"Lib\\A\\two.mp3");
    const std::string original = "Q:\\A\\one.mp3\r\nQ:\\A\\gone.mp3\r\nQ:\\A\\two.mp3\r\n";
    const std::string lib = Narrow(folder / L"Lib\\A\\");
    const Lines expectedLog{L"Relinked: Q:\\A\\one.mp3 -> " + folder / L"Lib\\A\\one.mp3", L"Not found: Q:\\A\\gone.mp3",
                            L"Relinked: Q:\\A\\two.mp3 -> " + folder / L"Lib\\A\\two.mp3"};
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "no");
        WriteBytes(playlist, original);
        AskingHost asking;
        asking.answer = yes;
        asking.log = {L"a line of an earlier run"};
        const RunContext askingContext{asking, files, context.programFolder};
        const LibraryIndex library = LibraryIndex::Build(askingContext, {folder / L"Lib"});

        EXPECT_EQ(Relink(askingContext, library, playlist), RunOutcome::Done);

        EXPECT_EQ(asking.askedFor, (std::vector<std::size_t>{2}));
        EXPECT_EQ(asking.logWhenAsked, (std::vector<Lines>{expectedLog}));
        EXPECT_EQ(asking.log, expectedLog);  // writing keeps the lines it was asked about
        EXPECT_EQ(ReadBytes(playlist), yes ? lib + "one.mp3\r\nQ:\\A\\gone.mp3\r\n" + lib + "two.mp3\r\n" : original);
        EXPECT_EQ(Exists(playlist + L"_backup"), yes);
        EXPECT_EQ(NamesIn(lists).size(), yes ? 2u : 1u) << "a temporary file was left";
    }
}

TEST_F(Repairs, ANewPathTheCodePageCannotHoldIsNotWritten) {
    const PlaylistText ansi{};
    if (ansi.Encode(L"日本")) GTEST_SKIP() << "the ANSI code page holds Japanese here";
    Song(L"日本\\Song.mp3");
    const std::string original = "Q:\\Old\\Song.mp3\r\n";
    WriteBytes(playlist, original);

    // The song lies directly in the library folder (a flat library): it would be relinked.
    EXPECT_EQ(RelinkAgainst({folder / L"日本"}), RunOutcome::Done);

    EXPECT_EQ(ReadBytes(playlist), original);
    EXPECT_FALSE(Exists(playlist + L"_backup"));
    EXPECT_EQ(host.log, (Lines{L"Can't encode: Q:\\Old\\Song.mp3 -> " + folder / L"日本\\Song.mp3"}));
}

TEST_F(Repairs, AFolderUnderTwoNamesIsWalkedOnceAndAMissingFolderIsNamed) {
    Song(L"Lib\\Album\\Song.mp3");
    // A link back up the tree: a junction (reparse point) where the system makes one, and under
    // Wine a Unix symbolic link that may carry no mark at all; either way the walk must end.
    const std::wstring link = folder / L"Lib\\Album\\Loop";
    const bool linked = MakeFolderLink(link, folder / L"Lib");
    if (!linked) GTEST_SKIP() << "cannot make a link to a folder here";
    WriteBytes(playlist, "Q:\\Album\\Song.mp3\r\n");

    const std::wstring missing = folder / L"No Such Folder";
    const LibraryIndex library = LibraryIndex::Build(context, {folder / L"Lib", missing, folder / L"Lib\\Album"});

    // Lib\Album is reached twice (inside Lib, then as a folder of its own): its song is indexed once.
    EXPECT_EQ(library.FileCount(), 1u);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].file, missing + L"\\");
    EXPECT_EQ(Relink(context, library, playlist), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), Narrow(folder / L"Lib\\Album\\Song.mp3") + "\r\n");
    EXPECT_TRUE(NamesIn(folder / L"Lib\\Album\\Loop\\").count(L"Album")) << "the link leads back up";
    RemoveDirectoryW(link.c_str());
    DeleteFileW(link.c_str());
}

TEST_F(Repairs, RestoreSwapsPlaylistAndBackupSoTwoRestoresGiveBackBoth) {
    const std::string older = "#EXTM3U\r\nold.mp3\r\n";
    const std::string newer = "#EXTM3U\r\nnew.mp3\r\n";
    WriteBytes(playlist, newer);
    WriteBytes(playlist + L"_backup", older);

    for (const std::string& expected : {older, newer}) {
        EXPECT_EQ(RestoreBackup(context, playlist), RunOutcome::Done);
        EXPECT_EQ(ReadBytes(playlist), expected);
        EXPECT_EQ(ReadBytes(playlist + L"_backup"), expected == older ? newer : older);
        EXPECT_EQ(NamesIn(lists), (std::set<std::wstring>{L"Party.m3u", L"Party.m3u_backup"}));
        EXPECT_EQ(host.log, (Lines{L"Restored: " + playlist}));
    }

    DeleteFileW((playlist + L"_backup").c_str());
    EXPECT_EQ(RestoreBackup(context, playlist), RunOutcome::NotFound);
    EXPECT_EQ(host.messages, (Lines{L"There is no backup to restore: " + playlist + L"_backup"}));
    EXPECT_EQ(ReadBytes(playlist), newer);
}

TEST_F(Repairs, MakeAbsoluteAndMakeRelativeRewriteOnlyWhatTheySay) {
    Song(L"Music\\a.mp3");
    const std::string original =
        "#EXTINF:1,a\r\nSub\\..\\..\\Music\\.\\a.mp3\r\n\\Windows\\b.mp3\r\n\\\\box\\share\\c.mp3\r\nQ:\\d.mp3\r\n"
        "http://x.example/e.mp3\r\n";
    WriteBytes(playlist, original);

    EXPECT_EQ(MakeAbsolute(context, playlist), RunOutcome::Done);
    const std::string music = Narrow(folder / L"Music\\a.mp3");
    const std::string absolute =
        "#EXTINF:1,a\r\n" + music + "\r\nC:\\Windows\\b.mp3\r\n\\\\box\\share\\c.mp3\r\nQ:\\d.mp3\r\nhttp://x.example/e.mp3\r\n";
    EXPECT_EQ(ReadBytes(playlist), absolute);
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), original);
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_EQ(host.log[0], L"Rewritten: Sub\\..\\..\\Music\\.\\a.mp3 -> " + folder / L"Music\\a.mp3");

    EXPECT_EQ(MakeRelative(context, playlist), RunOutcome::Done);
    // The temporary folder is on C:, like the Windows folder; the share and Q: stay.
    const std::string relative = "#EXTINF:1,a\r\n..\\Music\\a.mp3\r\n" + Narrow(RelativePathFrom(lists, L"C:\\Windows\\b.mp3")) +
                                 "\r\n\\\\box\\share\\c.mp3\r\nQ:\\d.mp3\r\nhttp://x.example/e.mp3\r\n";
    EXPECT_EQ(ReadBytes(playlist), relative);

    // Nothing left to change: untouched, the backup of the last change kept.
    host.log.clear();
    EXPECT_EQ(MakeRelative(context, playlist), RunOutcome::Done);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), absolute);
}

// Every real playlist of the corpus: make-absolute, make-relative, make-absolute again gives the
// first absolute form back, and the relative form names the very same paths.
TEST_F(Repairs, RelativeAndAbsoluteRoundTripOnTheCorpus) {
    std::wstring corpus = std::wstring(TALLOWMERE_CORPUS_DIR, TALLOWMERE_CORPUS_DIR + sizeof(TALLOWMERE_CORPUS_DIR) - 1);
    for (wchar_t& c : corpus) c = c == L'/' ? L'\\' : c;
    corpus = corpus.starts_with(L"\\") ? L"Z:" + corpus + L"\\" : corpus + L"\\";
    int roundTrips = 0;
    for (const std::wstring& name : NamesIn(corpus)) {
        if (!name.ends_with(L".m3u") && !name.ends_with(L".m3u8")) continue;
        SCOPED_TRACE(Narrow(name));
        const std::wstring copy = lists + name;
        WriteBytes(copy, ReadBytes(corpus + name));
        if (MakeAbsolute(context, copy) != RunOutcome::Done) continue;  // no text playlist
        const std::string absolute = ReadBytes(copy);
        EXPECT_EQ(MakeRelative(context, copy), RunOutcome::Done);
        const std::string relative = ReadBytes(copy);
        EXPECT_EQ(MakeAbsolute(context, copy), RunOutcome::Done);
        EXPECT_EQ(ReadBytes(copy), absolute);
        // Line by line: each relative line resolves to its absolute line.
        const auto absoluteLines = SplitLines(absolute);
        const auto relativeLines = SplitLines(relative);
        ASSERT_EQ(absoluteLines.size(), relativeLines.size());
        const PlaylistText text = *ParsePlaylist(std::string(absolute), copy);
        for (std::size_t i = 0; i < absoluteLines.size(); ++i) {
            if (absoluteLines[i] == relativeLines[i] || ClassifyLine(relativeLines[i]) != LineKind::Entry) continue;
            EXPECT_EQ(EntryResolver(lists, VolumeOfPlaylist(copy)).Resolve(text.Decode(relativeLines[i])),
                      text.Decode(absoluteLines[i]));
        }
        ++roundTrips;
    }
    EXPECT_GE(roundTrips, 20);
}

// A candidate of the entry's name that shares no folder with it is a guess: it is reported and
// left alone, unless it lies directly in a library folder given (a flat library).
TEST_F(Repairs, ACandidateSharingNoFolderIsRelinkedOnlyFromAFlatLibrary) {
    Song(L"Lib\\Metallica\\Live\\Intro.mp3");
    const std::wstring candidate = folder / L"Lib\\Metallica\\Live\\Intro.mp3";
    const std::string original = "Q:\\Abba\\Gold\\Intro.mp3\r\n";
    const struct {
        const char* what;
        std::wstring library;
        std::string after;
        Lines log;
        Lines summaries;
    } cases[] = {
        {"the library above the artists",
         folder / L"Lib",
         original,
         {L"Unsure: Q:\\Abba\\Gold\\Intro.mp3 -> " + candidate + L" (no folder in common)"},
         {L"nothing was written: 0 to relink, 0 ambiguous, 1 unsure, 0 not found, 0 can't encode"}},
        {"the song directly in the library folder",
         folder / L"Lib\\Metallica\\Live",
         Narrow(candidate) + "\r\n",
         {L"Relinked: Q:\\Abba\\Gold\\Intro.mp3 -> " + candidate},
         {L"1 relinked, 0 ambiguous, 0 unsure, 0 not found, 0 can't encode"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host = RecordingHost();
        WriteBytes(playlist, original);
        DeleteFileW((playlist + L"_backup").c_str());
        EXPECT_EQ(RelinkAgainst({c.library}), RunOutcome::Done);
        EXPECT_EQ(ReadBytes(playlist), c.after);
        EXPECT_EQ(host.log, c.log);
        EXPECT_EQ(host.summaries, c.summaries);
    }
}

// A song whose name begins with "#" stays a song when the repairs write it relative: it is
// written ".\#1 Hit.mp3", never as a tag line, and make-absolute gives the full path back.
TEST_F(Repairs, ASongNamedWithAHashStaysASong) {
    Song(L"Lists\\#1 Hit.mp3");
    const std::string full = Narrow(lists) + "#1 Hit.mp3\r\n";
    const struct {
        const char* what;
        std::string before;
        std::function<RunOutcome()> repair;
    } cases[] = {
        {"make-relative", full, [&] { return MakeRelative(context, playlist); }},
        {"relink from the library beside the playlist", "Old\\#1 Hit.mp3\r\n",
         [&] { return RelinkAgainst({folder / L"Lists"}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(playlist, c.before);
        EXPECT_EQ(c.repair(), RunOutcome::Done);
        EXPECT_EQ(ReadBytes(playlist), ".\\#1 Hit.mp3\r\n");
        EXPECT_EQ(MakeAbsolute(context, playlist), RunOutcome::Done);
        EXPECT_EQ(ReadBytes(playlist), full);
    }
}

// The full path Windows itself makes of an entry of a playlist in folder, folded to lower case.
std::wstring WindowsReading(const std::string& entry, const std::wstring& folder) {
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.c_str());
    wchar_t full[2048];
    const DWORD length =
        GetFullPathNameW(std::wstring(entry.begin(), entry.end()).c_str(), 2048, full, nullptr);
    SetCurrentDirectoryW(previous);
    std::wstring path(full, length < 2048 ? length : 0);
    CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
    return path;
}

// make-absolute, make-relative and make-absolute again over entries written every way a
// player reads: after each, every entry names the file Windows read in it at first (an
// existing song still exists), or its line is left byte for byte.
TEST_F(Repairs, RoundTripsKeepEveryEntryOnItsFile) {
    Song(L"Music\\a.mp3");
    Song(L"Music\\b.mp3");
    std::string forward = Narrow(folder.Path());
    for (char& c : forward) c = c == '\\' ? '/' : c;
    const struct {
        std::string entry;
        bool exists;  // the song is there
        bool kept;    // no file a repair may rewrite: the line stays byte for byte
    } rows[] = {
        {forward + "Music/a.mp3", true, false},
        {Narrow(folder.Path()) + "Music/b.mp3", true, false},
        {"sub/..\\..\\Music\\a.mp3", true, false},
        {"../Music//./b.mp3", true, false},
        {"Gone/x.mp3", false, false},
        {"//server/share/c.mp3", false, true},
        {"\\\\server\\share\\c.mp3", false, true},
        {"C:a.mp3", false, true},
        {"spotify:track:x", false, true},
        {"http://radio.example/a.mp3", false, true},
    };
    std::string original;
    for (const auto& row : rows) original += row.entry + "\r\n";
    WriteBytes(playlist, original);

    const struct {
        const char* name;
        RunOutcome (*repair)(const RunContext&, const std::wstring&);
    } steps[] = {{"make-absolute", MakeAbsolute},
                 {"make-relative", MakeRelative},
                 {"make-absolute again", MakeAbsolute}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(step.repair(context, playlist), RunOutcome::Done);
        const std::string bytes = ReadBytes(playlist);
        const std::vector<std::string_view> lines = SplitLines(bytes);
        ASSERT_EQ(lines.size(), std::size(rows)) << bytes;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string line(lines[i]);
            SCOPED_TRACE(rows[i].entry + " is now " + line);
            if (rows[i].kept) {
                EXPECT_EQ(line, rows[i].entry);
                continue;
            }
            const std::wstring now = WindowsReading(line, lists);
            EXPECT_EQ(now, WindowsReading(rows[i].entry, lists));
            EXPECT_EQ(Exists(now), rows[i].exists);
        }
    }
}

// A playlist that is a link stays a link through a restore: the contents trade places behind
// it, and a second restore gives the first content back. A backup that is a folder is refused.
TEST_F(Repairs, RestoreSwapsBehindALinkAndRefusesABackupThatIsAFolder) {
    const std::string older = "#EXTM3U\r\nold.mp3\r\n";
    const std::string newer = "#EXTM3U\r\nnew.mp3\r\n";
    const std::wstring target = lists + L"Real.m3u";
    const std::wstring backup = playlist + L"_backup";
    WriteBytes(target, newer);
    WriteBytes(backup, older);
    if (!MakeUnixLink(playlist, "Real.m3u"))
        GTEST_SKIP() << "no Unix symbolic link can be made here (not Wine)";

    for (const std::string& expected : {older, newer}) {
        host = RecordingHost();
        EXPECT_EQ(RestoreBackup(context, playlist), RunOutcome::Done);
        EXPECT_EQ(ReadBytes(target), expected);
        EXPECT_EQ(ReadBytes(backup), expected == older ? newer : older);
        EXPECT_EQ(files.IdentityOf(playlist), files.IdentityOf(target))
            << "the playlist is no longer the link";
        EXPECT_EQ(NamesIn(lists), (std::set<std::wstring>{L"Party.m3u", L"Party.m3u_backup", L"Real.m3u"}));
        EXPECT_EQ(host.log, (Lines{L"Restored: " + playlist}));
    }

    DeleteFileW(backup.c_str());
    CreateDirectoryW(backup.c_str(), nullptr);
    WriteBytes(backup + L"\\inside.m3u", older);
    host = RecordingHost();
    EXPECT_EQ(RestoreBackup(context, playlist), RunOutcome::Refused);
    EXPECT_EQ(host.messages, (Lines{L"The backup is not a plain file, so it was not restored: " + backup}));
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(ReadBytes(target), newer);
    EXPECT_EQ(ReadBytes(backup + L"\\inside.m3u"), older);
    EXPECT_EQ(files.IdentityOf(playlist), files.IdentityOf(target));
    EXPECT_EQ(NamesIn(lists), (std::set<std::wstring>{L"Party.m3u", L"Party.m3u_backup", L"Real.m3u"}));
}

}  // namespace
}  // namespace tallowmere::playlist
