// The playlist operations on real files under Windows (or Wine): a temporary folder, the
// program's own Win32 file system, and a recording host in place of the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/playlist_text.h"
#include "playlist/relink.h"
#include "playlist/run.h"
#include "shell/win_file_system.h"
#include "tests/playlist/real_files_win.h"
#include "tests/playlist/test_support.h"

#ifndef TALLOWMERE_CORPUS_DIR
#error TALLOWMERE_CORPUS_DIR must name tests/data/corpus
#endif

namespace tallowmere::playlist {
namespace {

using namespace testing;
using Operation = RunOutcome (*)(const RunContext&, const std::wstring&);

std::wstring Widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring CorpusFolder() {
    // The source tree as Wine (Z: is the Unix root) or Windows sees it.
    std::wstring folder = Widen(TALLOWMERE_CORPUS_DIR);
    for (wchar_t& c : folder) c = c == L'/' ? L'\\' : c;
    return folder.starts_with(L"\\") ? L"Z:" + folder + L"\\" : folder + L"\\";
}

class PlaylistFiles : public ::testing::Test {
protected:
    TempFolder folder;
    RecordingHost host;
    shell::WinFileSystem files;
    std::wstring playlist = folder / L"list.m3u";
    std::wstring programFolder = L"C:\\Program Files\\Tallowmere";

    RunOutcome Run(Operation operation, FileSystem* through = nullptr) {
        const RunContext context{host, through ? *through : files, programFolder};
        return operation(context, playlist);
    }
    // Busy was shown and hidden again, or never shown.
    void ExpectBusyHidden() {
        EXPECT_FALSE(host.BusyVisible());
        EXPECT_TRUE(host.busyChanges.empty() ||
                    host.busyChanges == (std::vector<bool>{true, false}));
    }
    void ExpectOnlyFiles(std::set<std::wstring> names) { EXPECT_EQ(folder.Names(), names); }
};

// Fails a write after half of the new content is in the temporary file (the rewrite's: the
// backup takes no write, it is the old file under a second name).
class FailingMidWrite : public shell::WinFileSystem {
public:
    explicit FailingMidWrite(int writesBeforeFailure = 0) : writesLeft_(writesBeforeFailure) {}

protected:
    ErrorCode WriteTemporary(void* file, std::string_view bytes) override {
        if (writesLeft_-- > 0) return WinFileSystem::WriteTemporary(file, bytes);
        WinFileSystem::WriteTemporary(file, bytes.substr(0, bytes.size() / 2));
        return ERROR_DISK_FULL;
    }

private:
    int writesLeft_;
};

// Fails putting the backup in place.
class FailingBackup : public shell::WinFileSystem {
protected:
    ErrorCode RenameOver(const std::wstring& from, const std::wstring& to) override {
        if (to.ends_with(L"_backup")) return ERROR_ACCESS_DENIED;
        return WinFileSystem::RenameOver(from, to);
    }
};

// The file system of a share or a virtual machine that gives every file the index 0: no file's
// identity is known, so none may be taken for another.
class NoFileIds : public shell::WinFileSystem {
public:
    ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes, FileStamp* stamp) override {
        const ErrorCode error = WinFileSystem::ReadWholeFile(path, bytes, stamp);
        if (stamp) Forget(stamp->identity);
        return error;
    }
    std::optional<FileIdentity> IdentityOf(const std::wstring& path, ErrorCode* error) override {
        std::optional<FileIdentity> identity = WinFileSystem::IdentityOf(path, error);
        if (identity) Forget(*identity);
        return identity;
    }
    std::optional<FileStamp> StampOf(const std::wstring& path, ErrorCode* error) override {
        std::optional<FileStamp> stamp = WinFileSystem::StampOf(path, error);
        if (stamp) Forget(stamp->identity);
        return stamp;
    }
    std::optional<std::uint64_t> FileIndexOf(const std::wstring& path) override {
        return WinFileSystem::FileIndexOf(path) ? std::optional<std::uint64_t>(0) : std::nullopt;
    }
    ErrorCode ListFolderIdentities(const std::wstring& folder,
                                   const std::function<void(const FolderEntryIdentity&)>& visit) override {
        return WinFileSystem::ListFolderIdentities(folder, [&](const FolderEntryIdentity& entry) {
            FolderEntryIdentity withoutIndex = entry;
            Forget(withoutIndex.identity);
            visit(withoutIndex);
        });
    }

private:
    static void Forget(FileIdentity& identity) { identity.indexHigh = identity.indexLow = 0; }
};

// Without file ids nothing is lost: two songs of one name are two songs, a song under two
// spellings is copied whole, the library walk enters every folder, and a rewrite still writes
// (its stamps compare by length and last write).
TEST_F(PlaylistFiles, AFileSystemWithoutFileIdsLosesNothing) {
    NoFileIds noIds;
    for (const wchar_t* made : {L"A", L"B", L"C", L"Lib", L"Lib\\One", L"Lib\\Two", L"Lib\\Two\\Three"}) {
        CreateDirectoryW((folder / made).c_str(), nullptr);
    }
    WriteBytes(folder / L"A\\x.mp3", "song of A");
    WriteBytes(folder / L"B\\x.mp3", "song of B");
    WriteBytes(folder / L"C\\y.mp3", "song y");
    WriteBytes(playlist, "A\\x.mp3\r\nB\\x.mp3\r\nC\\y.mp3\r\nc\\.\\Y.MP3\r\n");
    ASSERT_EQ(Run(CopyToOneFolder, &noIds), RunOutcome::Done);
    const std::wstring copies = folder / L"list\\";
    const std::string newPlaylist = ReadBytes(copies + L"list.m3u");
    const std::vector<std::string_view> names = SplitLines(newPlaylist);
    const char* songs[] = {"song of A", "song of B", "song y", "song y"};
    ASSERT_EQ(names.size(), std::size(songs));
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(ReadBytes(copies + Widen(names[i])), songs[i]) << newPlaylist;
    }

