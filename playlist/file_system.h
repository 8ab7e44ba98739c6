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
// Some network and virtual-machine file systems give every file the index 0 (or all ones):
// such an identity is unknown, and equal to nothing, itself included.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t indexHigh = 0;  // the upper half of a 128-bit file id (ReFS); 0 on NTFS
    std::uint64_t indexLow = 0;
    bool Known() const {
        return (indexHigh != 0 || indexLow != 0) && (indexHigh != ~0ull || indexLow != ~0ull);
    }
    friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
        return a.Known() && b.Known() && a.volume == b.volume && a.indexHigh == b.indexHigh &&
               a.indexLow == b.indexLow;
    }
};

// What tells whether a file is still the one that was read: its identity, length and last
// write time. Where the file system gives no usable identity, length and last write alone.
struct FileStamp {
    FileIdentity identity;
    std::uint64_t length = 0;
    std::uint64_t lastWrite = 0;  // FILETIME ticks
    friend bool operator==(const FileStamp& a, const FileStamp& b) {
        const bool sameFile = a.identity.Known() || b.identity.Known() ? a.identity == b.identity : true;
        return sameFile && a.length == b.length && a.lastWrite == b.lastWrite;
    }
};

// What a path names.
enum class PathKind { Missing, File, Folder, Link };

// Which step of CommitWithBackup failed.
enum class ReplaceStep { Backup, Replace };

// The answer of a write that found its file no longer the one that was read. Bit 29 marks
// an error code of the program's own, never one of the system's.
inline constexpr ErrorCode kFileChangedMeanwhile = 0x20000000u | 1u;
// CopyIntoPlace's answer when it was told to stop.
inline constexpr ErrorCode kCopyStopped = 0x20000000u | 2u;

// The longest file name the file systems hold (NTFS, FAT's long names, ext4 in bytes).
inline constexpr std::size_t kLongestFileName = 255;

// New content for a file, written and flushed under a temporary name beside it, waiting to be
// put in its place (or thrown away). Lets a run write everything it will change before it
// changes anything.
struct PendingReplacement {
    std::wstring target;     // the file it replaces (a link's target)
    std::wstring temporary;  // where the content waits; empty once put in place or thrown away
    std::string content;     // file systems without temporary files keep the bytes here
};

// One name in a folder listing.
struct FolderEntry {
    std::wstring_view name;     // valid during the call that hands it out
    bool folder = false;
    bool reparsePoint = false;  // a junction, symbolic link or other reparse point
};

// One name in a folder listed with identities.
struct FolderEntryIdentity {
    std::wstring_view name;       // valid during the call that hands it out
    std::wstring_view shortName;  // its 8.3 name; empty when it has none
    FileIdentity identity;        // a reparse point's own, not its target's
    bool folder = false;
    bool reparsePoint = false;
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

    // Copies a file to a new temporary file in to's folder and, once the copy is whole, renames
    // it in place of to (replacing a file there). On failure to is exactly what it was and no
    // temporary file is left behind. stop (when given) is asked between the pieces of a long
    // copy; when it answers yes the copy is abandoned (kCopyStopped).
    virtual ErrorCode CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                                    const std::function<bool()>& stop = {}) = 0;

    // Writes bytes to a new temporary file in path's folder and renames it in place of path
    // (replacing a file there, or a link, never the link's target), not waiting for the disk
    // first: for a file of the program's own beside copies made the same way. On failure path
    // is exactly what it was and no temporary file is left behind.
    virtual ErrorCode WriteIntoPlace(const std::wstring& path, std::string_view bytes) = 0;

    // Makes one folder; fails when it exists or cannot be made.
    virtual ErrorCode MakeFolder(const std::wstring& path) = 0;

    // Reads a whole file. *stamp (when given) is the file's stamp taken through the handle
    // that read it, before the first byte: a change made while reading shows in a later stamp.
    virtual ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes,
                                    FileStamp* stamp = nullptr) = 0;

    // Writes bytes to a short-named temporary file beside the file that path finally names
    // (a link is followed, and stays a link) and flushes it, to be put in its place by
    // CommitWithBackup; on failure nothing is left behind and pending holds nothing. Discard
    // removes a pending file that is not to be put in place.
    virtual ErrorCode PrepareReplacement(const std::wstring& path, std::string_view bytes,
                                         PendingReplacement& pending) = 0;
    virtual void DiscardReplacement(PendingReplacement& pending) = 0;

    // Whether a volume root ("E:\", "\\server\share\") can be reached at all.
    virtual bool VolumeReachable(const std::wstring& root) = 0;

    // The identity of the file or folder that path finally names (links followed); nullopt
    // (and *error set when given) when it cannot be opened to ask.
    virtual std::optional<FileIdentity> IdentityOf(const std::wstring& path,
                                                   ErrorCode* error = nullptr) = 0;

    // The file index of the file or folder that path finally names, without its volume: a
    // cheaper question than IdentityOf where the volume costs a request of its own. Equal
    // indexes mean the same file only when the identities agree.
    virtual std::optional<std::uint64_t> FileIndexOf(const std::wstring& path) = 0;

    // Hands every name in folder (a path with or without its trailing backslash) to visit,
    // "." and ".." left out, in the order the file system gives them. An error when the
    // folder cannot be listed (nothing is handed out then).
    virtual ErrorCode ListFolder(const std::wstring& folder,
                                 const std::function<void(const FolderEntry&)>& visit) = 0;

    // Puts pending in place of its file and the file's old content in place of backupPath,
    // provided the file still carries expected: the old content first gets a second name
    // beside backupPath (a hard link where the volume has them, else a flushed copy), which
    // then takes backupPath's place, and pending takes the file's. Each is a rename over the
    // old name, so at every moment each name holds a whole content, even if the process is
    // killed; the file keeps its attributes (and, on Windows, its security). When the file
    // cannot be put in place (or changed meanwhile) the previous backup is put back, so the
    // two change together. *failedAt tells which step failed. kFileChangedMeanwhile when the
    // file no longer carries expected.
    virtual ErrorCode CommitWithBackup(PendingReplacement& pending, const std::wstring& backupPath,
                                       const FileStamp& expected, ReplaceStep& failedAt) = 0;

    // Puts backupPath's content in place of the file that path finally names (a link stays a
    // link) and that file's content in place of backupPath, provided both still carry their
    // stamps: each content keeps a name at every moment. On failure both are as they were.
    virtual ErrorCode SwapWithBackup(const std::wstring& path, const std::wstring& backupPath,
                                     const FileStamp& pathStamp, const FileStamp& backupStamp) = 0;

    // What path names, not following a link at its end.
    virtual PathKind KindOf(const std::wstring& path) = 0;

    // ListFolder with each name's identity and short name, all from the one listing: no file
    // is opened. An error (and nothing handed out) when the folder cannot be listed so; the
    // caller then asks IdentityOf name by name.
    virtual ErrorCode ListFolderIdentities(const std::wstring& folder,
                                           const std::function<void(const FolderEntryIdentity&)>& visit) = 0;

    // Identity, length and last write time of the file that path finally names.
    virtual std::optional<FileStamp> StampOf(const std::wstring& path, ErrorCode* error = nullptr) = 0;

    // How many of the questions above (FileLength, ListFolder) may be asked at once from
    // other threads than the caller's: 1 for an implementation that is not safe for that.
    virtual unsigned ParallelQueries() const { return 1; }
};

}  // namespace tallowmere::playlist
