#pragma once
// Watch mode of the main window: the Win32 side of the main playlist watcher.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "watcher/main_playlist_watcher.h"

namespace tallowmere::shell {

// The watcher's host on Win32: real file calls, the local clock, message boxes without a
// visible owner that come to the foreground (watch mode has no window of its own), and
// ending the process. Tests derive from it to script the clock and the boxes.
class Win32WatcherHost : public watcher::WatcherHost {
public:
    // GetFileAttributesExW: works even while the player holds the file open unshared.
    std::optional<std::uint64_t> FileLength(const std::wstring& path) override;
    // Opened for its attributes only, every sharing mode: a file held open still answers.
    std::optional<watcher::FileStamp> StampOf(const std::wstring& path) override;
    // A temporary copy beside to, flushed, then put in place atomically.
    bool CopyReplacing(const std::wstring& from, const std::wstring& to) override;
    // As CopyReplacing; the stamp is compared once the copy is written, just before it
    // takes to's place.
    watcher::GuardedCopyResult CopyReplacingIfStill(const std::wstring& from, const std::wstring& to,
                                                    const watcher::FileStamp& expected) override;
    watcher::RenameResult RenameNoReplace(const std::wstring& from, const std::wstring& to) override;
    watcher::LocalTime Now() override;
    watcher::BoxAnswer ShowBox(const std::wstring& prompt, watcher::BoxButtons buttons,
                               watcher::BoxIcon icon, const std::wstring& title) override;
    void EndProgram() override;
};

// One watcher per user session: a named mutex held for the life of the watcher.
inline constexpr wchar_t kWatcherMutexName[] = L"Local\\Tallowmere.MainPlaylistWatcher";

class SingleWatcherLock {
public:
    explicit SingleWatcherLock(const wchar_t* name = kWatcherMutexName);
    ~SingleWatcherLock();
    SingleWatcherLock(const SingleWatcherLock&) = delete;
    SingleWatcherLock& operator=(const SingleWatcherLock&) = delete;

    // False when another watcher of this session holds the name.
    bool Acquired() const { return acquired_; }

private:
    HANDLE mutex_ = nullptr;
    bool acquired_ = false;
};

// Everything watch mode keeps alive while it runs (owned by frmMain).
class WatchMode {
public:
    WatchMode();
    ~WatchMode();

    // Answers whether the main playlist's length can be read.
    bool CheckFile();
    watcher::MainPlaylistWatcher& Watcher() { return watcher_; }
    bool Acquired() const { return lock_.Acquired(); }

private:
    SingleWatcherLock lock_;
    Win32WatcherHost host_;
    watcher::MainPlaylistWatcher watcher_;
};

}  // namespace tallowmere::shell
