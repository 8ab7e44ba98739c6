// Win32 platform services: thin wrappers that keep each call's failure as a Win32 error code.
#include "shell/platform.h"

#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tallowmere::shell {

namespace {

DWORD LastErrorOr(DWORD fallback) {
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code : fallback;
}

bool InformationOfHandle(HANDLE handle, FileInformation& result) {
    // The 128-bit id and its volume, the length and the times, each a plain question about the
    // file. GetFileInformationByHandle would also ask the volume for its serial number, which
    // under Wine is a request to the mount manager of its own (a millisecond or more), on every
    // check of a playlist's stamp.
    FILE_ID_INFO id{};
    FILE_BASIC_INFO basic{};
    FILE_STANDARD_INFO standard{};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) &&
        GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
        GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
        std::uint64_t low = 0, high = 0;
        static_assert(sizeof id.FileId.Identifier == 16);
        memcpy(&low, id.FileId.Identifier, 8);
        memcpy(&high, id.FileId.Identifier + 8, 8);
        if (low != 0 || high != 0) {
            result.volume = id.VolumeSerialNumber;
            result.indexLow = low;
            result.indexHigh = high;
            result.length = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
            result.lastWrite = static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart);
            result.folder = standard.Directory != FALSE;
            return true;
        }
    }
    // Systems without 128-bit ids (or file systems that give none): the classic question.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info)) return false;
    result.volume = info.dwVolumeSerialNumber;
    result.indexLow = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    result.indexHigh = 0;
    result.length = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    result.lastWrite = (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                       info.ftLastWriteTime.dwLowDateTime;
    result.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

// Below this length no path needs the "\\?\" form: MAX_PATH less the 8.3 name that
// CreateDirectoryW keeps room for.
constexpr std::size_t kShortPathLimit = MAX_PATH - 12;

bool IsDrivePath(const std::wstring& path) {
    return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

}  // namespace

std::optional<std::uint64_t> FileLength(const std::wstring& path, DWORD* error) {
    // Attributes rather than opening the file: the length can be read even while another
    // program holds the file open without sharing.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    DWORD code = ERROR_SUCCESS;
    if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data)) {
        code = LastErrorOr(ERROR_FILE_NOT_FOUND);
    } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        code = ERROR_FILE_NOT_FOUND;  // no file of that name, only a folder
    }
    if (code != ERROR_SUCCESS) {
        if (error) *error = code;
        return std::nullopt;
    }
    if (error) *error = ERROR_SUCCESS;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::uint64_t> FileIndexOf(const std::wstring& path) {
    const UniqueHandle handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) return std::nullopt;
    // FileInternalInformation: the index NTFS (and Wine) keep for the file, nothing more.
    constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
    IO_STATUS_BLOCK status{};
    LARGE_INTEGER index{};
    if (NtQueryInformationFile(handle.get(), &status, &index, sizeof index, kFileInternalInformation) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(index.QuadPart);
}

