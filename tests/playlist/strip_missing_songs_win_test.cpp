// Strip non-existant songs finds out existence one folder at a time; on real files under
// Windows (or Wine) its result must be byte for byte what asking about every entry gives.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/playlist_text.h"
#include "shell/win_file_system.h"
#include "tests/playlist/real_files_win.h"
#include "tests/playlist/test_support.h"

#ifndef TALLOWMERE_CORPUS_DIR
#error TALLOWMERE_CORPUS_DIR must name tests/data/corpus
#endif

namespace tallowmere::playlist {
namespace {

using namespace testing;

// The program's file system, counting its questions; listing refusedFolder fails with
// "access denied", as a folder the user may open files in but not list.
class CountingFileSystem : public shell::WinFileSystem {
public:
    std::atomic<int> listings{0};
    std::atomic<int> lengthQueries{0};
    std::wstring refusedFolder;

    std::optional<std::uint64_t> FileLength(const std::wstring& path, ErrorCode* error) override {
        ++lengthQueries;
        return WinFileSystem::FileLength(path, error);
    }
    ErrorCode ListFolder(const std::wstring& folder,
                         const std::function<void(const FolderEntry&)>& visit) override {
        ++listings;
        if (!refusedFolder.empty() && folder == refusedFolder) return ERROR_ACCESS_DENIED;
        return WinFileSystem::ListFolder(folder, visit);
    }
};

// Every folder refuses to be listed: each entry is asked about on its own, one at a time.
class PerEntryFileSystem : public shell::WinFileSystem {
public:
    ErrorCode ListFolder(const std::wstring&, const std::function<void(const FolderEntry&)>&) override {
        return ERROR_ACCESS_DENIED;
    }
    unsigned ParallelQueries() const override { return 1; }
};

std::string Ansi(const std::wstring& text) { return EncodeText(text, TextEncoding::Ansi).value(); }

class StripPerFolder : public ::testing::Test {
protected:
    TempFolder folder;
    std::wstring playlist = folder / L"Lists\\list.m3u";
    std::wstring music = folder / L"Music\\";

    void SetUp() override {
        CreateDirectoryW((folder / L"Lists").c_str(), nullptr);
        CreateDirectoryW(music.c_str(), nullptr);
    }

    // Runs the operation on bytes through files; gives the playlist written and the log.
    std::pair<std::string, std::vector<std::wstring>> Strip(const std::string& bytes, FileSystem& files) {
        WriteBytes(playlist, bytes);
        RecordingHost host;
        const RunContext context{host, files, L"C:\\Program Files\\Tallowmere"};
        EXPECT_EQ(StripMissingSongs(context, playlist), RunOutcome::Done);
        return {ReadBytes(playlist), host.log};
    }
};

TEST_F(StripPerFolder, SpellingsOfNamesAndFoldersGetTheDirectAnswer) {
    const std::wstring album = music + L"Album\\";
    CreateDirectoryW(album.c_str(), nullptr);
    CreateDirectoryW((album + L"folder.mp3").c_str(), nullptr);
    for (const wchar_t* name : {L"Long Song Name.mp3", L"b.mp3", L"c.mp3"}) WriteBytes(album + name, "x");
    // Gone\ is an album folder removed with all its songs: it is never made.
    wchar_t shortPath[MAX_PATH] = {};
    GetShortPathNameW((album + L"Long Song Name.mp3").c_str(), shortPath, MAX_PATH);
    const std::wstring shortName(FileNamePart(shortPath));
    const bool hasShortName = shortName != L"Long Song Name.mp3" && !shortName.empty();
    if (!hasShortName) std::printf("note: no 8.3 short names on this volume\n");

    const std::string a = Ansi(album);
    const std::string m = Ansi(music);
    std::string lines = "#EXTM3U\r\n" + a + "Long Song Name.mp3\r\n";
    if (hasShortName) lines += a + Ansi(shortName) + "\r\n";
    lines += a + "B.MP3\r\n" +                      // letter case of its own
             a + "b.mp3.\r\n" +                     // a trailing dot the system drops
             a + "missing.mp3\r\n" +                //
             a + "folder.mp3\r\n" +                 // a folder, no file
             m + "Gone\\a.mp3\r\n" + m + "Gone\\b.mp3\r\n" + m + "Gone\\c.mp3\r\n" +
             a + "..\\Album\\c.mp3\r\n" +           // the album by a second spelling
             m + "ALBUM\\c.mp3\r\n" +               // and a third
             "..\\Music\\Album\\b.mp3\r\n";         // relative to the playlist's folder

    CountingFileSystem perFolder;
    const auto [written, log] = Strip(lines, perFolder);
    std::string expected = "#EXTM3U\r\n" + a + "Long Song Name.mp3\r\n";
    if (hasShortName) expected += a + Ansi(shortName) + "\r\n";
    expected += a + "B.MP3\r\n" + a + "b.mp3.\r\n" + a + "..\\Album\\c.mp3\r\n" + m + "ALBUM\\c.mp3\r\n" +
                Ansi(folder / L"Lists\\") + "..\\Music\\Album\\b.mp3\r\n";
    EXPECT_EQ(written, expected);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"Missing: missing.mp3", L"Missing: folder.mp3",
                                              L"Missing: a.mp3", L"Missing: b.mp3", L"Missing: c.mp3"}));
    // Album\ and Gone\ were listed once each; the spellings the listing does not show were
    // asked about, the songs it shows and the songs of the missing folder were not.
    EXPECT_GE(perFolder.listings, 2);
    const int entries = hasShortName ? 12 : 11;
    EXPECT_LT(perFolder.lengthQueries, entries);

    PerEntryFileSystem perEntry;
    EXPECT_EQ(Strip(lines, perEntry), std::make_pair(written, log));
}

