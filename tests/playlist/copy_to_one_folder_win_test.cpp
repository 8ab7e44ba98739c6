// Copy to One Folder on real files under Windows (or Wine): a temporary folder, the program's
// own Win32 file system, and a recording host in place of the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"
#include "shell/win_file_system.h"
#include "tests/playlist/real_files_win.h"
#include "tests/playlist/test_support.h"

namespace tallowmere::playlist {
namespace {

using namespace std::string_literals;
using testing::NamesIn;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr wchar_t kFinalCaption[] = L"Copy songs in a Winamp PL to a seperate directory";

std::string Ansi(const std::wstring& text) { return testing::AsciiBytes(text); }

using Names = std::set<std::wstring>;

// "name (2).ext": the name a second song of that name gets.
std::wstring Numbered(const std::wstring& name) {
    const std::size_t dot = name.rfind(L'.');
    return name.substr(0, dot) + L" (2)" + name.substr(dot);
}

// Records the captions too.
class CaptionHost : public testing::RecordingHost {
public:
    std::vector<std::wstring> captions;
    void SetCaption(const std::wstring& caption) override { captions.push_back(caption); }
};

// Counts the copies that reach the system.
class CountingFileSystem : public shell::WinFileSystem {
public:
    std::vector<std::wstring> copiedTo;
    ErrorCode CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                            const std::function<bool()>& stop) override {
        copiedTo.push_back(to);
        return WinFileSystem::CopyIntoPlace(from, to, stop);
    }
};

class CopyToOneFolderTest : public ::testing::Test {
protected:

    // Makes the folders along a path under root, then the file.
    void Put(const std::wstring& relative, std::string_view bytes) {
        for (std::size_t slash = relative.find(L'\\'); slash != std::wstring::npos;
             slash = relative.find(L'\\', slash + 1)) {
            CreateDirectoryW((root + relative.substr(0, slash)).c_str(), nullptr);
        }
        WriteBytes(root + relative, bytes);
    }
    RunOutcome Run(const std::wstring& playlist) {
        host = CaptionHost();
        host.log = {L"earlier"};
        return CopyToOneFolder(RunContext{host, files, L"C:\\Program Files\\Tallowmere"}, playlist);
    }
    std::wstring Finished(int errors) const {
        return L"Finished with " + std::to_wstring(errors) + L" errors";
    }

    testing::TempFolder folder{L"tallowmere-copy-"};
    const std::wstring root = folder.Path();
    CaptionHost host;
    CountingFileSystem files;
};

TEST_F(CopyToOneFolderTest, TagRelativeAbsoluteAndRootRelativeEntries) {
    Put(L"Lists\\Music\\a.mp3", "song a");
    Put(L"Songs\\b.mp3", "song b");
    Put(L"Other\\c.mp3", "song c");
    const std::wstring playlist = root + L"Lists\\mix.m3u";
    // The root-relative entry takes the drive of the playlist's path.
    const std::string original = "#EXTINF:12,Artist - T\r\n"
                                 "Music\\a.mp3\r\n" +
                                 Ansi(root) + "Songs\\b.mp3\r\n" +
                                 Ansi(root.substr(2)) + "Other\\c.mp3\r\n";
    WriteBytes(playlist, original);

    ASSERT_EQ(Run(playlist), RunOutcome::Done);
    const std::wstring copies = root + L"Lists\\mix\\";
    EXPECT_EQ(NamesIn(root + L"Lists\\"), (Names{L"mix", L"mix.m3u", L"Music"}));  // no backup
    EXPECT_EQ(NamesIn(copies), (Names{L"a.mp3", L"b.mp3", L"c.mp3", L"mix.m3u"}));
    EXPECT_EQ(ReadBytes(copies + L"a.mp3"), "song a");
    EXPECT_EQ(ReadBytes(copies + L"b.mp3"), "song b");
    EXPECT_EQ(ReadBytes(copies + L"c.mp3"), "song c");
    EXPECT_EQ(ReadBytes(copies + L"mix.m3u"), "#EXTINF:12,Artist - T\r\na.mp3\r\nb.mp3\r\nc.mp3\r\n");
    EXPECT_EQ(ReadBytes(playlist), original);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.logClears, 1);
    EXPECT_EQ(host.captions, (std::vector<std::wstring>{L"Copying a.mp3", L"Copying b.mp3",
                                                        L"Copying c.mp3", kFinalCaption}));
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(0)});
    EXPECT_TRUE(host.busyChanges.empty());
    EXPECT_TRUE(host.failures.empty());

    // A second run replaces the first run's copies and new playlist.
    Put(L"Lists\\Music\\a.mp3", "song a, second take");
    WriteBytes(copies + L"mix.m3u", "stale");
    ASSERT_EQ(Run(playlist), RunOutcome::Done);
    EXPECT_EQ(NamesIn(copies), (Names{L"a.mp3", L"b.mp3", L"c.mp3", L"mix.m3u"}));
    EXPECT_EQ(ReadBytes(copies + L"a.mp3"), "song a, second take");
    EXPECT_EQ(ReadBytes(copies + L"mix.m3u"), "#EXTINF:12,Artist - T\r\na.mp3\r\nb.mp3\r\nc.mp3\r\n");
    EXPECT_EQ(ReadBytes(playlist), original);
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(0)});
}