    for (const wchar_t* song :
         {L"Lib\\a.mp3", L"Lib\\One\\b.mp3", L"Lib\\Two\\c.mp3", L"Lib\\Two\\Three\\d.mp3"}) {
        WriteBytes(folder / song, "song");
    }
    const LibraryIndex library = LibraryIndex::Build({host, noIds, programFolder}, {folder / L"Lib"});
    EXPECT_EQ(library.FileCount(), 4u);

    host = RecordingHost();
    WriteBytes(playlist, "#EXTINF:1,A\r\na.mp3\r\n");
    EXPECT_EQ(Run(RemoveTagInfo, &noIds), RunOutcome::Done);
    EXPECT_TRUE(host.failures.empty());
    EXPECT_EQ(ReadBytes(playlist), "a.mp3\r\n");
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), "#EXTINF:1,A\r\na.mp3\r\n");
}

TEST_F(PlaylistFiles, FileSystemBasics) {
    WriteBytes(folder / L"empty.mp3", "");
    EXPECT_TRUE(FileExists(files, folder / L"empty.mp3"));
    EXPECT_FALSE(FileExists(files, folder / L"none.mp3"));
    EXPECT_FALSE(FileExists(files, L""));
    EXPECT_FALSE(FileExists(files, folder.Path()));  // a folder is no file

    WriteBytes(folder / L"a.mp3", "new");
    WriteBytes(folder / L"b.mp3", "old");
    EXPECT_TRUE(DoFileCopy(files, folder / L"a.mp3", folder / L"b.mp3"));
    EXPECT_EQ(ReadBytes(folder / L"b.mp3"), "new");
    EXPECT_FALSE(DoFileCopy(files, folder / L"a.mp3", folder / L"a.mp3"));
    EXPECT_FALSE(DoFileCopy(files, folder / L"none.mp3", folder / L"c.mp3"));
    EXPECT_FALSE(DoFileCopy(files, folder / L"a.mp3", folder / L"no\\such\\c.mp3"));

    CreatePathTree(files, folder / L"x\\y\\z.m3u");
    EXPECT_EQ(folder.Names(L"x\\"), std::set<std::wstring>{L"y"});
    CreatePathTree(files, folder / L"x\\y\\");  // all exist: nothing happens
    CreatePathTree(files, L"\\\\no-such-server-tallowmere\\share\\dir\\");  // passed over
    EXPECT_FALSE(Exists(L"\\\\no-such-server-tallowmere\\share\\dir\\"));
}

