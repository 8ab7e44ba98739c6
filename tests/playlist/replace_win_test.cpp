// Putting new content in place on real files under Windows (or Wine): a rename that fails at
// each step, links, long names, a playlist changed by another program during a run, the
// backup, and a disk that fills up.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <functional>
#include <set>
#include <string>

#include "playlist/operations.h"
#include "playlist/run.h"
#include "shell/win_file_system.h"
#include "tests/playlist/real_files_win.h"
#include "tests/playlist/test_support.h"

namespace tallowmere::playlist {
namespace {

using namespace testing;

// Every rename that puts content in place answers with a scripted result: fails, or does it.
class ScriptedRename : public shell::WinFileSystem {
public:
    std::function<ErrorCode(const std::wstring& from, const std::wstring& to)> rename;

protected:
    ErrorCode RenameOver(const std::wstring& from, const std::wstring& to) override {
        return rename ? rename(from, to) : WinFileSystem::RenameOver(from, to);
    }
};

TEST(ReplaceWholeFile, AFailedRenameLeavesTheOldBytesAndNoTemporaryFile) {
    TempFolder folder;
    const std::wstring playlist = folder / L"list.m3u";
    ScriptedRename files;
    for (const ErrorCode code : {ErrorCode{ERROR_ACCESS_DENIED}, ErrorCode{ERROR_SHARING_VIOLATION},
                                 ErrorCode{ERROR_NOT_SUPPORTED}, ErrorCode{ERROR_DISK_FULL}}) {
        SCOPED_TRACE(code);
        WriteBytes(playlist, "old");
        files.rename = [&](const std::wstring& from, const std::wstring&) {
            EXPECT_EQ(ReadBytes(from), "new");
            return code;
        };
        EXPECT_EQ(files.ReplaceWholeFile(playlist, "new"), code);
        EXPECT_EQ(ReadBytes(playlist), "old");
        EXPECT_EQ(folder.Names(), (std::set<std::wstring>{L"list.m3u"}));
    }
}

// A run that writes nothing changes nothing, its backup included: whichever rename fails, the
// playlist and its previous backup stay byte for byte, and no name of the run's own stays.
TEST(ReplaceWholeFile, AFailedFinalReplaceKeepsThePreviousBackup) {
    TempFolder folder;
    const std::wstring playlist = folder / L"list.m3u";
    const std::wstring backup = playlist + L"_backup";
    const std::string original = "#EXTINF:1,A\r\na.mp3\r\n";
    ScriptedRename files;
    struct Case {
        const char* what;
        bool previousBackup;
        int failingRename;  // 1: the old content over the backup, 2: the new content over the playlist
        std::wstring failedFile;
    };
    const Case cases[] = {
        {"the backup's rename fails", true, 1, backup},
        {"the playlist's rename fails after the backup's", true, 2, playlist},
        {"the playlist's rename fails, no backup before", false, 2, playlist},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(playlist, original);
        DeleteFileW(backup.c_str());
        if (c.previousBackup) WriteBytes(backup, "the previous backup\r\n");
        int renames = 0;
        files.rename = [&](const std::wstring& from, const std::wstring& to) -> ErrorCode {
            if (++renames == c.failingRename) return ERROR_SHARING_VIOLATION;
            return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError();
        };
        RecordingHost host;
        EXPECT_EQ(RemoveTagInfo({host, files, L"C:\\"}, playlist), RunOutcome::Failed);
        ASSERT_EQ(host.failures.size(), 1u);
        EXPECT_EQ(host.failures[0].file, c.failedFile);
        EXPECT_EQ(ReadBytes(playlist), original);
        EXPECT_EQ(ReadBytes(backup), c.previousBackup ? "the previous backup\r\n" : "<cannot open>");
        EXPECT_EQ(folder.Names(), c.previousBackup ? (std::set<std::wstring>{L"list.m3u", L"list.m3u_backup"})
                                                   : (std::set<std::wstring>{L"list.m3u"}));
    }

    // A read-only playlist: refused before anything is written.
    files.rename = nullptr;
    WriteBytes(backup, "the previous backup\r\n");
    SetFileAttributesW(playlist.c_str(), FILE_ATTRIBUTE_READONLY);
    RecordingHost host;
    EXPECT_EQ(RemoveTagInfo({host, files, L"C:\\"}, playlist), RunOutcome::Failed);
    SetFileAttributesW(playlist.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(playlist), original);
    EXPECT_EQ(ReadBytes(backup), "the previous backup\r\n");
    EXPECT_EQ(folder.Names(), (std::set<std::wstring>{L"list.m3u", L"list.m3u_backup"}));

    // Once the renames work, the playlist is rewritten, its old content is the backup, and its
    // attributes stay.
    SetFileAttributesW(playlist.c_str(), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(RemoveTagInfo({host, files, L"C:\\"}, playlist), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(playlist), "a.mp3\r\n");
    EXPECT_EQ(ReadBytes(backup), original);
    EXPECT_TRUE(GetFileAttributesW(playlist.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(folder.Names(), (std::set<std::wstring>{L"list.m3u", L"list.m3u_backup"}));
}

TEST(ReplaceWholeFile, TemporaryNameIsShortAndLongNamesAndPathsWork) {
    TempFolder folder;
    // The temporary file's name, seen while it exists.
    ScriptedRename files;
    std::wstring temporaryName;
    files.rename = [&](const std::wstring& from, const std::wstring& to) {
        temporaryName = from.substr(from.find_last_of(L'\\') + 1);
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? ErrorCode{0} : ErrorCode{GetLastError()};
    };
    // A name of 255 characters in a folder deep enough for a full path over 600 characters.
    std::wstring deep = folder.Path();
    for (int level = 0; level < 3; ++level) {
        deep += std::wstring(120, static_cast<wchar_t>(L'a' + level)) + L"\\";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr)) << GetLastError();
    }
    const std::wstring longName = deep + std::wstring(251, L'n') + L".m3u";
    ASSERT_GT(longName.size(), 600u);
    WriteBytes(L"\\\\?\\" + longName, "old");
    EXPECT_EQ(files.ReplaceWholeFile(longName, "new"), 0u);
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + longName), "new");
    EXPECT_LE(temporaryName.size(), 16u);

