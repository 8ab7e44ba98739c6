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
