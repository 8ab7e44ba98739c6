#pragma once
// Guards Winamp's main playlist in watch mode. See main_playlist_watcher.cpp for the
// design note. The watcher never touches a window: files, clock, boxes and ending the
// program come through WatcherHost, so tests drive it with real files and scripted answers.
#include <cstdint>
#include <optional>
#include <string>

namespace tallowmere::watcher {

struct LocalTime {
    int hour = 0;   // 0-23
    int day = 1;    // 1-31
    int month = 1;  // 1-12
};

enum class BoxButtons { Ok, YesNo };  // YesNo: Yes is the default button
enum class BoxIcon { None, Question, Critical };
enum class BoxAnswer { Ok, Yes, No };

class WatcherHost {
public:
    virtual ~WatcherHost() = default;
    virtual std::optional<std::uint64_t> FileLength(const std::wstring& path) = 0;
    virtual bool CopyReplacing(const std::wstring& from, const std::wstring& to) = 0;
    // Never replaces: fails when `to` is taken.
    virtual bool RenameNoReplace(const std::wstring& from, const std::wstring& to) = 0;
    virtual bool PathTaken(const std::wstring& path) = 0;
    virtual LocalTime Now() = 0;
    // Empty title: the box carries "Tallowmere".
    virtual BoxAnswer ShowBox(const std::wstring& prompt, BoxButtons buttons, BoxIcon icon,
                              const std::wstring& title) = 0;
    virtual void EndProgram() = 0;
};

struct WatchedFiles {
    std::wstring mainPlaylist;
    std::wstring mainBackup;
};

// "C:\Program Files\Winamp\winamp.m3u" and "...winamp.m3u.bak".
WatchedFiles DefaultWatchedFiles();

class MainPlaylistWatcher {
public:
    MainPlaylistWatcher(WatcherHost& host, WatchedFiles files);

    // One tick of tmrWatchFile (every 5000 ms).
    void tmrWatchFile_Timer();

    int WFFails() const { return WFFails_; }

private:
    WatcherHost& host_;
    WatchedFiles files_;
    std::int16_t WFFails_ = 0;
    bool boxOpen_ = false;
};

}  // namespace tallowmere::watcher