TEST_F(CopyToOneFolderTest, FailedCopiesAreLoggedAndStillListed) {
    Put(L"a.mp3", "a");
    Put(L"c.mp3", "c");
    WriteBytes(root + L"three.m3u", "a.mp3\r\nmissing.mp3\r\nc.mp3\r\n");
    ASSERT_EQ(Run(root + L"three.m3u"), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(root + L"three\\three.m3u"), "a.mp3\r\nmissing.mp3\r\nc.mp3\r\n");
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Couldn't Copy missing.mp3"});
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(1)});  // no singular form
    EXPECT_EQ(NamesIn(root + L"three\\"), (Names{L"a.mp3", L"c.mp3", L"three.m3u"}));

    // An empty line leaves no trace; an entry ending in a backslash names no file; songs that
    // already lie in the copy folder under their own names (in any letter case) are not copied
    // over themselves.
    Put(L"mix\\self.mp3", "self");
    Put(L"mix\\Self2.mp3", "self 2");
    WriteBytes(root + L"mix.m3u", "a.mp3\r\n\r\nSub\\\r\nmix\\self.mp3\r\nMIX\\.\\Self2.mp3\r\n");
    ASSERT_EQ(Run(root + L"mix.m3u"), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(root + L"mix\\mix.m3u"), "a.mp3\r\n\r\nself.mp3\r\nSelf2.mp3\r\n");
    EXPECT_EQ(host.log, (std::vector<std::wstring>{L"Couldn't Copy ", L"Couldn't Copy self.mp3",
                                                   L"Couldn't Copy Self2.mp3"}));
    EXPECT_EQ(host.captions, (std::vector<std::wstring>{L"Copying a.mp3", L"Copying ",
                                                        L"Copying self.mp3", L"Copying Self2.mp3",
                                                        kFinalCaption}));
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(3)});
    EXPECT_EQ(ReadBytes(root + L"mix\\self.mp3"), "self");
    EXPECT_EQ(ReadBytes(root + L"mix\\Self2.mp3"), "self 2");
    EXPECT_EQ(NamesIn(root + L"mix\\"), (Names{L"a.mp3", L"mix.m3u", L"self.mp3", L"Self2.mp3"}));
}

// Names go to the entries in turn, found or not: a missing song keeps its name (absent from the
// folder), so the song after it of that name, copied as "x (2).mp3", is never played in its
// place. Songs written with forward slashes are found and copied like any other.
TEST_F(CopyToOneFolderTest, EachEntryGetsItsNameInTurnAndForwardSlashesNameSongs) {
    Put(L"here\\x.mp3", "here x");
    Put(L"sub\\a.mp3", "sub a");
    Put(L"Music\\b.mp3", "music b");
    Put(L"Music\\#1 Hit.mp3", "hit");
    std::string forward = Ansi(root);
    for (char& c : forward) c = c == '\\' ? '/' : c;
    WriteBytes(root + L"mix.m3u", "gone\\x.mp3\r\nhere\\x.mp3\r\nsub/a.mp3\r\n" + forward +
                                      "Music/b.mp3\r\nMusic\\#1 Hit.mp3\r\n");

    ASSERT_EQ(Run(root + L"mix.m3u"), RunOutcome::Done);
    const std::wstring copies = root + L"mix\\";
    // A name that begins with "#" is listed so that it stays a song, not a tag line.
    EXPECT_EQ(ReadBytes(copies + L"mix.m3u"), "x.mp3\r\nx (2).mp3\r\na.mp3\r\nb.mp3\r\n.\\#1 Hit.mp3\r\n");
    EXPECT_EQ(NamesIn(copies), (Names{L"mix.m3u", L"x (2).mp3", L"a.mp3", L"b.mp3", L"#1 Hit.mp3"}));
    EXPECT_EQ(ReadBytes(copies + L"x (2).mp3"), "here x");
    EXPECT_EQ(ReadBytes(copies + L"a.mp3"), "sub a");
    EXPECT_EQ(ReadBytes(copies + L"b.mp3"), "music b");
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Couldn't Copy x.mp3"});
}

TEST_F(CopyToOneFolderTest, EveryNameInTheFolderIsOneSong) {
    Put(L"X\\a.mp3", "x a");
    Put(L"Y\\a.mp3", "y a");
    Put(L"Z\\A.MP3", "z a");
    Put(L"X\\b.mp3", "x b");
    Put(L"names\\b.mp3", "already here");
    Put(L"X\\names.m3u", "a song named like the playlist");
    Put(L"X\\readme", "one");
    Put(L"Y\\readme", "two");
    WriteBytes(root + L"names.m3u",
               "X\\a.mp3\r\n"
               "Y\\a.mp3\r\n"
               "Z\\A.MP3\r\n"
               "x\\A.mp3\r\n"          // the first song again, in other letters
               "X\\b.mp3\r\n"          // its name is taken by the song below, already there
               "names\\b.mp3\r\n"
               "X\\names.m3u\r\n"
               "X\\readme\r\n"
               "Y\\readme\r\n"
               "X\\a.mp3\r\n"
               "gone.mp3\r\n"        // missing, listed twice: each tried and logged as written
               "GONE.mp3\r\n");
    ASSERT_EQ(Run(root + L"names.m3u"), RunOutcome::Done);
    const std::wstring copies = root + L"names\\";
    EXPECT_EQ(ReadBytes(copies + L"names.m3u"),
              "a.mp3\r\na (2).mp3\r\nA (3).MP3\r\na.mp3\r\nb (2).mp3\r\nb.mp3\r\n"
              "names (2).m3u\r\nreadme\r\nreadme (2)\r\na.mp3\r\ngone.mp3\r\nGONE.mp3\r\n");
    EXPECT_EQ(NamesIn(copies), (Names{L"a.mp3", L"a (2).mp3", L"A (3).MP3", L"b.mp3", L"b (2).mp3",
                                      L"names.m3u", L"names (2).m3u", L"readme", L"readme (2)"}));
    EXPECT_EQ(ReadBytes(copies + L"a.mp3"), "x a");
    EXPECT_EQ(ReadBytes(copies + L"a (2).mp3"), "y a");
    EXPECT_EQ(ReadBytes(copies + L"A (3).MP3"), "z a");
    EXPECT_EQ(ReadBytes(copies + L"b.mp3"), "already here");
    EXPECT_EQ(ReadBytes(copies + L"b (2).mp3"), "x b");
    EXPECT_EQ(ReadBytes(copies + L"names (2).m3u"), "a song named like the playlist");
    EXPECT_EQ(ReadBytes(copies + L"readme (2)"), "two");
    // The song listed three times was copied once; the one already there not at all; the
    // missing one tried at each line, in case it came meanwhile.
    EXPECT_EQ(files.copiedTo.size(), 9u);
    // The song already in the folder counts as a failed copy, as the rule says; the missing
    // one at each of its lines.
    EXPECT_EQ(host.log, (std::vector<std::wstring>{L"Couldn't Copy b.mp3", L"Couldn't Copy gone.mp3",
                                                   L"Couldn't Copy GONE.mp3"}));
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(3)});
}