    // Remove Tag Info on it; its backup's name would be 262 characters: a clear failure
    // before anything is written, the playlist untouched.
    RecordingHost host;
    WriteBytes(L"\\\\?\\" + longName, "#EXTINF:1,A\r\na.mp3\r\n");
    const RunContext context{host, files, L"C:\\"};
    EXPECT_EQ(RemoveTagInfo(context, longName), RunOutcome::Failed);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].doing, L"Could not make the backup copy");
    EXPECT_EQ(host.failures[0].code, 206u);  // ERROR_FILENAME_EXCED_RANGE
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + longName), "#EXTINF:1,A\r\na.mp3\r\n");

    // A name of 248 characters: its backup fits, and both are written.
    const std::wstring fits = deep + std::wstring(244, L'f') + L".m3u";
    WriteBytes(L"\\\\?\\" + fits, "#EXTINF:1,A\r\na.mp3\r\n");
    host = RecordingHost();
    EXPECT_EQ(RemoveTagInfo(context, fits), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + fits), "a.mp3\r\n");
    EXPECT_EQ(ReadBytes(L"\\\\?\\" + fits + L"_backup"), "#EXTINF:1,A\r\na.mp3\r\n");
    EXPECT_TRUE(host.failures.empty());
}

TEST(ReplaceWholeFile, PlaylistThatIsALinkKeepsItsLinkAndTheTargetGetsTheContent) {
    TempFolder folder;
    const std::wstring target = folder / L"real.m3u";
    const std::wstring link = folder / L"link.m3u";
    const std::string original = "#EXTINF:1,A\r\na.mp3\r\n";
    WriteBytes(target, original);
    if (!MakeUnixLink(link, "real.m3u")) GTEST_SKIP() << "no Unix symbolic link can be made here (not Wine)";
    shell::WinFileSystem files;
    RecordingHost host;
    const RunContext context{host, files, L"C:\\"};
    ASSERT_EQ(RemoveTagInfo(context, link), RunOutcome::Done);
    EXPECT_EQ(ReadBytes(target), "a.mp3\r\n");
    EXPECT_EQ(ReadBytes(link), "a.mp3\r\n");
    EXPECT_EQ(ReadBytes(link + L"_backup"), original);  // the backup holds the content
    EXPECT_EQ(folder.Names(), (std::set<std::wstring>{L"link.m3u", L"link.m3u_backup", L"real.m3u"}));
    // Still one file under two names: the link is a link.
    EXPECT_EQ(files.IdentityOf(link), files.IdentityOf(target));
}