TEST_F(PlaylistFiles, RemoveTagInfoLineEndsBackupAndSecondRun) {
    // CR LF, CR and LF mixed, and a last line without an end.
    const std::string original = "#EXTM3U\r\n#EXTINF:1,A\ra.mp3\n\n#EXTINF:2,B\r\nb.mp3";
    WriteBytes(playlist, original);
    host.log = {L"earlier"};
    ASSERT_EQ(Run(RemoveTagInfo), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U\r\na.mp3\r\nb.mp3\r\n");
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), original);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.logClears, 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.busyChanges, (std::vector<bool>{true, false}));
    ExpectOnlyFiles({L"list.m3u", L"list.m3u_backup"});

    // The second run has nothing to change: it writes nothing, and the backup still holds the
    // playlist as it was before the first.
    ASSERT_EQ(Run(RemoveTagInfo), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U\r\na.mp3\r\nb.mp3\r\n");
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), original);
}

TEST_F(PlaylistFiles, RemoveTagInfoEmptyAndLfOnlyFiles) {
    // Nothing to change: no backup either.
    WriteBytes(playlist, "");
    ASSERT_EQ(Run(RemoveTagInfo), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "");
    ExpectOnlyFiles({L"list.m3u"});

    // LF alone ends lines: the file is handled line by line, not dropped whole.
    WriteBytes(playlist, "#EXTINF:10,Song\nsong.mp3\n#EXTINF:20,Other\nother.mp3\n");
    ASSERT_EQ(Run(RemoveTagInfo), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "song.mp3\r\nother.mp3\r\n");

    WriteBytes(playlist, "#EXTINF:1,x\r\n\r\n#EXTINF\r\n");
    ASSERT_EQ(Run(RemoveTagInfo), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "");
}

TEST_F(PlaylistFiles, MissingPlaylistOnlyShowsTheLocateMessage) {
    host.log = {L"earlier"};
    for (Operation operation : {RemoveTagInfo, StripMissingSongs, StripDuplicates}) {
        EXPECT_EQ(Run(operation), RunOutcome::NotFound);
    }
    EXPECT_EQ(host.messages, std::vector<std::wstring>(3, kLocateMessage));
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"earlier"});
    EXPECT_TRUE(host.busyChanges.empty());
    ExpectOnlyFiles({});
}

TEST_F(PlaylistFiles, ReadOnlyPlaylistIsLeftAsItWas) {
    const std::string original = "#EXTINF:1,A\r\na.mp3\r\n";
    WriteBytes(playlist, original);
    ASSERT_TRUE(SetFileAttributesW(playlist.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Run(RemoveTagInfo), RunOutcome::Failed);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].file, playlist);
    EXPECT_NE(host.failures[0].code, 0u);
    EXPECT_EQ(ReadBytes(playlist), original);
    ExpectBusyHidden();
    // A run that writes nothing makes no backup.
    ExpectOnlyFiles({L"list.m3u"});
}