TEST_F(CopyToOneFolderTest, NamesThatAreNoPlainFileNamesAreNeverWritten) {
    // Sources that an unchecked copy would reach, so an escape would leave a file behind.
    Put(L"A\\x.dll", "outside");
    Put(L"x.dll", "two up");
    CreateDirectoryW((root + L"A\\B").c_str(), nullptr);
    CreateDirectoryW((root + L"A\\B\\Music").c_str(), nullptr);
    const std::wstring playlist = root + L"A\\B\\up.m3u";
    const std::string lines[] = {
        "Music/../../x.dll",  // "/" separates as "\\" does: A\\x.dll, read from outside, written inside
        "..\\..\\x.dll",      // another x.dll: read from outside, written inside as "x (2).dll"
        "nul.mp3", "Music\\COM1", "con .txt", "Lpt9.a.b", "aux", "COM\xB9.mp3",
        "a:b.mp3",            // an alternate data stream of "a"
        "what?.mp3", "pipe|.mp3", "less<.mp3", "quote\".mp3", "star*.mp3", "tab\t.mp3",
        "Music\\.", "Music\\..", "..", "trailing.", "trailing ",
    };
    std::string content;
    for (const std::string& line : lines) content += line + "\r\n";
    WriteBytes(playlist, content);

    ASSERT_EQ(Run(playlist), RunOutcome::Done);
    const std::wstring copies = root + L"A\\B\\up\\";
    EXPECT_EQ(NamesIn(copies), (Names{L"up.m3u", L"x.dll", L"x (2).dll"}));
    EXPECT_EQ(ReadBytes(copies + L"x.dll"), "outside");
    EXPECT_EQ(ReadBytes(copies + L"x (2).dll"), "two up");
    EXPECT_EQ(NamesIn(root), (Names{L"A", L"x.dll"}));
    EXPECT_EQ(NamesIn(root + L"A\\"), (Names{L"B", L"x.dll"}));
    EXPECT_EQ(NamesIn(root + L"A\\B\\"), (Names{L"Music", L"up", L"up.m3u"}));
    EXPECT_TRUE(NamesIn(root + L"A\\B\\Music\\").empty());
    EXPECT_EQ(ReadBytes(root + L"A\\x.dll"), "outside");
    EXPECT_EQ(files.copiedTo, (std::vector<std::wstring>{copies + L"x.dll", copies + L"x (2).dll"}));

    // Every other name is listed as the playlist had it (a path that ends in a folder has an
    // empty one), and logged as a failed copy.
    std::string expected = "x.dll\r\nx (2).dll\r\n";
    std::vector<std::wstring> expectedLog;
    for (const std::string& line : std::vector<std::string>(std::begin(lines) + 2, std::end(lines))) {
        std::string name = line.substr(line.rfind('\\') == std::string::npos ? 0 : line.rfind('\\') + 1);
        if (name == "." || name == "..") name.clear();
        expected += name + "\r\n";
        expectedLog.push_back(L"Couldn't Copy " + DecodeText(name, TextEncoding::Ansi));
    }
    EXPECT_EQ(ReadBytes(copies + L"up.m3u"), expected);
    EXPECT_EQ(host.log, expectedLog);
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(static_cast<int>(expectedLog.size()))});
}

TEST_F(CopyToOneFolderTest, EmptyTagOnlyLfOnlyAndUtf8Playlists) {
    WriteBytes(root + L"empty.m3u", "");
    ASSERT_EQ(Run(root + L"empty.m3u"), RunOutcome::Done);
    EXPECT_EQ(NamesIn(root + L"empty\\"), Names{L"empty.m3u"});
    EXPECT_EQ(ReadBytes(root + L"empty\\empty.m3u"), "");
    EXPECT_EQ(host.captions, std::vector<std::wstring>{kFinalCaption});
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(0)});

    WriteBytes(root + L"tags.m3u", "#EXTM3U\r\n\r\n#EXTINF:1,\xE9t\xE9\r#PLAYLIST:x");
    ASSERT_EQ(Run(root + L"tags.m3u"), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(root + L"tags\\tags.m3u"), "#EXTM3U\r\n#EXTINF:1,\xE9t\xE9\r\n#PLAYLIST:x\r\n");
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(0)});

    // Lines that end in LF alone; a Windows-1252 name keeps its bytes.
    Put(L"Music\\\u00E9t\u00E9.mp3", "ete");
    Put(L"Music\\b.mp3", "b");
    WriteBytes(root + L"lf.m3u", "#EXTM3U\nMusic\\\xE9t\xE9.mp3\nMusic\\b.mp3\n");
    ASSERT_EQ(Run(root + L"lf.m3u"), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(root + L"lf\\lf.m3u"), "#EXTM3U\r\n\xE9t\xE9.mp3\r\nb.mp3\r\n");
    EXPECT_EQ(ReadBytes(root + L"lf\\\u00E9t\u00E9.mp3"), "ete");
    EXPECT_EQ(host.captions.front(), L"Copying \u00E9t\u00E9.mp3");
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(0)});

    // UTF-8 with a byte-order mark: the mark is kept, names stay UTF-8, "(2)" goes in bytes.
    Put(L"Other\\\u00E9t\u00E9.mp3", "other ete");
    WriteBytes(root + L"utf.m3u8", "\xEF\xBB\xBF#EXTINF:1,\xC3\xA9\nMusic\\\xC3\xA9t\xC3\xA9.mp3\n"
                                   "Other\\\xC3\xA9t\xC3\xA9.mp3\n");
    ASSERT_EQ(Run(root + L"utf.m3u8"), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(root + L"utf\\utf.m3u8"),
              "\xEF\xBB\xBF#EXTINF:1,\xC3\xA9\r\n\xC3\xA9t\xC3\xA9.mp3\r\n\xC3\xA9t\xC3\xA9 (2).mp3\r\n");
    EXPECT_EQ(ReadBytes(root + L"utf\\\u00E9t\u00E9 (2).mp3"), "other ete");
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(0)});
}