TEST_F(StripPerFolder, FolderThatCannotBeListedIsAskedAboutFileByFile) {
    // Under Wine a folder without read permission is still listed for root, so the refusal
    // comes from the file system's wrapper; the songs themselves are real.
    const std::wstring album = music + L"Locked\\";
    CreateDirectoryW(album.c_str(), nullptr);
    WriteBytes(album + L"a.mp3", "x");
    WriteBytes(album + L"b.mp3", "x");
    const std::string a = Ansi(album);
    CountingFileSystem files;
    files.refusedFolder = album;
    const auto [written, log] = Strip(a + "a.mp3\r\n" + a + "gone.mp3\r\n" + a + "b.mp3\r\n", files);
    EXPECT_EQ(written, a + "a.mp3\r\n" + a + "b.mp3\r\n");
    EXPECT_EQ(log, std::vector<std::wstring>{L"Missing: gone.mp3"});
    EXPECT_EQ(files.listings, 1);
    EXPECT_GE(files.lengthQueries, 3 + 1);  // each song, and the playlist's own path test
}

std::wstring CorpusFolder() {
    std::string folder = TALLOWMERE_CORPUS_DIR;
    std::wstring wide(folder.begin(), folder.end());
    for (wchar_t& c : wide) c = c == L'/' ? L'\\' : c;
    return wide.starts_with(L"\\") ? L"Z:" + wide + L"\\" : wide + L"\\";
}

// Every corpus playlist beside a tree that holds two of every three of its relative songs:
// the per-folder run writes and logs exactly what the per-entry run does.
TEST_F(StripPerFolder, CorpusMatchesThePerEntryAnswer) {
    const std::wstring corpus = CorpusFolder();
    int compared = 0;
    int listings = 0;
    for (const std::wstring& name : NamesIn(corpus)) {
        if (!name.ends_with(L".m3u") && !name.ends_with(L".m3u8")) continue;
        SCOPED_TRACE(NarrowForMessages(name));
        const std::string original = ReadBytes(corpus + name);
        const auto parsed = ParsePlaylist(original, name);
        if (!parsed) continue;
        TempFolder tree;
        playlist = tree / name;
        shell::WinFileSystem files;
        int entry = 0, made = 0;
        for (const std::string_view line : SplitLines(parsed->Body())) {
            if (ClassifyLine(line) != LineKind::Entry || made >= 1500) continue;
            const std::wstring song = parsed->Decode(line);
            if (FormOf(song) != EntryForm::Relative ||
                song.find_first_of(L":*?\"<>|") != std::wstring::npos || ++entry % 3 == 0) {
                continue;
            }
            CreatePathTree(files, tree.Path() + song);
            const HANDLE file = CreateFileW((tree.Path() + song).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file), ++made;
        }
        CountingFileSystem perFolder;
        const auto byFolder = Strip(original, perFolder);
        PerEntryFileSystem perEntry;
        EXPECT_EQ(Strip(original, perEntry), byFolder);
        listings += perFolder.listings;
        ++compared;
    }
    EXPECT_EQ(compared, 26);
    EXPECT_GT(listings, 20) << "the folders were listed, not only asked about file by file";
}

}  // namespace
}  // namespace tallowmere::playlist