// Replaces the playlist, as another program saving it, while the run computes its result.
class ChangedDuringTheRun : public shell::WinFileSystem {
public:
    std::function<void()> meanwhile;
    ErrorCode PrepareReplacement(const std::wstring& path, std::string_view bytes,
                                 PendingReplacement& pending) override {
        if (!path.ends_with(L"_backup") && meanwhile) meanwhile();
        return WinFileSystem::PrepareReplacement(path, bytes, pending);
    }
};

TEST(ReplaceWholeFile, PlaylistChangedOrDeletedByAnotherProgramIsNotOverwritten) {
    TempFolder folder;
    const std::wstring playlist = folder / L"list.m3u";
    const std::string original = "#EXTINF:1,A\r\na.mp3\r\na.mp3\r\n";
    ChangedDuringTheRun files;
    struct Case {
        const char* name;
        std::function<void()> change;
        std::string after;  // what the playlist holds at the end; "<cannot open>" when gone
    };
    const Case cases[] = {
        {"rewritten in place, same length", [&] { WriteBytes(playlist, "#EXTINF:1,B\r\nb.mp3\r\nb.mp3\r\n"); },
         "#EXTINF:1,B\r\nb.mp3\r\nb.mp3\r\n"},
        {"replaced by another file",
         [&] {
             WriteBytes(folder / L"saved.tmp", "other\r\n");
             MoveFileExW((folder / L"saved.tmp").c_str(), playlist.c_str(), MOVEFILE_REPLACE_EXISTING);
         },
         "other\r\n"},
        {"deleted", [&] { DeleteFileW(playlist.c_str()); }, "<cannot open>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingHost host;
        const RunContext run{host, files, L"C:\\"};
        WriteBytes(playlist, original);
        WriteBytes(playlist + L"_backup", "the previous backup\r\n");
        files.meanwhile = [&] {
            Sleep(20);  // a later last-write time even on coarse clocks
            c.change();
        };
        EXPECT_EQ(StripDuplicates(run, playlist), RunOutcome::Failed);
        EXPECT_EQ(ReadBytes(playlist), c.after);
        // Nothing was written: the previous backup changes only together with the playlist.
        EXPECT_EQ(ReadBytes(playlist + L"_backup"), "the previous backup\r\n");
        ASSERT_EQ(host.failures.size(), 1u);
        EXPECT_EQ(host.failures[0].doing, kChangedMeanwhileDoing);
        EXPECT_EQ(host.failures[0].file, playlist);
        EXPECT_FALSE(host.BusyVisible());
        for (const std::wstring& name : folder.Names()) {
            EXPECT_TRUE(name == L"list.m3u" || name == L"list.m3u_backup") << NarrowForMessages(name);
        }
    }
}

// A write that fails halfway, as a full disk does.
class FailingWrite : public shell::WinFileSystem {
protected:
    ErrorCode WriteTemporary(void* file, std::string_view bytes) override {
        WinFileSystem::WriteTemporary(file, bytes.substr(0, bytes.size() / 2));
        return ERROR_DISK_FULL;
    }
};

TEST(ReplaceWholeFile, FailedWriteKeepsThePreviousBackup) {
    TempFolder folder;
    const std::wstring playlist = folder / L"list.m3u";
    WriteBytes(playlist, "#EXTINF:1,A\r\na.mp3\r\n");
    WriteBytes(playlist + L"_backup", "the previous backup\r\n");
    FailingWrite files;
    RecordingHost host;
    EXPECT_EQ(RemoveTagInfo({host, files, L"C:\\"}, playlist), RunOutcome::Failed);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].file, playlist);
    EXPECT_EQ(ReadBytes(playlist + L"_backup"), "the previous backup\r\n");
    EXPECT_EQ(ReadBytes(playlist), "#EXTINF:1,A\r\na.mp3\r\n");
    EXPECT_EQ(folder.Names(), (std::set<std::wstring>{L"list.m3u", L"list.m3u_backup"}));
}

