#pragma once
// Stand-ins for the playlist tests: a host that records what an operation shows and logs, and
// an in-memory file system for the runs that need no real files.
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "playlist/file_system.h"
#include "playlist/operation_host.h"

namespace tallowmere::playlist::testing {

class RecordingHost : public OperationHost {
public:
    std::vector<std::wstring> log;
    std::vector<std::wstring> messages;
    std::vector<std::wstring> summaries;
    std::vector<FileFailure> failures;
    std::vector<bool> busyChanges;
    int logClears = 0;
    int yields = 0;

    bool BusyVisible() const { return !busyChanges.empty() && busyChanges.back(); }

    void ClearLog() override {
        log.clear();
        ++logClears;
    }
    void AppendLog(const std::wstring& line) override { log.push_back(line); }
    std::size_t LogCount() const override { return log.size(); }
    void ShowBusy(bool visible) override { busyChanges.push_back(visible); }
    void SetCaption(const std::wstring&) override {}
    void ShowMessage(const std::wstring& prompt) override { messages.push_back(prompt); }
    void ReportSummary(const std::wstring& summary) override { summaries.push_back(summary); }
    void ReportFailure(const FileFailure& failure) override { failures.push_back(failure); }
    void LetEventsRun() override { ++yields; }
};

// Files and folders in memory; paths compared exactly.
class MemoryFileSystem : public FileSystem {
public:
    std::map<std::wstring, std::string> files;
    std::set<std::wstring> unreachableRoots;
    std::vector<std::wstring> madeFolders;  // every MakeFolder call, in order
    std::vector<std::pair<std::wstring, std::wstring>> copies;

    std::optional<std::uint64_t> FileLength(const std::wstring& path, ErrorCode* error) override {
        const auto file = files.find(path);
        if (file == files.end()) {
            if (error) *error = 2;  // ERROR_FILE_NOT_FOUND
            return std::nullopt;
        }
        return file->second.size();
    }
    ErrorCode CopyReplacing(const std::wstring& from, const std::wstring& to) override {
        copies.emplace_back(from, to);
        const auto file = files.find(from);
        if (file == files.end()) return 2;
        files[to] = file->second;
        return 0;
    }
    ErrorCode CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                            const std::function<bool()>& = {}) override {
        return CopyReplacing(from, to);
    }
    ErrorCode WriteIntoPlace(const std::wstring& path, std::string_view bytes) override {
        files[path] = std::string(bytes);
        return 0;
    }
    ErrorCode MakeFolder(const std::wstring& path) override {
        madeFolders.push_back(path);
        return 0;
    }
    ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes, FileStamp* stamp = nullptr) override {
        const auto file = files.find(path);
        if (file == files.end()) return 2;
        bytes = file->second;
        if (stamp) *stamp = *StampOf(path, nullptr);
        return 0;
    }
    ErrorCode PrepareReplacement(const std::wstring& path, std::string_view bytes,
                                 PendingReplacement& pending) override {
        pending.target = path;
        pending.content = std::string(bytes);
        return 0;
    }
    void DiscardReplacement(PendingReplacement& pending) override { pending.content.clear(); }
    bool VolumeReachable(const std::wstring& root) override {
        return unreachableRoots.count(root) == 0;
    }
    // The files whose path is folder (with its backslash) followed by a name without one;
    // folders are not modelled.
    ErrorCode ListFolder(const std::wstring& folder,
                         const std::function<void(const FolderEntry&)>& visit) override {
        std::wstring prefix = folder;
        if (!prefix.empty() && prefix.back() != L'\\') prefix += L'\\';
        bool any = false;
        for (const auto& [path, bytes] : files) {
            if (!path.starts_with(prefix)) continue;
            const std::wstring_view name = std::wstring_view(path).substr(prefix.size());
            if (name.find(L'\\') != std::wstring_view::npos) continue;
            any = true;
            visit({name, false, false});
        }
        return any ? 0 : 3;  // ERROR_PATH_NOT_FOUND: no file lies in that folder
    }
    ErrorCode CommitWithBackup(PendingReplacement& pending, const std::wstring& backupPath, const FileStamp& expected,
                               ReplaceStep& failedAt) override {
        failedAt = ReplaceStep::Replace;
        if (StampOf(pending.target, nullptr) != expected) return kFileChangedMeanwhile;
        files[backupPath] = files[pending.target];
        files[pending.target] = std::exchange(pending.content, std::string());
        return 0;
    }
    ErrorCode SwapWithBackup(const std::wstring& path, const std::wstring& backupPath, const FileStamp& pathStamp,
                             const FileStamp& backupStamp) override {
        const auto file = files.find(path);
        const auto backup = files.find(backupPath);
        if (file == files.end() || backup == files.end()) return 2;
        if (StampOf(path, nullptr) != pathStamp || StampOf(backupPath, nullptr) != backupStamp) {
            return kFileChangedMeanwhile;
        }
        std::swap(file->second, backup->second);
        return 0;
    }
    PathKind KindOf(const std::wstring& path) override {
        return files.count(path) ? PathKind::File : PathKind::Missing;
    }
    std::optional<std::uint64_t> FileIndexOf(const std::wstring& path) override {
        const std::optional<FileIdentity> identity = IdentityOf(path, nullptr);
        if (!identity) return std::nullopt;
        return identity->indexLow;
    }
    // The same files, each with the identity IdentityOf gives it; no short names.
    ErrorCode ListFolderIdentities(const std::wstring& folder,
                                   const std::function<void(const FolderEntryIdentity&)>& visit) override {
        std::wstring prefix = folder;
        if (!prefix.empty() && prefix.back() != L'\\') prefix += L'\\';
        return ListFolder(folder, [&](const FolderEntry& entry) {
            visit({entry.name, {}, *IdentityOf(prefix + std::wstring(entry.name), nullptr), false, false});
        });
    }
    // A file's identity is its path: the paths here are compared exactly anyway.
    std::optional<FileIdentity> IdentityOf(const std::wstring& path, ErrorCode* error) override {
        const std::optional<FileStamp> stamp = StampOf(path, error);
        if (!stamp) return std::nullopt;
        return stamp->identity;
    }
    std::optional<FileStamp> StampOf(const std::wstring& path, ErrorCode* error) override {
        const auto file = files.find(path);
        if (file == files.end()) {
            if (error) *error = 2;
            return std::nullopt;
        }
        if (error) *error = 0;
        const std::uint64_t index = std::hash<std::wstring>{}(path);
        return FileStamp{{1, 0, index}, file->second.size(), std::hash<std::string>{}(file->second)};
    }
};

}  // namespace tallowmere::playlist::testing