TEST_F(PlaylistFiles, PlaylistHeldOpenByAnotherHandle) {
    const std::string original = "#EXTINF:1,A\r\na.mp3\r\na.mp3\r\n";
    WriteBytes(playlist, original);
    for (const DWORD sharing : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        SCOPED_TRACE(sharing);
        HANDLE holder = CreateFileW(playlist.c_str(), GENERIC_READ, sharing, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        host = RecordingHost();
        for (Operation operation : {RemoveTagInfo, StripDuplicates}) {
            EXPECT_EQ(Run(operation), RunOutcome::Failed);
        }
        CloseHandle(holder);
        ASSERT_EQ(host.failures.size(), 2u);
        EXPECT_EQ(host.failures[0].code, static_cast<ErrorCode>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(host.failures[1].code, static_cast<ErrorCode>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(ReadBytes(playlist), original);
        EXPECT_FALSE(host.BusyVisible());
        for (const std::wstring& name : folder.Names()) {
            EXPECT_TRUE(name == L"list.m3u" || name == L"list.m3u_backup") << std::string(name.begin(), name.end());
        }
    }
}

TEST_F(PlaylistFiles, WriteFailureMidwayAndBackupFailure) {
    const std::string original = "#EXTINF:1,A\r\na.mp3\r\nb.mp3\r\n";
    WriteBytes(playlist, original);
    FailingMidWrite failingWrite;
    EXPECT_EQ(Run(RemoveTagInfo, &failingWrite), RunOutcome::Failed);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].code, static_cast<ErrorCode>(ERROR_DISK_FULL));
    EXPECT_EQ(host.failures[0].file, playlist);
    EXPECT_EQ(ReadBytes(playlist), original);
    ExpectBusyHidden();
    // Nothing was put in place: no backup, no temporary file.
    ExpectOnlyFiles({L"list.m3u"});

    host = RecordingHost();
    FailingBackup failingBackup;
    EXPECT_EQ(Run(RemoveTagInfo, &failingBackup), RunOutcome::Failed);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].file, playlist + L"_backup");
    EXPECT_EQ(ReadBytes(playlist), original);
    ExpectBusyHidden();
    ExpectOnlyFiles({L"list.m3u"});
}

TEST_F(PlaylistFiles, NotATextPlaylistIsRefused) {
    const std::string utf16 = ReadBytes(CorpusFolder() + L"navidrome-utf16le-bom.m3u");
    ASSERT_EQ(utf16.size(), 412u);
    WriteBytes(playlist, utf16);
    for (Operation operation : {RemoveTagInfo, StripMissingSongs, StripDuplicates}) {
        EXPECT_EQ(Run(operation), RunOutcome::Refused);
    }
    EXPECT_EQ(host.messages, std::vector<std::wstring>(3, NotTextPlaylistMessage(playlist)));
    EXPECT_EQ(ReadBytes(playlist), utf16);
    EXPECT_TRUE(host.busyChanges.empty());
    ExpectOnlyFiles({L"list.m3u"});
}

TEST_F(PlaylistFiles, EncodingsKeepTheirBytes) {
    // Every byte from 0x80 to 0xFF in a Windows-1252 line, and in a tag line.
    std::string high;
    for (int b = 0x80; b <= 0xFF; ++b) high += static_cast<char>(b);
    WriteBytes(playlist, "#EXTM3U " + high + "\r\n#EXTINF:1," + high + "\r\n" + high + ".mp3\r\n");
    ASSERT_EQ(Run(RemoveTagInfo), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U " + high + "\r\n" + high + ".mp3\r\n");

    // A UTF-8 playlist with a byte-order mark keeps it; bytes that are no valid UTF-8 survive.
    const std::wstring utf8Playlist = folder / L"list.m3u8";
    WriteBytes(utf8Playlist, "\xEF\xBB\xBF#EXTINF:1,\xC3\xA9\nbad \xC3\x28 \xFF.mp3\n\xC3\xA9.mp3\n");
    const RunContext context{host, files, programFolder};
    ASSERT_EQ(RemoveTagInfo(context, utf8Playlist), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(utf8Playlist), "\xEF\xBB\xBF" "bad \xC3\x28 \xFF.mp3\r\n\xC3\xA9.mp3\r\n");
}

TEST_F(PlaylistFiles, StripMissingSongsKeepsNonAsciiEntriesByteForByte) {
    CreateDirectoryW((folder / L"Sub").c_str(), nullptr);
    WriteBytes(folder / L"Sub\\\u00E9t\u00E9.mp3", "x");
    WriteBytes(folder / L"\u00C5ngstr\u00F6m.mp3", "x");
    // Windows-1252 bytes: é is E9.
    WriteBytes(playlist, "Sub\\\xE9t\xE9.mp3\r\nSub\\\xE9t\xE9-gone.mp3\r\n");
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), AsciiBytes(folder.Path()) + "Sub\\\xE9t\xE9.mp3\r\n");
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Missing: \u00E9t\u00E9-gone.mp3"});
    // UTF-8 without a byte-order mark.
    WriteBytes(playlist, "\xC3\x85ngstr\xC3\xB6m.mp3\n");
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), AsciiBytes(folder.Path()) + "\xC3\x85ngstr\xC3\xB6m.mp3\r\n");
}