TEST_F(CopyToOneFolderTest, RunsThatChangeNothing) {
    // A missing playlist: only the locate message; the log keeps its lines.
    EXPECT_EQ(Run(root + L"none.m3u"), RunOutcome::NotFound);
    EXPECT_EQ(host.messages, std::vector<std::wstring>{kLocateMessage});
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"earlier"});
    EXPECT_TRUE(host.captions.empty());

    // No text playlist.
    const std::string utf16 = "\xFF\xFE#\0E\0X\0T\0\r\0\n\0a\0.\0m\0p\0\x33\0"s;
    WriteBytes(root + L"wide.m3u", utf16);
    EXPECT_EQ(Run(root + L"wide.m3u"), RunOutcome::Refused);
    EXPECT_EQ(host.messages, std::vector<std::wstring>{NotTextPlaylistMessage(root + L"wide.m3u")});
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"earlier"});

    // Names of 4 characters or fewer: the cut would reach into the playlist's folder (or, at 3,
    // name the playlist itself).
    Put(L"a.mp3", "a");
    for (const std::wstring name : {L"x.m3", L"m3u", L"ab", L"a"}) {
        SCOPED_TRACE(testing::NarrowForMessages(name));
        WriteBytes(root + name, "a.mp3\r\n");
        EXPECT_EQ(Run(root + name), RunOutcome::Refused);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_NE(host.messages[0].find(L"No copy folder can be made for the playlist name \"" + name + L"\""),
                  std::wstring::npos);
        EXPECT_EQ(host.log, std::vector<std::wstring>{L"earlier"});
        EXPECT_EQ(ReadBytes(root + name), "a.mp3\r\n");
        EXPECT_TRUE(files.copiedTo.empty());
    }
    EXPECT_EQ(NamesIn(root), (Names{L"a", L"a.mp3", L"ab", L"m3u", L"wide.m3u", L"x.m3"}));
    EXPECT_TRUE(host.captions.empty());
    EXPECT_TRUE(host.failures.empty());
}

TEST_F(CopyToOneFolderTest, CopyFolderThatIsNoFolderOfItsOwnIsRefused) {
    // "..m3u" would make the playlist's own folder the copy folder (and write the new playlist
    // over the playlist), "...m3u" its parent.
    Put(L"a.mp3", "unrelated a in the parent");
    Put(L"Lists\\Music\\a.mp3", "song a");
    Put(L"Lists\\a.mp3", "unrelated a beside the playlists");
    const Names parentBefore = NamesIn(root);
    for (const std::wstring name : {L"..m3u", L"...m3u", L". .m3u"}) {
        SCOPED_TRACE(testing::NarrowForMessages(name));
        const std::wstring playlist = root + L"Lists\\" + name;
        WriteBytes(playlist, "Music\\a.mp3\r\n");
        const Names listsBefore = NamesIn(root + L"Lists\\");
        EXPECT_EQ(Run(playlist), RunOutcome::Refused);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_TRUE(host.messages[0].starts_with(L"No copy folder can be made for the playlist name \"" + name + L"\""));
        EXPECT_EQ(host.log, std::vector<std::wstring>{L"earlier"});
        EXPECT_TRUE(files.copiedTo.empty());
        EXPECT_EQ(NamesIn(root), parentBefore);
        EXPECT_EQ(NamesIn(root + L"Lists\\"), listsBefore);
        EXPECT_EQ(ReadBytes(root + L"a.mp3"), "unrelated a in the parent");
        EXPECT_EQ(ReadBytes(root + L"Lists\\a.mp3"), "unrelated a beside the playlists");
        EXPECT_EQ(ReadBytes(playlist), "Music\\a.mp3\r\n");
        DeleteFileW(playlist.c_str());
    }

    // Dots and blanks at the end of what is left are dropped, as Windows drops them: the copy
    // folder of "mix..m3u" and of "list.m3u8" is a plain folder inside the playlist's.
    WriteBytes(root + L"Lists\\mix..m3u", "Music\\a.mp3\r\n");
    ASSERT_EQ(Run(root + L"Lists\\mix..m3u"), RunOutcome::Done);
    EXPECT_EQ(NamesIn(root + L"Lists\\mix\\"), (Names{L"a.mp3", L"mix..m3u"}));
    EXPECT_EQ(ReadBytes(root + L"Lists\\mix\\a.mp3"), "song a");
    EXPECT_EQ(ReadBytes(root + L"a.mp3"), "unrelated a in the parent");
}

