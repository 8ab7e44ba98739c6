// Win32 file system for the playlist operations.
//
// ReplaceWholeFile never writes into the playlist itself: the new bytes go to a temporary
// file beside it, are flushed, and the temporary file then takes the playlist's place with
// ReplaceFileW (which keeps the playlist's attributes and security), or with MoveFileExW when
// there is no playlist yet or the volume cannot replace. Whatever fails, the playlist keeps
// its old bytes and the temporary file is deleted.
#include "shell/win_file_system.h"

#include "shell/platform.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace tallowmere::shell {
namespace {

using playlist::ErrorCode;

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

// Creates a new, empty temporary file beside path under a name no other file has.
ErrorCode CreateTemporaryBeside(const std::wstring& path, std::wstring& temporaryPath,
                                UniqueHandle& handle) {
    const std::wstring folder = FolderOf(path);
    const std::wstring name = path.substr(folder.size());
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    for (unsigned attempt = 0;; ++attempt) {
        wchar_t suffix[64];
        std::swprintf(suffix, std::size(suffix), L".%lx-%llx-%u.tmp", GetCurrentProcessId(),
                      static_cast<unsigned long long>(counter.QuadPart), attempt);
        temporaryPath = folder + L"~" + name + suffix;
        handle.reset(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (handle.valid()) return ERROR_SUCCESS;
        const DWORD error = GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 100) {
            return error;
        }
    }
}

ErrorCode MoveIntoPlace(const std::wstring& temporaryPath, const std::wstring& path) {
    if (MoveFileExW(temporaryPath.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return ERROR_SUCCESS;
    }
    return GetLastError();
}

ErrorCode PutInPlace(const std::wstring& temporaryPath, const std::wstring& path) {
    if (ReplaceFileW(path.c_str(), temporaryPath.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    switch (error) {
        case ERROR_FILE_NOT_FOUND:  // no playlist yet: nothing to replace
        case ERROR_CALL_NOT_IMPLEMENTED:
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:  // volumes that cannot replace
        // The playlist was moved aside and the new file not moved in: put the new one there.
        case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
            return MoveIntoPlace(temporaryPath, path);
        default:
            return error;
    }
}

// Whether the playlist could be replaced now: not read-only, not held open by a handle that
// refuses writing or deleting. Asked before anything is written, so a playlist that cannot be
// replaced costs no temporary file (and ReplaceFileW, which under Wine leaves a file of its
// own behind when it fails, is not tried).
ErrorCode CheckReplaceable(const std::wstring& path) {
    const UniqueHandle target(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (target.valid()) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;  // a new file is fine
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

ErrorCode WinFileSystem::MakeFolder(const std::wstring& path) { return MakeOneFolder(path); }

ErrorCode WinFileSystem::ReadWholeFile(const std::wstring& path, std::string& bytes) {
    return shell::ReadWholeFile(path, bytes);
}

ErrorCode WinFileSystem::ReplaceWholeFile(const std::wstring& givenPath, std::string_view bytes) {
    // ReplaceFileW refuses relative names ("Mix.m3u" typed without its folder).
    const std::wstring path = FullPath(givenPath);
    if (const ErrorCode error = CheckReplaceable(path)) return error;
    std::wstring temporaryPath;
    UniqueHandle temporary;
    if (const ErrorCode error = CreateTemporaryBeside(path, temporaryPath, temporary)) return error;
    ErrorCode error = WriteTemporary(temporary.get(), bytes);
    if (!error && !FlushFileBuffers(temporary.get())) error = GetLastError();
    if (!temporary.close() && !error) error = GetLastError();
    if (!error) error = PutInPlace(temporaryPath, path);
    if (error) DeleteFileW(temporaryPath.c_str());
    return error;
}

ErrorCode WinFileSystem::SwapWithBackup(const std::wstring& givenPath, const std::wstring& givenBackup) {
    const std::wstring path = FullPath(givenPath);
    const std::wstring backupPath = FullPath(givenBackup);
    if (const ErrorCode error = CheckReplaceable(path)) return error;
    std::wstring temporaryPath;
    UniqueHandle temporary;
    if (const ErrorCode error = CreateTemporaryBeside(path, temporaryPath, temporary)) return error;
    temporary.close();
    // The backup's content now has a second name; only then does the swap start.
    ErrorCode error = CopyFileW(backupPath.c_str(), temporaryPath.c_str(), FALSE) ? ERROR_SUCCESS : GetLastError();
    if (!error) {
        const UniqueHandle copy(CreateFileW(temporaryPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy.valid() || !FlushFileBuffers(copy.get())) error = GetLastError();
    }
    if (!error && !ReplaceFileW(path.c_str(), temporaryPath.c_str(), backupPath.c_str(),
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        error = GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The old playlist is the backup now; the copy keeps the backup's content under its
            // temporary name until it is in place, and is left there if it cannot be moved.
            return MoveIntoPlace(temporaryPath, path);
        }
    }
    if (error) DeleteFileW(temporaryPath.c_str());
    return error;
}

ErrorCode WinFileSystem::WriteTemporary(void* file, std::string_view bytes) {
    return WriteAllBytes(static_cast<HANDLE>(file), bytes);
}

bool WinFileSystem::VolumeReachable(const std::wstring& root) {
    const NoCriticalErrorBoxes quiet;
    const DWORD attributes = GetFileAttributesW(root.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ErrorCode WinFileSystem::ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) {
    const NoCriticalErrorBoxes quiet;
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
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
