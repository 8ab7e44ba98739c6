#pragma once
// Real files for the tests that run under Windows (or Wine): bytes in and out, folder
// listings, and a temporary folder that goes away with everything in it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tallowmere::playlist::testing {

inline std::string NarrowForMessages(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

// The bytes of an ASCII text such as a temporary folder's path: the same in every playlist
// encoding, so tests can expect them without asking the code under test to encode them.
inline std::string AsciiBytes(std::wstring_view text) {
    std::string bytes;
    for (const wchar_t c : text) {
        if (c >= 0x80) ADD_FAILURE() << "not an ASCII path: " << NarrowForMessages(std::wstring(text));
        bytes += static_cast<char>(c);
    }
    return bytes;
}

inline void WriteBytes(const std::wstring& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << NarrowForMessages(path) << " " << GetLastError();
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

inline std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The names in a folder (given with its trailing backslash), without "." and "..".
inline std::set<std::wstring> NamesIn(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

// Removes a folder (given with its trailing backslash) with everything in it, read-only
// files included.
inline void RemoveTree(const std::wstring& folder) {
    for (const std::wstring& name : NamesIn(folder)) {
        const std::wstring path = folder + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path + L"\\");
        } else {
            DeleteFileW(path.c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

// Under Wine, the Unix name of a Windows path; nullopt elsewhere.
inline std::optional<std::string> UnixNameOf(const std::wstring& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) return std::nullopt;
    std::string text(name);
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

// Under Wine, starts a Unix program (its Windows path, such as "Z:\\bin\\ln"), which Wine runs
// as a Unix process, with arguments (bytes as Unix takes them). Its process handle may end
// before the program does: the caller waits for what it does (WaitUntil). False where it
// cannot be started (not Wine).
inline bool RunUnixProgram(const std::wstring& program, const std::vector<std::string>& arguments) {
    if (!UnixNameOf(L"C:\\")) return false;
    std::wstring command = L"\"" + program + L"\"";
    for (const std::string& argument : arguments) {
        command += L" \"";
        for (const char c : argument) {
            if (c == '"') command += L'\\';  // no argument here ends in a backslash
            command += static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        command += L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Asks done() every 20 ms until it answers yes, for at most timeoutMs; its last answer.
template <typename Done>
bool WaitUntil(const Done& done, DWORD timeoutMs = 10000) {
    for (const ULONGLONG start = GetTickCount64(); !done(); Sleep(20)) {
        if (GetTickCount64() - start > timeoutMs) return done();
    }
    return true;
}

// Under Wine, a Unix symbolic link at link to unixTarget (as ln -s takes it: absolute, or
// relative to the link's folder), made by /bin/ln; Wine's own CreateSymbolicLinkW makes
// nothing. False where it cannot be made (not Wine).
inline bool MakeUnixLink(const std::wstring& link, const std::string& unixTarget) {
    const std::optional<std::string> unixLink = UnixNameOf(link);
    if (!unixLink || !RunUnixProgram(L"Z:\\bin\\ln", {"-s", unixTarget, *unixLink})) return false;
    return WaitUntil([&] { return Exists(link); }, 2000);
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& prefix = L"tallowmere-playlist-") {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static unsigned counter = 0;
        path_ = std::wstring(base) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter) + L"\\";
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }
    std::set<std::wstring> Names(const std::wstring& sub = L"") const { return NamesIn(path_ + sub); }

private:
    std::wstring path_;
};

}  // namespace tallowmere::playlist::testing