TEST_F(CopyToOneFolderTest, SongsInTheCopyFolderSpeltAnotherWaySurvive) {
    // Every song of the copy folder is listed after a song of the same name from elsewhere,
    // under another spelling of its path; none may be written over.
    const std::pair<std::wstring, std::wstring> spellings[] = {
        {L"a.mp3", L"mix\\.\\a.mp3"},
        {L"b.mp3", L"Sub\\..\\mix\\b.mp3"},
        {L"c.mp3", L"MIX\\c.mp3"},
        {L"d.mp3", L"\\\\?\\" + root + L"mix\\d.mp3"},
        {L"e.mp3", L"..\\" + GetFileName(root.substr(0, root.size() - 1)) + L"\\mix\\e.mp3"},
    };
    std::string content;
    for (const auto& [name, spelling] : spellings) {
        Put(L"Other\\" + name, "other " + Ansi(name));
        Put(L"mix\\" + name, "mix " + Ansi(name));
        content += "Other\\" + Ansi(name) + "\r\n" + Ansi(spelling) + "\r\n";
    }
    // A song listed by its short (8.3) name, where the system makes one.
    Put(L"Other\\abcdefghijkl.mp3", "other long");
    Put(L"mix\\abcdefghijkl.mp3", "mix long");
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW((root + L"mix\\abcdefghijkl.mp3").c_str(), shortPath, MAX_PATH);
    const std::wstring shortName = GetFileName(shortPath);
    content += "mix\\" + Ansi(shortName) + "\r\nOther\\abcdefghijkl.mp3\r\n";
    // The same song twice under two spellings: copied once.
    content += "Other\\.\\a.mp3\r\n";
    WriteBytes(root + L"mix.m3u", content);

    ASSERT_EQ(Run(root + L"mix.m3u"), RunOutcome::Done);
    std::string expected;
    Names expectedNames{L"mix.m3u", L"abcdefghijkl.mp3"};
    std::vector<std::wstring> expectedLog;
    for (const auto& [name, spelling] : spellings) {
        const std::wstring second = Numbered(name);
        EXPECT_EQ(ReadBytes(root + L"mix\\" + name), "mix " + Ansi(name));
        EXPECT_EQ(ReadBytes(root + L"mix\\" + second), "other " + Ansi(name));
        expected += Ansi(second) + "\r\n" + Ansi(name) + "\r\n";
        expectedNames.insert({name, second});
        expectedLog.push_back(L"Couldn't Copy " + name);
    }
    EXPECT_EQ(ReadBytes(root + L"mix\\abcdefghijkl.mp3"), "mix long");
    const bool hasShortName = shortName != L"abcdefghijkl.mp3";
    if (hasShortName) {
        EXPECT_EQ(ReadBytes(root + L"mix\\abcdefghijkl (2).mp3"), "other long");
        expectedNames.insert(L"abcdefghijkl (2).mp3");
    }
    expected += Ansi(shortName) + "\r\n" + (hasShortName ? "abcdefghijkl (2).mp3" : "abcdefghijkl.mp3") +
                "\r\n" + "a (2).mp3\r\n";
    expectedLog.push_back(L"Couldn't Copy " + shortName);
    if (!hasShortName) expectedLog.push_back(L"Couldn't Copy abcdefghijkl.mp3");  // its own path, spelt otherwise
    EXPECT_EQ(NamesIn(root + L"mix\\"), expectedNames);
    EXPECT_EQ(ReadBytes(root + L"mix\\mix.m3u"), expected);
    EXPECT_EQ(host.log, expectedLog);
    EXPECT_EQ(files.copiedTo.size(), std::size(spellings) + (hasShortName ? 1 : 0));
}

TEST_F(CopyToOneFolderTest, NamesTheFileSystemTakesAsOne) {
    // Pairs of names that the file system takes as one (first four), and two that it keeps
    // apart although some case mappings join them (micro sign and Greek mu).
    const std::pair<std::wstring, std::wstring> pairs[] = {
        {L"\u00E9.mp3", L"\u00C9.mp3"}, {L"\u00FF.mp3", L"\u0178.mp3"},
        {L"\u0430.mp3", L"\u0410.mp3"}, {L"\uFF41.mp3", L"\uFF21.mp3"},
        {L"\u00B5.mp3", L"\u03BC.mp3"},
    };
    std::wstring lines = L"\uFEFF";
    for (const auto& [first, second] : pairs) {
        Put(L"X\\" + first, "x " + *EncodeText(first, TextEncoding::Utf8));
        Put(L"Y\\" + second, "y " + *EncodeText(second, TextEncoding::Utf8));
        lines += L"X\\" + first + L"\r\nY\\" + second + L"\r\n";
    }
    WriteBytes(root + L"mix.m3u8", *EncodeText(lines, TextEncoding::Utf8));
    ASSERT_EQ(Run(root + L"mix.m3u8"), RunOutcome::Done);
    EXPECT_TRUE(host.log.empty());
    std::wstring expected = L"\uFEFF";
    Names expectedNames{L"mix.m3u8"};
    for (const auto& [first, second] : pairs) {
        const bool one = CompareStringOrdinal(first.c_str(), -1, second.c_str(), -1, TRUE) == CSTR_EQUAL;
        const std::wstring secondCopy = one ? Numbered(second) : second;
        EXPECT_EQ(ReadBytes(root + L"mix\\" + first), "x " + *EncodeText(first, TextEncoding::Utf8));
        EXPECT_EQ(ReadBytes(root + L"mix\\" + secondCopy), "y " + *EncodeText(second, TextEncoding::Utf8));
        expected += first + L"\r\n" + secondCopy + L"\r\n";
        expectedNames.insert({first, secondCopy});
    }
    EXPECT_EQ(NamesIn(root + L"mix\\"), expectedNames);
    EXPECT_EQ(ReadBytes(root + L"mix\\mix.m3u8"), *EncodeText(expected, TextEncoding::Utf8));

    // The key that stands for a name folds every unit through the system's own upper-case
    // table, the one its ignore-case comparison of names uses.
    using Upcase = WCHAR(WINAPI*)(WCHAR);
    const auto upcase = reinterpret_cast<Upcase>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
    ASSERT_NE(upcase, nullptr);
    int disagreements = 0;
    for (unsigned unit = 1; unit < 0x10000; ++unit) {
        const wchar_t c = static_cast<wchar_t>(unit);
        const std::wstring key = FileNameKey(std::wstring(1, c));
        if (key != std::wstring(1, upcase(c)) ||
            CompareStringOrdinal(&c, 1, key.data(), 1, TRUE) != CSTR_EQUAL) {
            ++disagreements;
        }
    }
    EXPECT_EQ(disagreements, 0);
}

