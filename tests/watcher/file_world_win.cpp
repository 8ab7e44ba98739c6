// A real temporary folder, reached through the program's own Win32 watcher host.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "shell/watch_mode.h"
#include "tests/watcher/file_world.h"

namespace tallowmere::watcher::test {

namespace {

namespace fs = std::filesystem;

class HandleHold : public FileHold {
public:
    explicit HandleHold(const fs::path& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot hold the file open");
    }
    ~HandleHold() override { CloseHandle(handle_); }

private:
    HANDLE handle_;
};

ULONGLONG LastWriteOf(const fs::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        throw std::runtime_error("cannot read a test file's time");
    }
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

void SetLastWrite(const fs::path& path, ULONGLONG ticks) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    const bool set = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &time);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!set) throw std::runtime_error("cannot set a test file's time");
}

class TempFolderWorld : public FileWorld {
public:
    TempFolderWorld() {
        static int serial = 0;
        folder_ = fs::temp_directory_path() /
                  (L"tallowmere-watcher-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                   std::to_wstring(++serial));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    ~TempFolderWorld() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    WatchedFiles Files() const override {
        return {(folder_ / kPlaylistName).wstring(), (folder_ / kBackupName).wstring()};
    }
    void Write(const std::wstring& name, const std::string& bytes) override {
        std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write a test file");
    }
    std::optional<std::string> Read(const std::wstring& name) const override {
        std::ifstream in(folder_ / name, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Remove(const std::wstring& name) override { fs::remove(folder_ / name); }
    void SaveLater(const std::wstring& name, const std::string& bytes) override {
        // Two writes within one tick of the system clock carry the same time: a save a
        // second later is set, as a player's save would come.
        const ULONGLONG before = LastWriteOf(folder_ / name);
        Write(name, bytes);
        SetLastWrite(folder_ / name, before + 10'000'000);
    }
    void ReplaceKeepingTime(const std::wstring& name, const std::string& bytes) override {
        const fs::path other = folder_ / L"other file";
        Write(other.filename().wstring(), bytes);
        SetLastWrite(other, LastWriteOf(folder_ / name));
        if (!MoveFileExW(other.c_str(), (folder_ / name).c_str(), MOVEFILE_REPLACE_EXISTING)) {
            throw std::runtime_error("cannot replace a test file");
        }
    }
    std::vector<std::wstring> Names() const override {
        std::vector<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(folder_))
            names.push_back(entry.path().filename().wstring());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::unique_ptr<FileHold> Hold(const std::wstring& name) override {
        return std::make_unique<HandleHold>(folder_ / name);
    }
    WatcherHost& FileHost() override { return host_; }

private:
    fs::path folder_;
    shell::Win32WatcherHost host_;
};

}  // namespace

std::unique_ptr<FileWorld> FileWorld::Make() { return std::make_unique<TempFolderWorld>(); }

}  // namespace tallowmere::watcher::test