TEST_F(PlaylistFiles, StripMissingSongsInAFolderTheCodePageCannotHold) {
    // "Łódź日本": Windows-1252 has no Ł, ź, 日 or 本. The relative entry cannot be written as a
    // full path in the playlist's code page, so it stays as read and still names the song.
    const std::wstring name = L"\u0141\u00F3d\u017A\u65E5\u672C";
    ASSERT_TRUE(CreateDirectoryW((folder / name).c_str(), nullptr));
    WriteBytes(folder / (name + L"\\a.mp3"), "x");
    playlist = folder / (name + L"\\list.m3u");
    WriteBytes(playlist, "#EXTM3U\r\na.mp3\r\ngone.mp3\r\n");
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U\r\na.mp3\r\n");
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Missing: gone.mp3"});
    // The second run finds the song again and has nothing to change: nothing is lost from the
    // playlist, and the backup still holds it as it was before the first run.
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U\r\na.mp3\r\n");
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), "#EXTM3U\r\na.mp3\r\ngone.mp3\r\n");
    EXPECT_TRUE(host.log.empty());

    // A UTF-8 playlist there can hold the folder: the entry gets it in front, in UTF-8.
    playlist = folder / (name + L"\\list.m3u8");
    WriteBytes(playlist, "a.mp3\n");
    const std::string full =
        AsciiBytes(folder.Path()) + "\xC5\x81\xC3\xB3" "d\xC5\xBA\xE6\x97\xA5\xE6\x9C\xAC\\a.mp3\r\n";
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), full);
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), full);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(PlaylistFiles, StripDuplicatesTellsUndecodableBytesApart) {
    // E9 and E8 are no UTF-8: each stands for itself, and only the line that repeats the
    // first but for case is a duplicate.
    playlist = folder / L"list.m3u8";
    WriteBytes(playlist, "Caf\xE9.mp3\r\nCaf\xE8.mp3\r\ncaf\xE9.MP3\r\n");
    ASSERT_EQ(Run(StripDuplicates), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "Caf\xE9.mp3\r\nCaf\xE8.mp3\r\n");
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Duplicate caf\xDCE9.MP3"});
    // Windows-1252 leaves 81, 8D, 8F, 90 and 9D undefined: still five different lines.
    playlist = folder / L"list.m3u";
    WriteBytes(playlist, "x\x81\r\nx\x8D\r\nx\x8F\r\nx\x90\r\nx\x9D\r\nX\x81\r\n");
    ASSERT_EQ(Run(StripDuplicates), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "x\x81\r\nx\x8D\r\nx\x8F\r\nx\x90\r\nx\x9D\r\n");
    EXPECT_EQ(host.log.size(), 1u);
}

// The drive letter of the temporary folder and the rest of its path.
std::wstring DriveOf(const std::wstring& path) { return path.substr(0, 2); }
std::wstring AfterDrive(const std::wstring& path) { return path.substr(2); }

