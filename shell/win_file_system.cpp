// Win32 file system for the playlist operations.
//
// New content never goes into a file itself: it is written to a temporary file beside the file
// (beside the file a link points to, so the link stays a link) and flushed, and the temporary
// file then takes the file's name by a rename over it (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING), after taking on the file's attributes, creation time and access
// rights. A rename is atomic: the name holds the old or the new content at every moment, even
// if the process is killed. ReplaceFileW is not used: under Wine it moves the old file aside,
// deletes it and then moves the new one in, so a kill between the steps leaves no file.
//
// A backup is made the same way: the old content gets a second name beside the backup (a hard
// link, which costs no copy, or a flushed copy where the volume has no hard links), which is
// renamed over the backup. The previous backup keeps a name of its own until the playlist is in
// place, so that a replace that fails puts it back.
#include "shell/win_file_system.h"

#include "shell/platform.h"

#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <cwchar>
#include <string_view>
#include <vector>
#include <utility>

namespace tallowmere::shell {
namespace {

using playlist::ErrorCode;

DWORD LastErrorOr(DWORD fallback) {
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code : fallback;
}

// Keeps the system from asking for a disk while it lives.
class NoCriticalErrorBoxes {
public:
    NoCriticalErrorBoxes() {
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
    }
    ~NoCriticalErrorBoxes() { SetThreadErrorMode(previous_, nullptr); }
    NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
    NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

private:
    DWORD previous_ = 0;
};

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Creates a new, empty temporary file beside path under a short name no other file has:
// "~tm", eight hex digits, ".tmp", however long path's own name is.
ErrorCode CreateTemporaryBeside(const std::wstring& path, std::wstring& temporaryPath,
                                UniqueHandle& handle) {
    const std::wstring folder = FolderOf(path);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const auto unique = static_cast<unsigned long>(counter.QuadPart ^ (GetCurrentProcessId() << 20));
    for (unsigned long attempt = 0;; ++attempt) {
        wchar_t name[32];
        std::swprintf(name, std::size(name), L"~tm%08lx.tmp", (unique + attempt * 7919) & 0xFFFFFFFFul);
        temporaryPath = folder + name;
        handle.reset(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (handle.valid()) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 100) {
            return error;
        }
    }
}

// A name in folder for a copy on its way in that no file has yet. The name does not grow with
// the copy's name, so a long song name that fits its folder still gets a temporary name that
// fits.
std::wstring CopyTemporaryName(const std::wstring& folder, unsigned long long stamp, unsigned attempt) {
    wchar_t name[64];
    std::swprintf(name, std::size(name), L"~copying-%lx-%llx-%u.tmp", GetCurrentProcessId(), stamp, attempt);
    return LongPathForm(folder + name);
}

ErrorCode MoveIntoPlace(const std::wstring& temporaryPath, const std::wstring& path) {
    if (MoveFileExW(LongPathForm(temporaryPath).c_str(), LongPathForm(path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return ERROR_SUCCESS;
    }
    return GetLastError();
}

// Whether the file could be replaced now: not read-only, not held open by a handle that
// refuses writing or deleting. Asked before anything is written, so a playlist that cannot be
// replaced costs no temporary file.
ErrorCode CheckReplaceable(const std::wstring& path) {
    // A read-only file is one its owner asked not to change; Wine would rename over it.
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
    const UniqueHandle target(CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (target.valid()) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;  // a new file is fine
}

// Gives the file at target a second name, a new temporary one in the folder of beside: a hard
// link where the volume has them (no copy, and the same file), else a flushed copy (another
// volume, FAT, a share without links).
ErrorCode SecondName(const std::wstring& target, const std::wstring& beside, std::wstring& secondName) {
    const std::wstring folder = FolderOf(beside);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const auto unique = static_cast<unsigned long>(counter.QuadPart ^ (GetCurrentProcessId() << 20));
    for (unsigned long attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[32];
        std::swprintf(name, std::size(name), L"~tm%08lx.tmp", (unique + attempt * 7919) & 0xFFFFFFFFul);
        const std::wstring candidate = folder + name;
        if (CreateHardLinkW(LongPathForm(candidate).c_str(), LongPathForm(target).c_str(), nullptr)) {
            secondName = candidate;
            return ERROR_SUCCESS;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
    }
    UniqueHandle handle;
    std::wstring temporaryPath;
    if (const ErrorCode error = CreateTemporaryBeside(beside, temporaryPath, handle)) return error;
    handle.close();
    ErrorCode error = CopyFileW(LongPathForm(target).c_str(), temporaryPath.c_str(), FALSE) ? ERROR_SUCCESS
                                                                                           : LastErrorOr(ERROR_GEN_FAILURE);
    if (!error) {
        const UniqueHandle copy(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy.valid() || !FlushFileBuffers(copy.get())) error = LastErrorOr(ERROR_WRITE_FAULT);
    }
    if (error) {
        DeleteFileW(temporaryPath.c_str());
        return error;
    }
    secondName = temporaryPath;
    return ERROR_SUCCESS;
}

// What ReplaceFileW keeps of the file it replaces and a rename would not: its attributes
// (hidden, system, archive), its creation time and its access rights. Best effort, as there.
void CopyFileTraits(const std::wstring& from, const std::wstring& to) {
    const std::wstring source = LongPathForm(from);
    std::wstring destination = LongPathForm(to);
    const DWORD attributes = GetFileAttributesW(source.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                         FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        SetFileAttributesW(destination.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
    }
    {
        constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const UniqueHandle in(CreateFileW(source.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        const UniqueHandle out(CreateFileW(destination.c_str(), FILE_WRITE_ATTRIBUTES, kShareAll, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        FILETIME created{};
        if (in.valid() && out.valid() && GetFileTime(in.get(), &created, nullptr, nullptr)) {
            SetFileTime(out.get(), &created, nullptr, nullptr);
        }
    }
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(source.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(descriptor, &control, &revision);
        // Inherited entries are taken from the folder again, as a new file there would get them.
        const SECURITY_INFORMATION which =
            DACL_SECURITY_INFORMATION |
            ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
        SetNamedSecurityInfoW(destination.data(), SE_FILE_OBJECT, which, nullptr, nullptr, dacl, nullptr);
        LocalFree(descriptor);
    }
}

}  // namespace

// The plain calls are the platform's; this class only passes them on.
std::optional<std::uint64_t> WinFileSystem::FileLength(const std::wstring& path,
                                                       ErrorCode* error) {
    DWORD code = ERROR_SUCCESS;
    std::optional<std::uint64_t> length = shell::FileLength(path, &code);
    if (error) *error = code;
    return length;
}

ErrorCode WinFileSystem::CopyReplacing(const std::wstring& from, const std::wstring& to) {
    return CopyFileReplacing(from, to);
}

namespace {

// A new file of this run's own in folder under a temporary name (CREATE_NEW: nothing else is
// ever written), open for writing and for renaming or deleting through the handle.
ErrorCode CreateTemporaryIn(const std::wstring& folder, UniqueHandle& file, std::wstring& temporaryPath) {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    for (unsigned attempt = 0;; ++attempt) {
        temporaryPath = CopyTemporaryName(folder, static_cast<unsigned long long>(counter.QuadPart), attempt);
        file.reset(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid()) return ERROR_SUCCESS;
        const DWORD error = LastErrorOr(ERROR_OPEN_FAILED);
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 100) return error;
    }
}

// Renames a whole temporary file through its handle in place of to, or, when error says it is
// not whole or the rename fails, removes it through the handle. Not flushed first: the name
// changes in the volume's own order, and waiting for the disk on every song costs several
// times the copy itself.
ErrorCode PutTemporaryInPlace(UniqueHandle& file, const std::wstring& temporaryPath, const std::wstring& to,
                              ErrorCode error) {
    if (!error) {
        const std::wstring target = LongPathForm(to);
        std::vector<unsigned char> rename(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(rename.data());
        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
        std::copy(target.begin(), target.end(), info->FileName);
        info->FileName[target.size()] = L'\0';
        if (SetFileInformationByHandle(file.get(), FileRenameInfo, info, static_cast<DWORD>(rename.size()))) {
            return file.close() ? ERROR_SUCCESS : LastErrorOr(ERROR_WRITE_FAULT);
        }
        error = LastErrorOr(ERROR_WRITE_FAULT);
    }
    // Undone: a read-only copy is made writable again so that it can go.
    FILE_BASIC_INFO plain{};
    plain.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(file.get(), FileBasicInfo, &plain, sizeof plain);
    FILE_DISPOSITION_INFO remove{TRUE};
    const bool removedOnClose = SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
    file.close();
    if (!removedOnClose) DeleteFileW(temporaryPath.c_str());
    return error;
}

}  // namespace

ErrorCode WinFileSystem::CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                                       const std::function<bool()>& stop) {
    const NoCriticalErrorBoxes quiet;
    // Shared as CopyFileW shares it: others may read it, nobody writes it meanwhile.
    const UniqueHandle source(CreateFileW(LongPathForm(from).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source.valid()) return LastErrorOr(ERROR_OPEN_FAILED);
    FILE_BASIC_INFO sourceInfo{};
    if (!GetFileInformationByHandleEx(source.get(), FileBasicInfo, &sourceInfo, sizeof sourceInfo)) {
        return LastErrorOr(ERROR_READ_FAULT);
    }
    if (sourceInfo.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_ACCESS_DENIED;
    UniqueHandle copy;
    std::wstring temporaryPath;
    if (const ErrorCode error = CreateTemporaryIn(FolderOf(to), copy, temporaryPath)) return error;

    // Copied, dated and renamed through the one handle: the rename needs no open of its own,
    // and a failure removes the file through it too.
    ErrorCode error = ERROR_SUCCESS;
    if (copyBuffer_.empty()) copyBuffer_.resize(256 * 1024);
    for (;;) {
        // Asked between pieces of 256 KB: a song of a gigabyte still stops at once.
        if (stop && stop()) {
            error = playlist::kCopyStopped;
            break;
        }
        DWORD got = 0;
        if (!ReadFile(source.get(), copyBuffer_.data(), static_cast<DWORD>(copyBuffer_.size()), &got, nullptr)) {
            error = LastErrorOr(ERROR_READ_FAULT);
            break;
        }
        if (got == 0) break;
        if ((error = WriteAllBytes(copy.get(), std::string_view(copyBuffer_.data(), got)))) break;
    }
    if (!error) {
        // The last write time and the plain attributes go with the copy, as CopyFileW's do.
        FILE_BASIC_INFO copyInfo{};
        copyInfo.LastWriteTime = sourceInfo.LastWriteTime;
        copyInfo.FileAttributes = sourceInfo.FileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                               FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
        if (copyInfo.FileAttributes == 0) copyInfo.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        if (!SetFileInformationByHandle(copy.get(), FileBasicInfo, &copyInfo, sizeof copyInfo)) {
            error = LastErrorOr(ERROR_WRITE_FAULT);
        }
    }
    return PutTemporaryInPlace(copy, temporaryPath, to, error);
}

ErrorCode WinFileSystem::WriteIntoPlace(const std::wstring& path, std::string_view bytes) {
    const NoCriticalErrorBoxes quiet;
    UniqueHandle file;
    std::wstring temporaryPath;
    if (const ErrorCode error = CreateTemporaryIn(FolderOf(path), file, temporaryPath)) return error;
    return PutTemporaryInPlace(file, temporaryPath, path, WriteAllBytes(file.get(), bytes));
}

ErrorCode WinFileSystem::MakeFolder(const std::wstring& path) { return MakeOneFolder(path); }

ErrorCode WinFileSystem::ReadWholeFile(const std::wstring& path, std::string& bytes,
                                       playlist::FileStamp* stamp) {
    FileInformation information;
    const ErrorCode error = shell::ReadWholeFile(path, bytes, stamp ? &information : nullptr);
    if (!error && stamp) {
        *stamp = {{information.volume, information.indexHigh, information.indexLow},
                  information.length,
                  information.lastWrite};
    }
    return error;
}

// The stamp of the file at path now, compared with the one it had when it was read. Asked
// through StampOf, as every stamp a run sees is: a file system that gives no file ids (or a
// test's stand-in for one) gives none here either, and the stamps compare without them.
bool WinFileSystem::StillAsRead(const std::wstring& path, const playlist::FileStamp& expected) {
    const std::optional<playlist::FileStamp> now = StampOf(path);
    return now && *now == expected && KindOf(path) != playlist::PathKind::Folder;
}

ErrorCode WinFileSystem::ReplaceWholeFile(const std::wstring& path, std::string_view bytes,
                                          const playlist::FileStamp* expected) {
    playlist::PendingReplacement pending;
    if (const ErrorCode error = PrepareReplacement(path, bytes, pending)) return error;
    // Asked before anything is written too, so a changed file costs no temporary file.
    if (expected && !StillAsRead(pending.target, *expected)) {
        DiscardReplacement(pending);
        return playlist::kFileChangedMeanwhile;
    }
    return CommitReplacement(pending, expected);
}

ErrorCode WinFileSystem::PrepareReplacement(const std::wstring& givenPath, std::string_view bytes,
                                            playlist::PendingReplacement& pending) {
    // A full path, so that the temporary file goes into the file's own folder ("Mix.m3u" may
    // be typed without it). A link is replaced through its target: the content changes, the
    // link stays.
    const std::wstring path = LongPathForm(FullPath(givenPath));
    pending.target = FinalPathOf(path).value_or(path);
    pending.temporary.clear();
    if (const ErrorCode error = CheckReplaceable(pending.target)) return error;
    std::wstring temporaryPath;
    UniqueHandle temporary;
    if (const ErrorCode error = CreateTemporaryBeside(pending.target, temporaryPath, temporary)) return error;
    ErrorCode error = WriteTemporary(temporary.get(), bytes);
    if (!error && !FlushFileBuffers(temporary.get())) error = GetLastError();
    if (!temporary.close() && !error) error = GetLastError();
    if (error) {
        DeleteFileW(temporaryPath.c_str());
        return error;
    }
    pending.temporary = std::move(temporaryPath);
    return ERROR_SUCCESS;
}

ErrorCode WinFileSystem::CommitReplacement(playlist::PendingReplacement& pending,
                                           const playlist::FileStamp* expected) {
    // Asked at the last moment: writing and the run before it may have taken long.
    if (expected && !StillAsRead(pending.target, *expected)) {
        DiscardReplacement(pending);
        return playlist::kFileChangedMeanwhile;
    }
    // PutInPlace removes the temporary file or, where it holds the only copy, keeps it.
    const std::wstring temporaryPath = std::exchange(pending.temporary, std::wstring());
    return PutInPlace(temporaryPath, pending.target);
}

void WinFileSystem::DiscardReplacement(playlist::PendingReplacement& pending) {
    if (pending.temporary.empty()) return;
    DeleteFileW(pending.temporary.c_str());
    pending.temporary.clear();
}

ErrorCode WinFileSystem::PutInPlace(const std::wstring& temporaryPath, const std::wstring& target) {
    if (PathTaken(target)) CopyFileTraits(target, temporaryPath);
    const ErrorCode error = RenameOver(temporaryPath, target);
    if (error) DeleteFileW(temporaryPath.c_str());
    return error;
}

ErrorCode WinFileSystem::RenameOver(const std::wstring& from, const std::wstring& to) {
    return MoveIntoPlace(from, to);
}

ErrorCode WinFileSystem::CommitWithBackup(playlist::PendingReplacement& pending, const std::wstring& givenBackup,
                                          const playlist::FileStamp& expected, playlist::ReplaceStep& failedAt) {
    failedAt = playlist::ReplaceStep::Replace;
    const std::wstring& target = pending.target;
    const std::wstring backupPath = LongPathForm(FullPath(givenBackup));
    // Every name made here goes on every way out but success (and the previous backup's
    // second name then too); DiscardReplacement takes the new content.
    std::wstring oldContent, previousBackup;
    auto fail = [&](ErrorCode error, playlist::ReplaceStep step) {
        if (!oldContent.empty()) DeleteFileW(oldContent.c_str());
        if (!previousBackup.empty()) DeleteFileW(previousBackup.c_str());
        DiscardReplacement(pending);
        failedAt = step;
        return error;
    };
    if (const ErrorCode error = CheckReplaceable(backupPath)) return fail(error, playlist::ReplaceStep::Backup);
    if (PathTaken(backupPath)) {
        if (const ErrorCode error = SecondName(backupPath, backupPath, previousBackup)) {
            return fail(error, playlist::ReplaceStep::Backup);
        }
    }
    // Asked right before the old content gets its second name (which a copy may take long to
    // give), and again right before the new content takes the file's.
    if (!StillAsRead(target, expected)) return fail(playlist::kFileChangedMeanwhile, playlist::ReplaceStep::Replace);
    if (const ErrorCode error = SecondName(target, backupPath, oldContent)) {
        return fail(error, playlist::ReplaceStep::Backup);
    }
    if (const ErrorCode error = RenameOver(oldContent, backupPath)) return fail(error, playlist::ReplaceStep::Backup);
    oldContent.clear();  // it is the backup now
    CopyFileTraits(target, pending.temporary);
    const ErrorCode error =
        StillAsRead(target, expected) ? RenameOver(pending.temporary, target) : playlist::kFileChangedMeanwhile;
    if (error) {
        // The backup changes only together with the playlist: the previous one goes back (or,
        // where there was none, the one just made goes).
        if (previousBackup.empty()) {
            DeleteFileW(backupPath.c_str());
        } else if (RenameOver(previousBackup, backupPath) == ERROR_SUCCESS) {
            previousBackup.clear();
        }
        return fail(error, playlist::ReplaceStep::Replace);
    }
    pending.temporary.clear();
    if (!previousBackup.empty()) DeleteFileW(previousBackup.c_str());
    return ERROR_SUCCESS;
}

ErrorCode WinFileSystem::SwapWithBackup(const std::wstring& givenPath, const std::wstring& givenBackup,
                                        const playlist::FileStamp& pathStamp,
                                        const playlist::FileStamp& backupStamp) {
    // A link is restored through its target: the contents trade places, the link stays.
    const std::wstring path = LongPathForm(FullPath(givenPath));
    const std::wstring target = FinalPathOf(path).value_or(path);
    const std::wstring backupPath = LongPathForm(FullPath(givenBackup));
    if (const ErrorCode error = CheckReplaceable(target)) return error;
    if (const ErrorCode error = CheckReplaceable(backupPath)) return error;
    std::wstring oldPlaylist, backupContent;
    auto cleanUp = [&](ErrorCode error) {
        if (!oldPlaylist.empty()) DeleteFileW(oldPlaylist.c_str());
        if (!backupContent.empty()) DeleteFileW(backupContent.c_str());
        return error;
    };
    if (!StillAsRead(target, pathStamp) || !StillAsRead(backupPath, backupStamp)) {
        return playlist::kFileChangedMeanwhile;
    }
    // Each content gets a second name beside the place it goes to, so that both moves are
    // renames within a folder.
    if (const ErrorCode error = SecondName(target, backupPath, oldPlaylist)) return cleanUp(error);
    if (const ErrorCode error = SecondName(backupPath, target, backupContent)) return cleanUp(error);
    if (!StillAsRead(target, pathStamp) || !StillAsRead(backupPath, backupStamp)) {
        return cleanUp(playlist::kFileChangedMeanwhile);
    }
    CopyFileTraits(target, backupContent);
    if (const ErrorCode error = RenameOver(backupContent, target)) return cleanUp(error);
    backupContent.clear();  // the playlist now; its old content is under oldPlaylist
    if (const ErrorCode error = RenameOver(oldPlaylist, backupPath)) {
        // The playlist's old content goes back where it was; failing that, it keeps its
        // temporary name rather than be lost.
        if (RenameOver(oldPlaylist, target) == ERROR_SUCCESS) oldPlaylist.clear();
        return error;
    }
    return ERROR_SUCCESS;
}

playlist::PathKind WinFileSystem::KindOf(const std::wstring& path) {
    const NoCriticalErrorBoxes quiet;
    const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return playlist::PathKind::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return playlist::PathKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return playlist::PathKind::Folder;
    return playlist::PathKind::File;
}

ErrorCode WinFileSystem::WriteTemporary(void* file, std::string_view bytes) {
    return WriteAllBytes(static_cast<HANDLE>(file), bytes);
}

ErrorCode CopyReplacingAtomically(const std::wstring& from, const std::wstring& to,
                                  const playlist::FileStamp* expectedTarget) {
    std::string bytes;
    if (const ErrorCode error = shell::ReadWholeFile(from, bytes)) return error;
    WinFileSystem files;
    return files.ReplaceWholeFile(to, bytes, expectedTarget);
}

bool WinFileSystem::VolumeReachable(const std::wstring& root) {
    const NoCriticalErrorBoxes quiet;
    const DWORD attributes = GetFileAttributesW(LongPathForm(root).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ErrorCode WinFileSystem::ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) {
    const NoCriticalErrorBoxes quiet;
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW(LongPathForm(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // An empty folder (a root has not even "." and "..") is listed, not failed.
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : (error ? error : ERROR_PATH_NOT_FOUND);
    }
    do {
        const std::wstring_view name(data.cFileName);
        if (name == L"." || name == L"..") continue;
        visit({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
               (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
}

std::optional<std::uint64_t> WinFileSystem::FileIndexOf(const std::wstring& path) {
    const NoCriticalErrorBoxes quiet;
    return shell::FileIndexOf(path);
}

ErrorCode WinFileSystem::ListFolderIdentities(
    const std::wstring& folder, const std::function<void(const playlist::FolderEntryIdentity&)>& visit) {
    const NoCriticalErrorBoxes quiet;
    std::uint64_t volume = 0;
    return ListFolderFileIds(folder, &volume, [&](const FolderFileId& entry) {
        visit({entry.name, entry.shortName, {volume, 0, entry.index}, entry.folder, entry.reparsePoint});
    });
}

std::optional<playlist::FileIdentity> WinFileSystem::IdentityOf(const std::wstring& path,
                                                                ErrorCode* error) {
    const std::optional<playlist::FileStamp> stamp = StampOf(path, error);
    if (!stamp) return std::nullopt;
    return stamp->identity;
}

std::optional<playlist::FileStamp> WinFileSystem::StampOf(const std::wstring& path, ErrorCode* error) {
    const NoCriticalErrorBoxes quiet;
    DWORD code = ERROR_SUCCESS;
    const std::optional<FileInformation> info = FileInformationOf(path, &code);
    if (error) *error = code;
    if (!info) return std::nullopt;
    return playlist::FileStamp{{info->volume, info->indexHigh, info->indexLow}, info->length, info->lastWrite};
}

}  // namespace tallowmere::shell
