#pragma once
// A file system that answers like the real one but writes nothing: reads and length
// queries go through, every write reports success without touching the disk. The run itself
// knows it is a dry run (RunContext::dryRun) and does not even try to put a playlist in
// place; what this stands in for is Copy to One Folder's copies and new playlist.
#include "playlist/file_system.h"

namespace tallowmere::cli {

class DryRunFileSystem final : public playlist::FileSystem {
public:
    explicit DryRunFileSystem(playlist::FileSystem& real) : real_(real) {}

    std::optional<std::uint64_t> FileLength(const std::wstring& path,
                                            playlist::ErrorCode* error) override {
        return real_.FileLength(path, error);
    }
    // A copy would succeed when its source can be read.
    playlist::ErrorCode CopyReplacing(const std::wstring& from, const std::wstring&) override {
        playlist::ErrorCode error = 0;
        return real_.FileLength(from, &error) ? 0 : (error ? error : kFileNotFound);
    }
    playlist::ErrorCode CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                                      const std::function<bool()>& = {}) override {
        return CopyReplacing(from, to);
    }
    playlist::ErrorCode MakeFolder(const std::wstring&) override { return 0; }
    playlist::ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes,
                                      playlist::FileStamp* stamp = nullptr) override {
        return real_.ReadWholeFile(path, bytes, stamp);
    }
    playlist::ErrorCode WriteIntoPlace(const std::wstring&, std::string_view) override { return 0; }
    playlist::ErrorCode PrepareReplacement(const std::wstring& path, std::string_view,
                                           playlist::PendingReplacement& pending) override {
        pending.target = path;
        return 0;
    }
    void DiscardReplacement(playlist::PendingReplacement&) override {}
    playlist::ErrorCode CommitWithBackup(playlist::PendingReplacement&, const std::wstring&, const playlist::FileStamp&,
                                         playlist::ReplaceStep&) override {
        return 0;
    }
    playlist::ErrorCode SwapWithBackup(const std::wstring&, const std::wstring&, const playlist::FileStamp&,
                                       const playlist::FileStamp&) override {
        return 0;
    }
    playlist::PathKind KindOf(const std::wstring& path) override { return real_.KindOf(path); }
    bool VolumeReachable(const std::wstring& root) override { return real_.VolumeReachable(root); }
    playlist::ErrorCode ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) override {
        return real_.ListFolder(folder, visit);
    }
    std::optional<std::uint64_t> FileIndexOf(const std::wstring& path) override { return real_.FileIndexOf(path); }
    playlist::ErrorCode ListFolderIdentities(
        const std::wstring& folder, const std::function<void(const playlist::FolderEntryIdentity&)>& visit) override {
        return real_.ListFolderIdentities(folder, visit);
    }
    std::optional<playlist::FileIdentity> IdentityOf(const std::wstring& path,
                                                     playlist::ErrorCode* error) override {
        return real_.IdentityOf(path, error);
    }
    std::optional<playlist::FileStamp> StampOf(const std::wstring& path, playlist::ErrorCode* error) override {
        return real_.StampOf(path, error);
    }
    unsigned ParallelQueries() const override { return real_.ParallelQueries(); }

private:
    static constexpr playlist::ErrorCode kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
    playlist::FileSystem& real_;
};

}  // namespace tallowmere::cli