// Records every path the operation hands to the file system.
class PathRecordingFileSystem : public shell::WinFileSystem {
public:
    std::vector<std::wstring> paths;
    std::optional<std::uint64_t> FileLength(const std::wstring& path, ErrorCode* error) override {
        paths.push_back(path);
        return WinFileSystem::FileLength(path, error);
    }
    ErrorCode CopyReplacing(const std::wstring& from, const std::wstring& to) override {
        paths.insert(paths.end(), {from, to});
        return WinFileSystem::CopyReplacing(from, to);
    }
    ErrorCode CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                            const std::function<bool()>& stop) override {
        paths.insert(paths.end(), {from, to});
        return WinFileSystem::CopyIntoPlace(from, to, stop);
    }
    ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes, FileStamp* stamp) override {
        paths.push_back(path);
        return WinFileSystem::ReadWholeFile(path, bytes, stamp);
    }
    std::optional<FileIdentity> IdentityOf(const std::wstring& path, ErrorCode* error) override {
        paths.push_back(path);
        return WinFileSystem::IdentityOf(path, error);
    }
    std::optional<FileStamp> StampOf(const std::wstring& path, ErrorCode* error) override {
        paths.push_back(path);
        return WinFileSystem::StampOf(path, error);
    }
};

TEST_F(CopyToOneFolderTest, DevicePathsAreNeverOpened) {
    Put(L"a.mp3", "a");
    const std::wstring devices[] = {
        L"\\\\.\\pipe\\tallowmere-nobody-serves-this", L"\\\\.\\COM1", L"\\\\.\\C:\\a.mp3",
        L"\\\\?\\GLOBALROOT\\Device\\Null", L"\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\a.mp3",
        L"//./pipe/other.mp3", L"\\\\?\\pipe\\x.mp3", L"\\\\server\\PIPE\\song.mp3",
        L"\\\\server\\mailslot\\slot.mp3",
    };
    std::string content;
    std::vector<std::wstring> expectedLog;
    std::string expected;
    for (const std::wstring& device : devices) {
        content += Ansi(device) + "\r\n";
        // The name after the last separator, "/" or "\\".
        expectedLog.push_back(L"Couldn't Copy " + std::wstring(EntryFileName(device)));
        expected += Ansi(std::wstring(EntryFileName(device))) + "\r\n";
    }
    // Long forms of ordinary paths are files, not devices.
    content += "\\\\?\\" + Ansi(root) + "a.mp3\r\n";
    expected += "a.mp3\r\n";
    WriteBytes(root + L"mix.m3u", content);

    PathRecordingFileSystem recording;
    host = CaptionHost();
    ASSERT_EQ(CopyToOneFolder(RunContext{host, recording, L"C:\\"}, root + L"mix.m3u"), RunOutcome::Done);
    for (const std::wstring& path : recording.paths) {
        for (const std::wstring& device : devices) {
            EXPECT_NE(path, device) << testing::NarrowForMessages(path);
            EXPECT_NE(path, NormalizePath(device)) << testing::NarrowForMessages(path);
        }
    }
    EXPECT_EQ(host.log, expectedLog);
    EXPECT_EQ(ReadBytes(root + L"mix\\mix.m3u"), expected);
    EXPECT_EQ(ReadBytes(root + L"mix\\a.mp3"), "a");
}

TEST_F(CopyToOneFolderTest, NewPlaylistThatCannotBeWritten) {
    // A file where the copy folder should be: no folder, no copies, no new playlist.
    Put(L"a.mp3", "a");
    Put(L"mix", "a file, not a folder");
    WriteBytes(root + L"mix.m3u", "a.mp3\r\n");
    EXPECT_EQ(Run(root + L"mix.m3u"), RunOutcome::Failed);
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Couldn't Copy a.mp3"});
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].file, root + L"mix\\mix.m3u");
    EXPECT_NE(host.failures[0].code, 0u);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.captions.back(), kFinalCaption);
    EXPECT_EQ(NamesIn(root), (Names{L"a.mp3", L"mix", L"mix.m3u"}));
    EXPECT_EQ(ReadBytes(root + L"mix"), "a file, not a folder");
}

// A playlist path that starts with two backslashes: "\\?\" + a drive path names an existing
// file under Windows and Wine alike, so the run goes past the path test. Its drive source is
// "\\", so a root-relative entry becomes "\\\Other\c.mp3", which names nothing.
TEST_F(CopyToOneFolderTest, PlaylistPathWithTwoLeadingBackslashes) {
    Put(L"Lists\\a.mp3", "a");
    Put(L"Other\\c.mp3", "c");
    const std::string rootRelative = Ansi(root.substr(2)) + "Other\\c.mp3";
    WriteBytes(root + L"Lists\\mix.m3u", "a.mp3\r\n" + rootRelative + "\r\n");
    const std::wstring playlist = L"\\\\?\\" + root + L"Lists\\mix.m3u";
    ASSERT_EQ(Run(playlist), RunOutcome::Done);
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Couldn't Copy c.mp3"});
    EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(1)});
    EXPECT_EQ(NamesIn(root + L"Lists\\mix\\"), (Names{L"a.mp3", L"mix.m3u"}));
    EXPECT_EQ(ReadBytes(root + L"Lists\\mix\\mix.m3u"), "a.mp3\r\nc.mp3\r\n");
    EXPECT_EQ(files.copiedTo.back(), L"\\\\?\\" + root + L"Lists\\mix\\c.mp3");
}

