#pragma once
// A file system that answers like the real one but writes nothing: reads and length
// queries go through, every write reports success without touching the disk.
#include "playlist/file_system.h"

namespace tallowmere::shell {

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
    playlist::ErrorCode MakeFolder(const std::wstring&) override { return 0; }
    playlist::ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes) override {
        return real_.ReadWholeFile(path, bytes);
    }
    playlist::ErrorCode ReplaceWholeFile(const std::wstring&, std::string_view) override { return 0; }
    bool VolumeReachable(const std::wstring& root) override { return real_.VolumeReachable(root); }
    playlist::ErrorCode ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) override {
        return real_.ListFolder(folder, visit);
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

}  // namespace tallowmere::shell
