#pragma once
// The playlist operations' file system on Win32.
#include <vector>

#include "playlist/file_system.h"

namespace tallowmere::shell {

class WinFileSystem : public playlist::FileSystem {
public:
    // A folder has no file length: it answers nullopt (ERROR_FILE_NOT_FOUND), so a folder
    // is never taken for a playlist or a song.
    std::optional<std::uint64_t> FileLength(const std::wstring& path,
                                            playlist::ErrorCode* error = nullptr) override;
    playlist::ErrorCode CopyReplacing(const std::wstring& from, const std::wstring& to) override;
    // The copy is made under a temporary name of its own and renamed into place when whole,
    // so the name never shows a partial file; not flushed, as CopyFileW does not flush.
    playlist::ErrorCode CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                                      const std::function<bool()>& stop = {}) override;
    playlist::ErrorCode WriteIntoPlace(const std::wstring& path, std::string_view bytes) override;
    playlist::ErrorCode MakeFolder(const std::wstring& path) override;
    // Shares reading and writing with other handles; a handle that shares neither makes it
    // fail with ERROR_SHARING_VIOLATION.
    playlist::ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes,
                                      playlist::FileStamp* stamp = nullptr) override;
    // Puts bytes in place of the file that path finally names (or makes it): written and
    // flushed beside it, then renamed over it, provided it still carries expected (when given;
    // else playlist::kFileChangedMeanwhile and nothing written). On failure the file is
    // exactly what it was and no temporary file is left.
    playlist::ErrorCode ReplaceWholeFile(const std::wstring& path, std::string_view bytes,
                                         const playlist::FileStamp* expected = nullptr);
    playlist::ErrorCode PrepareReplacement(const std::wstring& path, std::string_view bytes,
                                           playlist::PendingReplacement& pending) override;
    // Puts a prepared replacement in place (ReplaceWholeFile's second half).
    playlist::ErrorCode CommitReplacement(playlist::PendingReplacement& pending,
                                          const playlist::FileStamp* expected = nullptr);
    void DiscardReplacement(playlist::PendingReplacement& pending) override;
    playlist::ErrorCode CommitWithBackup(playlist::PendingReplacement& pending, const std::wstring& backupPath,
                                         const playlist::FileStamp& expected, playlist::ReplaceStep& failedAt) override;
    playlist::ErrorCode SwapWithBackup(const std::wstring& path, const std::wstring& backupPath,
                                       const playlist::FileStamp& pathStamp,
                                       const playlist::FileStamp& backupStamp) override;
    playlist::PathKind KindOf(const std::wstring& path) override;
    // Never shows the system's "insert a disk" box.
    bool VolumeReachable(const std::wstring& root) override;
    // FindFirstFileExW with the basic information and large fetches: one request for many names.
    playlist::ErrorCode ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) override;
    std::optional<std::uint64_t> FileIndexOf(const std::wstring& path) override;
    // One FileIdBothDirectoryInfo listing through a handle on the folder.
    playlist::ErrorCode ListFolderIdentities(
        const std::wstring& folder, const std::function<void(const playlist::FolderEntryIdentity&)>& visit) override;
    std::optional<playlist::FileIdentity> IdentityOf(const std::wstring& path,
                                                     playlist::ErrorCode* error = nullptr) override;
    std::optional<playlist::FileStamp> StampOf(const std::wstring& path,
                                               playlist::ErrorCode* error = nullptr) override;
    // The calls keep no state of their own; on a network share several requests in flight
    // hide the round trips.
    unsigned ParallelQueries() const override { return kParallelQueries; }
    static constexpr unsigned kParallelQueries = 8;

protected:
    // Writes the new content into the temporary file (a seam for tests that fail it midway).
    virtual playlist::ErrorCode WriteTemporary(void* file, std::string_view bytes);
    // Renames from over to, replacing it, and its error: every step that puts content in
    // place is one such rename (a seam for tests that make one fail).
    virtual playlist::ErrorCode RenameOver(const std::wstring& from, const std::wstring& to);

private:
    bool StillAsRead(const std::wstring& path, const playlist::FileStamp& expected);
    playlist::ErrorCode PutInPlace(const std::wstring& temporaryPath, const std::wstring& target);

    std::vector<char> copyBuffer_;  // CopyIntoPlace's, made at its first copy
};

// Copies from over to as ReplaceWholeFile writes: a temporary copy beside to, flushed, then
// put in place atomically; on failure to is what it was and no temporary file is left. With
// expectedTarget, to must still carry that stamp just before it is replaced, or nothing is
// written and the answer is playlist::kFileChangedMeanwhile.
playlist::ErrorCode CopyReplacingAtomically(const std::wstring& from, const std::wstring& to,
                                            const playlist::FileStamp* expectedTarget = nullptr);

}  // namespace tallowmere::shell
