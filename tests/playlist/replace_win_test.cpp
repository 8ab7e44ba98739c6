// Putting new content in place on real files under Windows (or Wine): every way ReplaceFileW
// can fail, links, long names, a playlist changed by another program during a run, the
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

// ReplaceFileW answers with a scripted failure, after leaving the files as the system leaves
// them for that failure.
class ScriptedReplace : public shell::WinFileSystem {
public:
    std::function<ErrorCode(const std::wstring& replaced, const std::wstring& replacement)> replace;

protected:
    ErrorCode ReplaceFileCall(const std::wstring& replaced, const std::wstring& replacement) override {
        return replace(replaced, replacement);
    }
};

// The one file in folder other than those named.
std::wstring OtherFile(const TempFolder& folder, const std::set<std::wstring>& known) {
    std::wstring other;
    for (const std::wstring& name : folder.Names()) {
        if (!known.count(name)) other = name;
    }
    return other;
}

TEST(ReplaceWholeFile, EveryReplaceFailureEndsWithTheOldOrTheNewBytes) {
    TempFolder folder;
    const std::wstring playlist = folder / L"list.m3u";
    ScriptedReplace files;
    struct Case {
        const char* name;
        ErrorCode code;
        std::function<void(const std::wstring&)> leave;  // what the system leaves behind
        ErrorCode result;
        std::string bytes;
        std::set<std::wstring> names;
    };
    const Case cases[] = {
        // Nothing was changed: the temporary file goes.
        {"1175 replaced not removed", ERROR_UNABLE_TO_REMOVE_REPLACED, [](const std::wstring&) {},
         ERROR_UNABLE_TO_REMOVE_REPLACED, "old", {L"list.m3u"}},
        {"access denied", ERROR_ACCESS_DENIED, [](const std::wstring&) {}, ERROR_ACCESS_DENIED, "old",
         {L"list.m3u"}},
        {"sharing violation", ERROR_SHARING_VIOLATION, [](const std::wstring&) {}, ERROR_SHARING_VIOLATION,
         "old", {L"list.m3u"}},
        // The old playlist is gone, the new content under the temporary name: moved in.
        {"1176 replacement not moved", ERROR_UNABLE_TO_MOVE_REPLACEMENT,
         [](const std::wstring& replaced) { DeleteFileW(replaced.c_str()); }, 0, "new", {L"list.m3u"}},
        // The old playlist was moved to another name: the new one is moved in, the other stays.
        {"1177 replaced moved aside", ERROR_UNABLE_TO_MOVE_REPLACEMENT_2,
         [](const std::wstring& replaced) { MoveFileW(replaced.c_str(), (replaced + L".aside").c_str()); }, 0,
         "new", {L"list.m3u", L"list.m3u.aside"}},
        // A volume that cannot replace: a replacing move does it.
        {"not supported", ERROR_NOT_SUPPORTED, [](const std::wstring&) {}, 0, "new", {L"list.m3u"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(playlist, "old");
        files.replace = [&](const std::wstring& replaced, const std::wstring& replacement) {
            EXPECT_EQ(ReadBytes(replacement), "new");
            c.leave(replaced);
            return c.code;
        };
        EXPECT_EQ(files.ReplaceWholeFile(playlist, "new"), c.result);
        EXPECT_EQ(ReadBytes(playlist), c.bytes);
        EXPECT_EQ(folder.Names(), c.names);
        DeleteFileW((playlist + L".aside").c_str());
    }

    // 1176, and the temporary file cannot be moved either: it is the only copy of the new
    // content and stays; nothing is deleted while the playlist does not exist.
    WriteBytes(playlist, "old");
    HANDLE holder = INVALID_HANDLE_VALUE;
    files.replace = [&](const std::wstring& replaced, const std::wstring& replacement) {
        DeleteFileW(replaced.c_str());
        holder = CreateFileW(replacement.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return ErrorCode{ERROR_UNABLE_TO_MOVE_REPLACEMENT};
    };
    EXPECT_EQ(files.ReplaceWholeFile(playlist, "new"), static_cast<ErrorCode>(ERROR_UNABLE_TO_MOVE_REPLACEMENT));
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    CloseHandle(holder);
    EXPECT_FALSE(Exists(playlist));
    const std::wstring kept = OtherFile(folder, {});
    EXPECT_EQ(ReadBytes(folder / kept), "new");
}

TEST(ReplaceWholeFile, TemporaryNameIsShortAndLongNamesAndPathsWork) {
    TempFolder folder;
    // The temporary file's name, seen while it exists.
    ScriptedReplace files;
    std::wstring temporaryName;
    files.replace = [&](const std::wstring& replaced, const std::wstring& replacement) {
        temporaryName = replacement.substr(replacement.find_last_of(L'\\') + 1);
        return ReplaceFileW(replaced.c_str(), replacement.c_str(), nullptr, 0, nullptr, nullptr)
                   ? ErrorCode{0}
                   : ErrorCode{GetLastError()};
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
        WriteBytes(playlist + L"_backup", "an earlier backup\r\n");
        files.meanwhile = [&] {
            Sleep(20);  // a later last-write time even on coarse clocks
            c.change();
        };
        EXPECT_EQ(StripDuplicates(run, playlist), RunOutcome::Failed);
        EXPECT_EQ(ReadBytes(playlist), c.after);
        EXPECT_EQ(ReadBytes(playlist + L"_backup"), "an earlier backup\r\n");  // nothing is written
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

TEST(ReplaceWholeFile, FailedBackupKeepsThePreviousBackup) {
    TempFolder folder;
    const std::wstring playlist = folder / L"list.m3u";
    WriteBytes(playlist, "#EXTINF:1,A\r\na.mp3\r\n");
    WriteBytes(playlist + L"_backup", "the previous backup\r\n");
    FailingWrite files;
    RecordingHost host;
    EXPECT_EQ(RemoveTagInfo({host, files, L"C:\\"}, playlist), RunOutcome::Failed);
    ASSERT_EQ(host.failures.size(), 1u);
    EXPECT_EQ(host.failures[0].file, playlist + L"_backup");
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
    // No room for the backup: it fails.
    failsLeavingAll(100 * 1024, backup);
    // Room for the backup but not for the rewrite: every write comes before any replace, so
    // the playlist and its previous backup both stay.
    failsLeavingAll(original.size() + 40 * 1024, playlist);

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