TEST_F(CopyToOneFolderTest, CopyFolderBeyondMaxPathAndNamesNoFileCanHave) {
    // A playlist far deeper than MAX_PATH, given by its plain path: the copy folder, the copies
    // and the new playlist are made there all the same, first and second run.
    const std::wstring top = L"\\\\?\\" + root + std::wstring(100, L'd') + L"\\";
    std::wstring deep = top;
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    for (int level = 0; level < 5; ++level) {
        deep += std::wstring(100, L'd') + L"\\";
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    Put(L"Music\\a.mp3", "song a");
    WriteBytes(deep + L"b.mp3", "song b");
    // A name of more characters than any file can have, and a long one in a missing folder.
    const std::string tooLong(1000, 'x');
    const std::string longName = std::string(300, 'y') + ".mp3";
    WriteBytes(deep + L"mix.m3u", Ansi(root) + "Music\\a.mp3\r\nb.mp3\r\n" + tooLong + "\r\nSub\\" + longName + "\r\n");
    const std::wstring plainDeep = deep.substr(4);
    ASSERT_GT(plainDeep.size(), 600u);

    for (const std::string b : {"song b", "song b, second take"}) {
        SCOPED_TRACE(b);
        WriteBytes(deep + L"b.mp3", b);
        ASSERT_EQ(Run(plainDeep + L"mix.m3u"), RunOutcome::Done);
        EXPECT_EQ(NamesIn(deep + L"mix\\"), (Names{L"a.mp3", L"b.mp3", L"mix.m3u"}));
        EXPECT_EQ(ReadBytes(deep + L"mix\\a.mp3"), "song a");
        EXPECT_EQ(ReadBytes(deep + L"mix\\b.mp3"), b);
        EXPECT_EQ(ReadBytes(deep + L"mix\\mix.m3u"), "a.mp3\r\nb.mp3\r\n" + tooLong + "\r\n" + longName + "\r\n");
        EXPECT_EQ(host.log, (std::vector<std::wstring>{L"Couldn't Copy " + std::wstring(tooLong.begin(), tooLong.end()),
                                                       L"Couldn't Copy " + std::wstring(longName.begin(), longName.end())}));
        EXPECT_EQ(host.messages, std::vector<std::wstring>{Finished(2)});
    }
    testing::RemoveTree(top);
}

TEST(WinFileSystemCopyTest, CopiesIntoPlaceAndListsIdentitiesAsOpeningGivesThem) {
    testing::TempFolder folder{L"tallowmere-copy-into-place-"};
    const std::wstring root = folder.Path();
    shell::WinFileSystem files;
    WriteBytes(root + L"song.mp3", "the song");
    WriteBytes(root + L"abcdefghijkl.mp3", "long name");
    SetFileAttributesW((root + L"abcdefghijkl.mp3").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryW((root + L"copies").c_str(), nullptr));
    WriteBytes(root + L"copies\\song.mp3", "an earlier copy");

    // Over an earlier copy; a new name; the last write time and read-only attribute go along.
    EXPECT_EQ(files.CopyIntoPlace(root + L"song.mp3", root + L"copies\\song.mp3"), 0u);
    EXPECT_EQ(files.CopyIntoPlace(root + L"abcdefghijkl.mp3", root + L"copies\\long.mp3"), 0u);
    EXPECT_EQ(ReadBytes(root + L"copies\\song.mp3"), "the song");
    EXPECT_EQ(ReadBytes(root + L"copies\\long.mp3"), "long name");
    EXPECT_NE(GetFileAttributesW((root + L"copies\\long.mp3").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    WIN32_FILE_ATTRIBUTE_DATA source{}, copy{};
    ASSERT_TRUE(GetFileAttributesExW((root + L"song.mp3").c_str(), GetFileExInfoStandard, &source));
    ASSERT_TRUE(GetFileAttributesExW((root + L"copies\\song.mp3").c_str(), GetFileExInfoStandard, &copy));
    EXPECT_EQ(CompareFileTime(&source.ftLastWriteTime, &copy.ftLastWriteTime), 0);
    // A source that is not there, or a folder: the destination stays, nothing else is left.
    EXPECT_NE(files.CopyIntoPlace(root + L"gone.mp3", root + L"copies\\song.mp3"), 0u);
    EXPECT_NE(files.CopyIntoPlace(root + L"copies", root + L"copies\\song.mp3"), 0u);
    EXPECT_EQ(ReadBytes(root + L"copies\\song.mp3"), "the song");
    EXPECT_EQ(NamesIn(root + L"copies\\"), (Names{L"long.mp3", L"song.mp3"}));

    // The new playlist's way in: a new file, then over it; where a folder has the name, or the
    // folder is missing, it fails and leaves nothing behind.
    EXPECT_EQ(files.WriteIntoPlace(root + L"copies\\list.m3u", "first"), 0u);
    EXPECT_EQ(files.WriteIntoPlace(root + L"copies\\list.m3u", "second\r\n"), 0u);
    EXPECT_EQ(ReadBytes(root + L"copies\\list.m3u"), "second\r\n");
    ASSERT_TRUE(CreateDirectoryW((root + L"copies\\folder.m3u").c_str(), nullptr));
    EXPECT_NE(files.WriteIntoPlace(root + L"copies\\folder.m3u", "never"), 0u);
    EXPECT_NE(files.WriteIntoPlace(root + L"none\\list.m3u", "never"), 0u);
    EXPECT_EQ(NamesIn(root + L"copies\\"), (Names{L"folder.m3u", L"list.m3u", L"long.mp3", L"song.mp3"}));
    EXPECT_TRUE(NamesIn(root + L"copies\\folder.m3u\\").empty());
    RemoveDirectoryW((root + L"copies\\folder.m3u").c_str());

    // One listing gives every name the identity that opening it gives, and its short name.
    std::map<std::wstring, FileIdentity> listed;
    std::map<std::wstring, std::wstring> shortNames;
    ASSERT_EQ(files.ListFolderIdentities(root, [&](const FolderEntryIdentity& entry) {
        listed[std::wstring(entry.name)] = entry.identity;
        shortNames[std::wstring(entry.name)] = entry.shortName;
    }), 0u);
    ASSERT_EQ(listed.size(), 3u);
    for (const auto& [name, identity] : listed) {
        SCOPED_TRACE(testing::NarrowForMessages(name));
        EXPECT_EQ(files.IdentityOf(root + name), identity);
    }
    EXPECT_NE(listed[L"song.mp3"], listed[L"abcdefghijkl.mp3"]);
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW((root + L"abcdefghijkl.mp3").c_str(), shortPath, MAX_PATH);
    const std::wstring shortName = GetFileName(shortPath);
    EXPECT_EQ(shortNames[L"abcdefghijkl.mp3"], shortName == L"abcdefghijkl.mp3" ? L"" : shortName);
    bool visited = false;
    EXPECT_NE(files.ListFolderIdentities(root + L"none\\", [&](const FolderEntryIdentity&) { visited = true; }), 0u);
    EXPECT_FALSE(visited);
}

// A copy folder on a small disk of its own (tests/small_disk.sh mounts one for this test);
// the songs come from the ordinary temporary folder.
class CopyToOneFolderFullDiskTest : public CopyToOneFolderTest {
protected:
    void SetUp() override {
        if (const char* reason = std::getenv("TALLOWMERE_SMALL_DISK_UNAVAILABLE")) GTEST_SKIP() << reason;
        const char* disk = std::getenv("TALLOWMERE_SMALL_DISK");
        if (!disk) GTEST_SKIP() << "no small disk: run through tests/small_disk.sh";
        small = DecodeText(disk, TextEncoding::Utf8);
        ASSERT_TRUE(CreateDirectoryW((small + L"mix").c_str(), nullptr));
    }
    // Fills the small disk until no more than `left` bytes are free.
    void FillLeaving(std::uint64_t left) {
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(small.c_str(), &free, nullptr, nullptr));
        const std::uint64_t fill = free.QuadPart > left ? free.QuadPart - left : 0;
        HANDLE file = CreateFileW((small + L"filler" + std::to_wstring(++fillers)).c_str(), GENERIC_WRITE, 0,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const std::string block(64 * 1024, 'f');
        for (std::uint64_t done = 0; done < fill;) {
            DWORD written = 0;
            const DWORD piece = static_cast<DWORD>(std::min<std::uint64_t>(block.size(), fill - done));
            if (!WriteFile(file, block.data(), piece, &written, nullptr) || written == 0) break;
            done += written;
        }
        CloseHandle(file);
    }
    std::wstring small;
    int fillers = 0;
};

TEST_F(CopyToOneFolderFullDiskTest, CopiesThatDoNotFitLeaveNoPartialFile) {
    Put(L"Music\\small.mp3", "small song");
    Put(L"Music\\big.mp3", std::string(600 * 1024, 'b'));
    Put(L"Music\\bigger.mp3", std::string(700 * 1024, 'B'));
    const std::string songs = Ansi(root) + "Music\\small.mp3\r\n" + Ansi(root) + "Music\\big.mp3\r\n" +
                              Ansi(root) + "Music\\bigger.mp3\r\n";
    WriteBytes(small + L"mix.m3u", songs);
    WriteBytes(small + L"mix\\big.mp3", "big.mp3 of an earlier run");
    FillLeaving(300 * 1024);

    // The small song fits; the big ones do not, and the earlier copy of one of them stays.
    ASSERT_EQ(Run(small + L"mix.m3u"), RunOutcome::Done);
    EXPECT_EQ(host.log, (std::vector<std::wstring>{L"Couldn't Copy big.mp3", L"Couldn't Copy bigger.mp3"}));
    EXPECT_EQ(NamesIn(small + L"mix\\"), (Names{L"big.mp3", L"mix.m3u", L"small.mp3"}));
    EXPECT_EQ(ReadBytes(small + L"mix\\big.mp3"), "big.mp3 of an earlier run");
    EXPECT_EQ(ReadBytes(small + L"mix\\small.mp3"), "small song");
    EXPECT_EQ(ReadBytes(small + L"mix\\mix.m3u"), "small.mp3\r\nbig.mp3\r\nbigger.mp3\r\n");

    // A full disk: no copy fits, nor the new playlist; everything of the earlier run stays.
    FillLeaving(0);
    FillLeaving(0);  // what a file's first block may still have taken
    Put(L"Music\\small.mp3", "small song, second take");
    EXPECT_EQ(Run(small + L"mix.m3u"), RunOutcome::Failed);
    EXPECT_EQ(host.log, (std::vector<std::wstring>{L"Couldn't Copy small.mp3", L"Couldn't Copy big.mp3",
                                                   L"Couldn't Copy bigger.mp3"}));
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].file, small + L"mix\\mix.m3u");
    EXPECT_EQ(NamesIn(small + L"mix\\"), (Names{L"big.mp3", L"mix.m3u", L"small.mp3"}));
    EXPECT_EQ(ReadBytes(small + L"mix\\small.mp3"), "small song");
    EXPECT_EQ(ReadBytes(small + L"mix\\big.mp3"), "big.mp3 of an earlier run");
    EXPECT_EQ(ReadBytes(small + L"mix\\mix.m3u"), "small.mp3\r\nbig.mp3\r\nbigger.mp3\r\n");
    EXPECT_EQ(ReadBytes(small + L"mix.m3u"), songs);
}

}  // namespace
}  // namespace tallowmere::playlist