TEST_F(PlaylistFiles, StripMissingSongsLineTable) {
    // The playlist sits in <temp>\Lists\; the program's folder is injected on the same drive
    // as the temporary folder so the root-relative row can be made to exist.
    CreateDirectoryW((folder / L"Lists").c_str(), nullptr);
    CreateDirectoryW((folder / L"Music").c_str(), nullptr);
    playlist = folder / L"Lists\\list.m3u";
    programFolder = DriveOf(folder.Path()) + L"\\Somewhere\\Tallowmere";
    const std::wstring music = folder / L"Music\\";
    WriteBytes(music + L"a.mp3", "x");
    WriteBytes(folder / L"Lists\\a.mp3", "x");
    WriteBytes(folder / L"Lists\\#tag-named-file", "x");
    const std::string absolute = AsciiBytes(music) + "a.mp3";
    const std::string rootRelative = AsciiBytes(AfterDrive(music)) + "a.mp3";
    // Written with forward slashes, as some tools write them: Windows reads them as backslashes.
    std::string forward = absolute;
    for (char& c : forward) c = c == '\\' ? '/' : c;
    const std::string lists = AsciiBytes(folder / L"Lists\\");
    WriteBytes(playlist, "\r\n"
                         "#EXTINF:245,Artist - Title\r\n"
                         "#EXTM3U\r\n"
                         "#tag-named-file\r\n" +
                             absolute + "\r\n" +                // absolute, exists
                             rootRelative + "\r\n"              // from the drive root, exists
                             "a.mp3\r\n"                        // relative, exists
                             "#EXTINF:1,Gone\r\n"               // its song is dropped; it stays
                             "Sub\\a.mp3\r\n"                   // relative, missing
                             + forward + "\r\n"                 // exists: kept as written
                             + forward + "/../gone/b.mp3\r\n"   // missing
                             "\\\\box\\share\\a.mp3\r\n"        // share: unreachable under Wine
                             "\\\\box\\share\\b.mp3\r\n"
                             "http://radio.example/live?x=1\r\n"
                             "  " + absolute + "\r\n");         // a ":" inside a name: no file, kept
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    const std::string kept = absolute + "\r\n";
    EXPECT_EQ(ReadBytes(playlist), "#EXTINF:245,Artist - Title\r\n"
                                   "#EXTM3U\r\n"
                                   "#tag-named-file\r\n" +
                                       kept + kept + lists + "a.mp3\r\n"
                                       "#EXTINF:1,Gone\r\n" +
                                       forward + "\r\n"
                                       "\\\\box\\share\\a.mp3\r\n"
                                       "\\\\box\\share\\b.mp3\r\n"
                                       "http://radio.example/live?x=1\r\n"
                                       "  " + absolute + "\r\n");
    EXPECT_EQ(host.log, (std::vector<std::wstring>{L"Missing: a.mp3", L"Missing: b.mp3",
                                                   L"Unreachable: \\\\box\\share\\"}));
}

TEST_F(PlaylistFiles, StripMissingSongsOnADriveThatDoesNotExist) {
    const DWORD drives = GetLogicalDrives();
    wchar_t letter = 0;
    for (wchar_t c = L'Q'; c <= L'Y' && !letter; ++c) {
        if (!(drives & (1u << (c - L'A')))) letter = c;
    }
    ASSERT_NE(letter, 0);
    const std::string drive(1, static_cast<char>(letter));
    WriteBytes(playlist, "#EXTM3U\r\n" + drive + ":\\Music\\a.mp3\r\n" + drive +
                             ":\\Music\\b.mp3\r\nmissing.mp3\r\n" + drive + ":\\c.mp3\r\n");
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U\r\n" + drive + ":\\Music\\a.mp3\r\n" + drive +
                                       ":\\Music\\b.mp3\r\n" + drive + ":\\c.mp3\r\n");
    EXPECT_EQ(host.log, (std::vector<std::wstring>{std::wstring(L"Unreachable: ") + letter + L":\\",
                                                   L"Missing: missing.mp3"}));
}

