#pragma once
// The file-system calls the playlist operations make. The Win32 implementation lives in
// shell/; tests wrap it to inject failures, the command-line tool wraps it for --dry-run.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "playlist/operation_host.h"

namespace tallowmere::playlist {

// What makes a file itself, whatever path names it: the volume's serial number and the file's
// index on that volume. Two paths name the same file exactly when their identities are equal;
// short (8.3) names, letter case, "." and ".." steps, mapped drives and links all agree.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t indexHigh = 0;  // the upper half of a 128-bit file id (ReFS); 0 on NTFS
    std::uint64_t indexLow = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// What tells whether a file is still the one that was read: its identity, length and last
// write time.
struct FileStamp {
    FileIdentity identity;
    std::uint64_t length = 0;
    std::uint64_t lastWrite = 0;  // FILETIME ticks
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// One name in a folder listing.
struct FolderEntry {
    std::wstring_view name;     // valid during the call that hands it out
    bool folder = false;
    bool reparsePoint = false;  // a junction, symbolic link or other reparse point
};

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

    // The identity of the file or folder that path finally names (links followed); nullopt
    // (and *error set when given) when it cannot be opened to ask.
    virtual std::optional<FileIdentity> IdentityOf(const std::wstring& path,
                                                   ErrorCode* error = nullptr) = 0;

    // Hands every name in folder (a path with or without its trailing backslash) to visit,
    // "." and ".." left out, in the order the file system gives them. An error when the
    // folder cannot be listed (nothing is handed out then).
    virtual ErrorCode ListFolder(const std::wstring& folder,
                                 const std::function<void(const FolderEntry&)>& visit) = 0;

    // Identity, length and last write time of the file that path finally names.
    virtual std::optional<FileStamp> StampOf(const std::wstring& path, ErrorCode* error = nullptr) = 0;

    // How many of the questions above (FileLength, ListFolder) may be asked at once from
    // other threads than the caller's: 1 for an implementation that is not safe for that.
    virtual unsigned ParallelQueries() const { return 1; }
};

}  // namespace tallowmere::playlist
