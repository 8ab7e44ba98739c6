// The in-memory folder for the native build: the file rules the watcher relies on
// (copy replaces, rename never does, a held file cannot be copied, a new file or a new write
// changes the stamp), nothing more.
#include <algorithm>
#include <map>
#include <set>

#include "tests/watcher/file_world.h"

namespace tallowmere::watcher::test {

namespace {

const std::wstring kFolder = L"C:\\Program Files\\Winamp\\";

struct MemoryFile {
    std::string bytes;
    std::uint64_t index = 0;
    std::uint64_t lastWrite = 0;
};

class MemoryFiles : public WatcherHost {
public:
    std::map<std::wstring, MemoryFile> files;
    std::multiset<std::wstring> held;

    // A new file under path, as a replace leaves it.
    void Create(const std::wstring& path, std::string bytes, std::uint64_t lastWrite) {
        files[path] = {std::move(bytes), ++lastIndex_, lastWrite};
    }
    void WriteInPlace(const std::wstring& path, std::string bytes) {
        auto it = files.find(path);
        if (it == files.end()) {
            Create(path, std::move(bytes), Tick());
            return;
        }
        it->second.bytes = std::move(bytes);
        it->second.lastWrite = Tick();
    }

    std::optional<std::uint64_t> FileLength(const std::wstring& path) override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return it->second.bytes.size();
    }
    std::optional<FileStamp> StampOf(const std::wstring& path) override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return FileStamp{1, FileIndex{0, it->second.index}, it->second.bytes.size(), it->second.lastWrite};
    }
    bool CopyReplacing(const std::wstring& from, const std::wstring& to) override {
        auto it = files.find(from);
        if (it == files.end() || held.count(from) || held.count(to)) return false;
        Create(to, it->second.bytes, Tick());
        return true;
    }
    GuardedCopyResult CopyReplacingIfStill(const std::wstring& from, const std::wstring& to,
                                           const FileStamp& expected) override {
        if (!files.count(from) || held.count(from) || held.count(to)) return GuardedCopyResult::Failed;
        if (StampOf(to) != expected) return GuardedCopyResult::TargetChanged;
        return CopyReplacing(from, to) ? GuardedCopyResult::Done : GuardedCopyResult::Failed;
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

private:
    // Every write gets a later time than the one before.
    std::uint64_t Tick() { return ++clock_; }

    std::uint64_t lastIndex_ = 0;
    std::uint64_t clock_ = 0;
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
        files_.WriteInPlace(kFolder + name, bytes);
    }
    std::optional<std::string> Read(const std::wstring& name) const override {
        auto it = files_.files.find(kFolder + name);
        if (it == files_.files.end()) return std::nullopt;
        return it->second.bytes;
    }
    void Remove(const std::wstring& name) override { files_.files.erase(kFolder + name); }
    void SaveLater(const std::wstring& name, const std::string& bytes) override {
        files_.WriteInPlace(kFolder + name, bytes);
    }
    void ReplaceKeepingTime(const std::wstring& name, const std::string& bytes) override {
        const std::wstring path = kFolder + name;
        files_.Create(path, bytes, files_.files.at(path).lastWrite);
    }
    std::vector<std::wstring> Names() const override {
        std::vector<std::wstring> names;
        for (const auto& [path, file] : files_.files) names.push_back(path.substr(kFolder.size()));
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