TEST_F(PlaylistFiles, StripMissingSongsTagLinesOnly) {
    WriteBytes(playlist, "#EXTM3U\r\n\r\n#EXTINF:1,A\r#PLAYLIST:x\n\n");
    ASSERT_EQ(Run(StripMissingSongs), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "#EXTM3U\r\n#EXTINF:1,A\r\n#PLAYLIST:x\r\n");
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.busyChanges, (std::vector<bool>{true, false}));
}

TEST_F(PlaylistFiles, StripDuplicatesRewritesEvenWithoutRepeats) {
    WriteBytes(playlist, "a.mp3\r\rb.mp3\rc.mp3");
    ASSERT_EQ(Run(StripDuplicates), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "a.mp3\r\nb.mp3\r\nc.mp3\r\n");
    EXPECT_TRUE(host.log.empty());

    // É and é in Windows-1252 (C9, E9) and in UTF-8.
    WriteBytes(playlist, "\xC9t\xE9.mp3\r\n\xE9T\xC9.MP3\r\n");
    ASSERT_EQ(Run(StripDuplicates), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "\xC9t\xE9.mp3\r\n");
    EXPECT_EQ(host.log, std::vector<std::wstring>{L"Duplicate \u00E9T\u00C9.MP3"});
    WriteBytes(playlist, "\xC3\x89.mp3\n\xC3\xA9.MP3\n");
    ASSERT_EQ(Run(StripDuplicates), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "\xC3\x89.mp3\r\n");
}

// Every real playlist of the corpus through Remove Tag Info and Strip Duplicates: the result
// is the file's own lines, byte for byte, less the ones the rule drops.
TEST_F(PlaylistFiles, CorpusByteForByte) {
    const std::wstring corpus = CorpusFolder();
    TempFolder source;
    int files_seen = 0;
    for (const std::wstring& name : NamesIn(corpus)) {
        if (!name.ends_with(L".m3u") && !name.ends_with(L".m3u8")) continue;
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        ++files_seen;
        const std::string original = ReadBytes(corpus + name);
        const auto parsed = ParsePlaylist(original, name);
        if (!parsed) continue;  // the UTF-16 file: refused, tested above
        std::string withoutTags, withoutDuplicates;
        std::set<std::wstring> seen;
        std::vector<std::wstring> duplicates;
        for (const std::string_view line : SplitLines(parsed->Body())) {
            if (line.empty()) continue;
            if (!IsExtinfLine(line)) withoutTags.append(line).append("\r\n");
            std::wstring lowered = parsed->Decode(line);
            CharLowerBuffW(lowered.data(), static_cast<DWORD>(lowered.size()));
            if (seen.insert(lowered).second) {
                withoutDuplicates.append(line).append("\r\n");
            } else {
                duplicates.push_back(L"Duplicate " + parsed->Decode(line));
            }
        }
        const std::string bom(parsed->Bom());
        playlist = folder / name;
        WriteBytes(playlist, original);
        DeleteFileW((playlist + L"_backup").c_str());
        ASSERT_EQ(Run(RemoveTagInfo), RunOutcome::Done);
        const std::string rewritten = withoutTags.empty() ? "" : bom + withoutTags;
        EXPECT_EQ(ReadBytes(playlist), rewritten);
        // A playlist that needed no change got no backup.
        EXPECT_EQ(ReadBytes(playlist + L"_backup"), rewritten == original ? "<cannot open>" : original);
        WriteBytes(playlist, original);
        ASSERT_EQ(Run(StripDuplicates), RunOutcome::Done);
        EXPECT_EQ(ReadBytes(playlist), withoutDuplicates.empty() ? "" : bom + withoutDuplicates);
        EXPECT_EQ(host.log, duplicates);
        if (name == L"playlist-maker-library-34k-lines.m3u") {
            EXPECT_EQ(host.log.size(), 6u);
        }
    }
    EXPECT_EQ(files_seen, 27);
}

}  // namespace
}  // namespace tallowmere::playlist
