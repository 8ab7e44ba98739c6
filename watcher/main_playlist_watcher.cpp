#include "watcher/main_playlist_watcher.h"

namespace tallowmere::watcher {

WatchedFiles DefaultWatchedFiles() {
    return {L"C:\\Program Files\\Winamp\\winamp.m3u", L"C:\\Program Files\\Winamp\\winamp.m3u.bak"};
}

MainPlaylistWatcher::MainPlaylistWatcher(WatcherHost& host, WatchedFiles files)
    : host_(host), files_(std::move(files)) {}

void MainPlaylistWatcher::tmrWatchFile_Timer() {
    // TODO(watcher): the tick.
}

}  // namespace tallowmere::watcher
