#pragma once
// The file-system calls the playlist operations make. The Win32 implementation lives in
// shell/; tests wrap it to inject failures, the command-line tool wraps it for --dry-run.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "playlist/operation_host.h"

namespace tallowmere::playlist {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Length in bytes of the file at path; nullopt (and *error set when given) when it
    // cannot be read: no such file or folder, malformed path, no access.
    virtual std::optional<std::uint64_t> FileLength(const std::wstring& path,
                                                    ErrorCode* error = nullptr) = 0;

    // Copies a file, replacing an existing destination.
    virtual ErrorCode CopyReplacing(const std::wstring& from, const std::wstring& to) = 0;

    // Makes one folder; fails when it exists or cannot be made.
    virtual ErrorCode MakeFolder(const std::wstring& path) = 0;

    // Reads a whole file.
    virtual ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes) = 0;

    // Writes bytes to a temporary file in path's folder, flushes it, then puts it in
    // place of path (creating path when it does not exist). On failure path is exactly
    // what it was and no temporary file is left behind.
    virtual ErrorCode ReplaceWholeFile(const std::wstring& path, std::string_view bytes) = 0;

    // Whether a volume root ("E:\", "\\server\share\") can be reached at all.
    virtual bool VolumeReachable(const std::wstring& root) = 0;
};

}  // namespace tallowmere::playlist
