#pragma once
// The playlist operations' file system on Win32.
#include "playlist/file_system.h"

namespace tallowmere::shell {

class WinFileSystem : public playlist::FileSystem {
public:
    // A folder has no file length: it answers nullopt (ERROR_FILE_NOT_FOUND), so a folder
    // is never taken for a playlist or a song.
    std::optional<std::uint64_t> FileLength(const std::wstring& path,
                                            playlist::ErrorCode* error = nullptr) override;
    playlist::ErrorCode CopyReplacing(const std::wstring& from, const std::wstring& to) override;
    playlist::ErrorCode MakeFolder(const std::wstring& path) override;
    // Shares reading and writing with other handles; a handle that shares neither makes it
    // fail with ERROR_SHARING_VIOLATION.
    playlist::ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes) override;
    playlist::ErrorCode ReplaceWholeFile(const std::wstring& path, std::string_view bytes) override;
    // Never shows the system's "insert a disk" box.
    bool VolumeReachable(const std::wstring& root) override;
    // FindFirstFileExW with the basic information and large fetches: one request for many names.
    playlist::ErrorCode ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) override;
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
};

}  // namespace tallowmere::shell