// A folder on the small disk that tests/small_disk.sh mounts for the test, filled so that only
// about `room` bytes stay free.
class SmallDisk {
public:
    static std::optional<std::wstring> Root(std::string& whyNot) {
        const char* root = std::getenv("TALLOWMERE_SMALL_DISK");
        if (root && *root) return std::wstring(root, root + std::strlen(root));
        const char* reason = std::getenv("TALLOWMERE_SMALL_DISK_UNAVAILABLE");
        whyNot = reason ? reason : "TALLOWMERE_SMALL_DISK is not set: run through tests/small_disk.sh";
        return std::nullopt;
    }
    explicit SmallDisk(const std::wstring& root) : folder_(root + L"work\\") {
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    ~SmallDisk() { RemoveTree(folder_); }
    const std::wstring& Folder() const { return folder_; }
    void LeaveFree(std::uint64_t room) {
        DeleteFileW((folder_ + L"filler").c_str());
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(folder_.c_str(), &free, nullptr, nullptr));
        ASSERT_GT(free.QuadPart, room);
        WriteBytes(folder_ + L"filler", std::string(free.QuadPart - room, 'x'));
    }
    std::set<std::wstring> Names() const {
        std::set<std::wstring> names = NamesIn(folder_);
        names.erase(L"filler");
        return names;
    }

private:
    std::wstring folder_;
};

TEST(FullDisk, RewriteBackupNewFileAndWatchCopyLeaveEverythingAsItWas) {
    std::string whyNot;
    const std::optional<std::wstring> root = SmallDisk::Root(whyNot);
    if (!root) GTEST_SKIP() << whyNot;
    SmallDisk disk(*root);
    const std::wstring playlist = disk.Folder() + L"list.m3u";
    const std::wstring backup = playlist + L"_backup";
    std::string original;
    for (int i = 0; i < 12000; ++i) original += "#EXTINF:1,Artist\r\nsong.mp3\r\n";  // 336,000 bytes
    const std::string previousBackup = "the previous backup\r\n";
    shell::WinFileSystem files;

    // Remove Tag Info with freeBytes left on the disk fails on failedFile, and the playlist,
    // its previous backup and the folder stay as they were.
    auto failsLeavingAll = [&](std::size_t freeBytes, const std::wstring& failedFile) {
        disk.LeaveFree(freeBytes);
        RecordingHost host;
        EXPECT_EQ(RemoveTagInfo({host, files, L"C:\\"}, playlist), RunOutcome::Failed);
        ASSERT_EQ(host.failures.size(), 1u);
        EXPECT_EQ(host.failures[0].file, failedFile);
        EXPECT_EQ(host.failures[0].code, static_cast<ErrorCode>(ERROR_DISK_FULL));
        EXPECT_EQ(ReadBytes(playlist), original);
        EXPECT_EQ(ReadBytes(backup), previousBackup);
        EXPECT_EQ(disk.Names(), (std::set<std::wstring>{L"list.m3u", L"list.m3u_backup"}));
    };
    WriteBytes(playlist, original);
    WriteBytes(backup, previousBackup);
    // No room for the rewrite (the backup takes none: it is the old file under a second
    // name): every write comes before any replace, so the playlist and its previous backup
    // both stay.
    failsLeavingAll(100 * 1024, playlist);

    // A new file (Copy to One Folder's new playlist): nothing is left of it.
    disk.LeaveFree(8 * 1024);
    EXPECT_EQ(files.ReplaceWholeFile(disk.Folder() + L"new.m3u", original), static_cast<ErrorCode>(ERROR_DISK_FULL));
    EXPECT_EQ(disk.Names(), (std::set<std::wstring>{L"list.m3u", L"list.m3u_backup"}));

    // Watch mode's copy of the main playlist over its backup.
    WriteBytes(backup, previousBackup);
    disk.LeaveFree(8 * 1024);
    EXPECT_EQ(shell::CopyReplacingAtomically(playlist, backup), static_cast<ErrorCode>(ERROR_DISK_FULL));
    EXPECT_EQ(ReadBytes(backup), previousBackup);
    EXPECT_EQ(ReadBytes(playlist), original);
    EXPECT_EQ(disk.Names(), (std::set<std::wstring>{L"list.m3u", L"list.m3u_backup"}));
}

}  // namespace
}  // namespace tallowmere::playlist
