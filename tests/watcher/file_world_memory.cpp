// The in-memory folder for the native build: the file rules the watcher relies on
// (copy replaces, rename never does, a held file cannot be copied), nothing more.
#include <algorithm>
#include <map>
#include <set>

#include "tests/watcher/file_world.h"

namespace tallowmere::watcher::test {

namespace {

const std::wstring kFolder = L"C:\\Program Files\\Winamp\\";

class MemoryFiles : public WatcherHost {
public:
    std::map<std::wstring, std::string> files;
    std::multiset<std::wstring> held;

    std::optional<std::uint64_t> FileLength(const std::wstring& path) override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second.size();
    }
    bool CopyReplacing(const std::wstring& from, const std::wstring& to) override {
        auto it = files.find(from);
        if (it == files.end() || held.count(from) || held.count(to)) return false;
        files[to] = it->second;
        return true;
    }
    RenameResult RenameNoReplace(const std::wstring& from, const std::wstring& to) override {
        auto it = files.find(from);
        if (it == files.end() || held.count(from)) return RenameResult::Failed;
        if (files.count(to)) return RenameResult::NameTaken;
        files[to] = std::move(it->second);
        files.erase(it);
        return RenameResult::Done;
    }
    LocalTime Now() override { return {}; }
    BoxAnswer ShowBox(const std::wstring&, BoxButtons, BoxIcon, const std::wstring&) override {
        return BoxAnswer::Ok;
    }
    void EndProgram() override {}
};

class MemoryHold : public FileHold {
public:
    MemoryHold(MemoryFiles& files, std::wstring path) : files_(files), path_(std::move(path)) {
        files_.held.insert(path_);
    }
    ~MemoryHold() override { files_.held.erase(files_.held.find(path_)); }

private:
    MemoryFiles& files_;
    std::wstring path_;
};

class MemoryWorld : public FileWorld {
public:
    WatchedFiles Files() const override { return {kFolder + kPlaylistName, kFolder + kBackupName}; }
    void Write(const std::wstring& name, const std::string& bytes) override {
        files_.files[kFolder + name] = bytes;
    }
    std::optional<std::string> Read(const std::wstring& name) const override {
        auto it = files_.files.find(kFolder + name);
        if (it == files_.files.end()) return std::nullopt;
        return it->second;
    }
    void Remove(const std::wstring& name) override { files_.files.erase(kFolder + name); }
    std::vector<std::wstring> Names() const override {
        std::vector<std::wstring> names;
        for (const auto& [path, bytes] : files_.files) names.push_back(path.substr(kFolder.size()));
        std::sort(names.begin(), names.end());
        return names;
    }
    std::unique_ptr<FileHold> Hold(const std::wstring& name) override {
        return std::make_unique<MemoryHold>(files_, kFolder + name);
    }
    WatcherHost& FileHost() override { return files_; }

private:
    MemoryFiles files_;
};

}  // namespace

std::unique_ptr<FileWorld> FileWorld::Make() { return std::make_unique<MemoryWorld>(); }

}  // namespace tallowmere::watcher::test
