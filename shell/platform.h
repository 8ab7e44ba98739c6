#pragma once
// Win32 platform services the program relies on: files, message boxes, system error text,
// the command line, the program's folder, the local clock, letting pending window events run,
// ending the program. File services return the Win32 error code (ERROR_SUCCESS when they
// worked) so callers keep failures as data and turn them into text only at the edge.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tallowmere::shell {

inline constexpr wchar_t kApplicationTitle[] = L"Tallowmere";

// Owns a kernel handle (files); closes it once.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (valid()) CloseHandle(handle_);
        handle_ = handle;
    }
    // Closes now and says whether that worked: closing a written file can be where a
    // write fails. True when nothing was open.
    bool close() {
        if (!valid()) return true;
        return CloseHandle(release()) != FALSE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// ---- files ------------------------------------------------------------------------------

// Length in bytes of a file, read from its attributes: works even while another program holds
// the file open without sharing. nullopt (and *error set when given) when the file or its
// folder is missing or cannot be reached; a folder is no file and answers
// ERROR_FILE_NOT_FOUND, so it is never taken for a playlist or a song.
std::optional<std::uint64_t> FileLength(const std::wstring& path, DWORD* error = nullptr);

// Identity (volume serial number and file index), length and last write time of the file or
// folder that path finally names, links followed. Opened with no access to its content, so a
// file another program holds open without sharing still answers.
struct FileInformation {
    std::uint64_t volume = 0;
    std::uint64_t indexHigh = 0;
    std::uint64_t indexLow = 0;
    std::uint64_t length = 0;
    std::uint64_t lastWrite = 0;  // FILETIME ticks
    bool folder = false;
};
std::optional<FileInformation> FileInformationOf(const std::wstring& path, DWORD* error = nullptr);

// One name of a folder listed with identities: its file index and its short (8.3) name, empty
// when it has none. A reparse point's index is the link's own, not its target's.
struct FolderFileId {
    std::wstring_view name;
    std::wstring_view shortName;
    std::uint64_t index = 0;
    bool folder = false;
    bool reparsePoint = false;
};
// Lists folder ("." and ".." left out) through one handle, the file indexes coming with the
// names, so identities cost no open per file. *volume is the folder's volume as
// FileInformationOf gives it. ERROR_NOT_SUPPORTED on volumes whose file ids are longer than
// 64 bits (ReFS): their listing ids are not the ones FileInformationOf gives.
DWORD ListFolderFileIds(const std::wstring& folder, std::uint64_t* volume,
                        const std::function<void(const FolderFileId&)>& visit);

// The form of path that the file calls take whatever its length: a full path of MAX_PATH
// characters or more gets the "\\?\" form ("\\?\C:\...", "\\?\UNC\server\share\...")
// after its "." and ".." steps are resolved, so paths up to 32,767 characters work without
// the system's long-path setting. Shorter paths, relative ones and ones already in a
// "\\?\" or "\\.\" form are returned as they are. Every file service here passes its
// paths through it.
std::wstring LongPathForm(const std::wstring& path);

// The path of the file that path finally names, links followed, in the "\\?\" form the
// system gives (GetFinalPathNameByHandleW); nullopt (and *error) when it cannot be opened.
std::optional<std::wstring> FinalPathOf(const std::wstring& path, DWORD* error = nullptr);

// The file index alone (no volume) of the file or folder that path finally names: about a
// quarter of the cost of FileInformationOf under Wine, where asking the volume's serial number
// is a round trip to the mount manager.
std::optional<std::uint64_t> FileIndexOf(const std::wstring& path);

// Whether anything (file or folder) exists under path.
bool PathTaken(const std::wstring& path);

// Copies a file, replacing an existing destination.
DWORD CopyFileReplacing(const std::wstring& from, const std::wstring& to);

// Renames (moves on the same volume) a file; never replaces: fails with
// ERROR_ALREADY_EXISTS when `to` is taken.
DWORD RenameFileNoReplace(const std::wstring& from, const std::wstring& to);

// Makes one folder (not its parents); fails with ERROR_ALREADY_EXISTS when it exists.
DWORD MakeOneFolder(const std::wstring& path);

// Reads a whole file into bytes (replacing what bytes held), up to its end whatever its size
// said when opened. Shares reading and writing with other handles; a handle that shares
// neither makes it fail with ERROR_SHARING_VIOLATION. *information (when given) is taken
// through the same handle before the first byte is read.
DWORD ReadWholeFile(const std::wstring& path, std::string& bytes,
                    FileInformation* information = nullptr);

// Writes all of bytes to an open file; a write that makes no progress fails
// (ERROR_WRITE_FAULT) rather than being tried forever.
DWORD WriteAllBytes(HANDLE file, std::string_view bytes);

// Creates or truncates the file and writes bytes to it.
DWORD WriteWholeFile(const std::wstring& path, std::string_view bytes);

// ---- clock ------------------------------------------------------------------------------

struct LocalClockTime {
    int hour = 0;   // 0-23
    int day = 1;    // 1-31
    int month = 1;  // 1-12
};
LocalClockTime LocalClockNow();

// ---- message boxes and errors -----------------------------------------------------------

enum class BoxButtons { Ok, YesNo };  // YesNo: Yes is the default button
enum class BoxIcon { None, Question, Critical };
enum class BoxAnswer { Ok, Yes, No };

// A modal box. An empty title gives "Tallowmere". extraFlags adds MB_* flags
// (for example MB_SETFOREGROUND for boxes without a visible owner).
BoxAnswer ShowMessageBox(HWND owner, std::wstring_view prompt, BoxButtons buttons, BoxIcon icon,
                         std::wstring_view title = {}, UINT extraFlags = 0);

// The system's description of a Win32 error code (FormatMessageW), without the trailing
// line break; "Error 0x........" when the system has none.
std::wstring SystemErrorText(DWORD code);

// ---- process ----------------------------------------------------------------------------

// The full form of a path (GetFullPathNameW); the path itself when it has none.
std::wstring FullPath(const std::wstring& path);

// The raw command line of the process (GetCommandLineW).
std::wstring RawCommandLine();

// The running executable's full path (empty if the system cannot say).
std::wstring ProgramPath();
// The folder of the running executable, without a trailing backslash.
std::wstring ProgramFolder();

// Handles the window events waiting in the queue, then returns. Messages go through
// IsDialogMessage for dialogWindow when given (Tab between controls). A WM_QUIT met here is
// posted again so the main loop still sees it.
void LetPendingEventsRun(HWND dialogWindow = nullptr);

// Ends the process at once.
[[noreturn]] void EndProgram(UINT exitCode = 0);

}  // namespace tallowmere::shell