std::optional<FileInformation> FileInformationOf(const std::wstring& path, DWORD* error) {
    // FILE_READ_ATTRIBUTES only, every sharing mode: asking never disturbs another program.
    // FILE_FLAG_BACKUP_SEMANTICS lets folders be opened too.
    const UniqueHandle handle(CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FileInformation result;
    if (!handle.valid() || !InformationOfHandle(handle.get(), result)) {
        if (error) *error = LastErrorOr(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    if (error) *error = ERROR_SUCCESS;
    return result;
}

DWORD ListFolderFileIds(const std::wstring& folder, std::uint64_t* volume,
                        const std::function<void(const FolderFileId&)>& visit) {
    const UniqueHandle handle(CreateFileW(LongPathForm(folder).c_str(), FILE_LIST_DIRECTORY,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FileInformation self;
    if (!handle.valid() || !InformationOfHandle(handle.get(), self)) return LastErrorOr(ERROR_PATH_NOT_FOUND);
    if (!self.folder) return ERROR_DIRECTORY;
    if (self.indexHigh != 0) return ERROR_NOT_SUPPORTED;
    *volume = self.volume;
    // 64 KB per request: a few hundred names at a time.
    std::vector<std::uint64_t> buffer(8 * 1024);
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;; kind = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(handle.get(), kind, buffer.data(),
                                          static_cast<DWORD>(buffer.size() * sizeof buffer[0]))) {
            const DWORD error = GetLastError();
            return error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : LastErrorOr(ERROR_READ_FAULT);
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
            if (name != L"." && name != L"..") {
                visit({name, std::wstring_view(entry->ShortName, entry->ShortNameLength / sizeof(WCHAR)),
                       static_cast<std::uint64_t>(entry->FileId.QuadPart),
                       (entry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       (entry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
            }
            if (entry->NextEntryOffset == 0) break;
            bytes += entry->NextEntryOffset;
        }
    }
}

std::wstring LongPathForm(const std::wstring& path) {
    if (path.size() < kShortPathLimit || path.starts_with(L"\\\\?\\") ||
        path.starts_with(L"\\\\.\\")) {
        return path;
    }
    const bool unc = path.starts_with(L"\\\\") || path.starts_with(L"//");
    if (!IsDrivePath(path) && !unc) return path;
    // "\\?\" turns off the system's own clean-up of the path: do it first.
    const std::wstring full = FullPath(path);
    if (unc) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::optional<std::wstring> FinalPathOf(const std::wstring& path, DWORD* error) {
    const UniqueHandle handle(CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) {
        if (error) *error = LastErrorOr(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle.get(), final.data(),
                                                       static_cast<DWORD>(final.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            if (error) *error = LastErrorOr(ERROR_GEN_FAILURE);
            return std::nullopt;
        }
        if (length < final.size()) {
            final.resize(length);
            break;
        }
        final.resize(length + 1);  // the length asked for, its terminator included
    }
    if (error) *error = ERROR_SUCCESS;
    return final;
}

bool PathTaken(const std::wstring& path) {
    return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(LongPathForm(from).c_str(), LongPathForm(to).c_str(), /*bFailIfExists=*/FALSE) ? ERROR_SUCCESS
                                                                        : LastErrorOr(ERROR_GEN_FAILURE);
}

DWORD RenameFileNoReplace(const std::wstring& from, const std::wstring& to) {
    // No MOVEFILE_REPLACE_EXISTING and no MOVEFILE_COPY_ALLOWED: a taken name fails, and a
    // rename never turns into a copy.
    return MoveFileExW(LongPathForm(from).c_str(), LongPathForm(to).c_str(), 0) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
}

DWORD MakeOneFolder(const std::wstring& path) {
    return CreateDirectoryW(LongPathForm(path).c_str(), nullptr) ? ERROR_SUCCESS : LastErrorOr(ERROR_GEN_FAILURE);
}

DWORD ReadWholeFile(const std::wstring& path, std::string& bytes, FileInformation* information) {
    bytes.clear();
    UniqueHandle file(CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return LastErrorOr(ERROR_OPEN_FAILED);
    if (information && !InformationOfHandle(file.get(), *information)) return LastErrorOr(ERROR_READ_FAULT);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return LastErrorOr(ERROR_READ_FAULT);
    if (static_cast<std::uint64_t>(size.QuadPart) >= bytes.max_size()) return ERROR_NOT_ENOUGH_MEMORY;
    // One byte more than the size, so reaching the end needs no second, larger buffer.
    bytes.resize(static_cast<size_t>(size.QuadPart) + 1);
    size_t filled = 0;
    // Reads until the end, whatever the size said: the file may change while it is read.
    for (;;) {
        if (filled == bytes.size()) bytes.resize(bytes.size() + 64 * 1024);
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - filled, 1u << 26));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + filled, want, &got, nullptr)) {
            const DWORD error = LastErrorOr(ERROR_READ_FAULT);
            bytes.clear();
            return error;
        }
        if (got == 0) break;
        filled += got;
    }
    bytes.resize(filled);
    return ERROR_SUCCESS;
}

DWORD WriteAllBytes(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 26));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), piece, &written, nullptr)) return LastErrorOr(ERROR_WRITE_FAULT);
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

DWORD WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    UniqueHandle file(CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file.valid()) return LastErrorOr(ERROR_OPEN_FAILED);
    if (const DWORD error = WriteAllBytes(file.get(), bytes)) return error;
    return file.close() ? ERROR_SUCCESS : LastErrorOr(ERROR_WRITE_FAULT);
}

LocalClockTime LocalClockNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wDay, now.wMonth};
}

BoxAnswer ShowMessageBox(HWND owner, std::wstring_view prompt, BoxButtons buttons, BoxIcon icon,
                         std::wstring_view title, UINT extraFlags) {
    UINT flags = buttons == BoxButtons::YesNo ? (MB_YESNO | MB_DEFBUTTON1) : MB_OK;
    switch (icon) {
    case BoxIcon::None: break;
    case BoxIcon::Question: flags |= MB_ICONQUESTION; break;
    case BoxIcon::Critical: flags |= MB_ICONERROR; break;
    }
    const std::wstring promptText(prompt);
    const std::wstring titleText(title.empty() ? std::wstring_view(kApplicationTitle) : title);
    switch (MessageBoxW(owner, promptText.c_str(), titleText.c_str(), flags | extraFlags)) {
    case IDYES: return BoxAnswer::Yes;
    case IDNO: return BoxAnswer::No;
    default: return BoxAnswer::Ok;
    }
}

std::wstring SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) {
        wchar_t fallback[32];
        swprintf(fallback, 32, L"Error 0x%08lX", static_cast<unsigned long>(code));
        text = fallback;
    }
    return text;
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

std::wstring RawCommandLine() {
    const wchar_t* commandLine = GetCommandLineW();
    return commandLine ? commandLine : L"";
}

std::wstring ProgramPath() {
    // Paths may exceed MAX_PATH: grow the buffer until the whole name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring ProgramFolder() {
    const std::wstring path = ProgramPath();
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void LetPendingEventsRun(HWND dialogWindow) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The main loop must still see it and end the program.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (dialogWindow && IsDialogMessageW(dialogWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void EndProgram(UINT exitCode) { ExitProcess(exitCode); }

}  // namespace tallowmere::shell
