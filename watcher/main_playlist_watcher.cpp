// The main playlist watcher: one tick every 5 s in watch mode.
//
// Design note.
// - The main backup holds the last accepted version of the main playlist. A tick compares
//   the two files by length alone (never by content): equal means nothing to do; a shorter
//   playlist is suspect and the user is asked whether to restore the backup over it; a
//   longer one is accepted silently: the old backup moves to an archive name and a copy of
//   the playlist takes its place.
// - A tick either completes (WFFails back to 0) or fails at its first failing file
//   operation: the rest of the tick is abandoned, nothing done is undone, and WFFails
//   grows. The twelfth failed tick in a row (one minute) shows the shutdown box and ends
//   the program. A missing backup is never recreated here: that would hide the problem
//   the shutdown box reports.
// - Archives never collide: the name carries hour, day and month only, so a second
//   archive in the same hour takes the first free of ".2", ".3"... appended. The rename
//   never replaces a file, so no version is ever lost, and a user who adds songs twice in
//   an hour does not shut the watcher down.
// - The boxes are modal and the timer keeps running while one is open (its modal loop
//   dispatches WM_TIMER). A tick due then is skipped, so there is never a second question
//   about the same change; a skipped tick neither counts as a failure nor completes.
// - A Yes restores only the playlist the question was about. Its stamp (identity, length,
//   last write time) is taken before the question and compared after the Yes, and the copy
//   of the backup is put in place only if the playlist still carries it at the last moment:
//   a playlist the player saved meanwhile, even to the same length, is left for the next
//   tick, and that tick completes.
#include "watcher/main_playlist_watcher.h"

#include <utility>

namespace tallowmere::watcher {

namespace {

constexpr wchar_t kQuestionPrompt[] =
    L"Tallowmere - Main Playlist Watcher\r\n\r\n"
    L"The playlist appears to have been altered, and has decreased in size. "
    L"Would you like to restore the previous version of the playlist?";
constexpr wchar_t kQuestionTitle[] = L"Restore last playlist";
constexpr wchar_t kRestoredPrompt[] = L"Restored successfully";
constexpr wchar_t kBackupUpdatedPrompt[] =
    L"The backup file has been updated to resemble the smaller playlist :)";
constexpr wchar_t kShutdownPrompt[] =
    L"Tallowmere -watchfile\r\n\r\n"
    L"Your playlist, or our local backup of it, has been inaccessible for 1 minute. "
    L"This program will now shutdown";
constexpr wchar_t kShutdownTitle[] = L"Shutdown of Tallowmere";

// Far more archives than one hour can produce; a bound so a host that reports every name
// as taken cannot hold the tick forever.
constexpr int kMaxArchiveAttempts = 10000;

// The backup's path, ".", hour, ".", day, ".", month, no leading zeros; from the second
// attempt on, "." and the attempt number follow (".2", ".3"...).
std::wstring ArchiveName(const std::wstring& mainBackup, const LocalTime& now, int attempt) {
    std::wstring name = mainBackup + L"." + std::to_wstring(now.hour) + L"." +
                        std::to_wstring(now.day) + L"." + std::to_wstring(now.month);
    if (attempt > 1) name += L"." + std::to_wstring(attempt);
    return name;
}

}  // namespace

WatchedFiles DefaultWatchedFiles() {
    return {L"C:\\Program Files\\Winamp\\winamp.m3u", L"C:\\Program Files\\Winamp\\winamp.m3u.bak"};
}

MainPlaylistWatcher::MainPlaylistWatcher(WatcherHost& host, WatchedFiles files)
    : host_(host), files_(std::move(files)) {}

void MainPlaylistWatcher::tmrWatchFile_Timer() {
    if (boxOpen_) return;
    if (CompareAndAct()) {
        WFFails_ = 0;
        return;
    }
    ++WFFails_;
    if (WFFails_ < kFailedTicksBeforeShutdown) return;  // silent until the minute is up
    Ask(kShutdownPrompt, BoxButtons::Ok, BoxIcon::Critical, kShutdownTitle);
    host_.EndProgram();
}

bool MainPlaylistWatcher::CompareAndAct() {
    // The backup first, then the playlist, both times.
    auto backup = host_.FileLength(files_.mainBackup);
    if (!backup) return false;
    auto playlist = host_.FileLength(files_.mainPlaylist);
    if (!playlist) return false;
    if (*playlist == *backup) return true;

    // Read again: the player may still be writing the playlist.
    backup = host_.FileLength(files_.mainBackup);
    if (!backup) return false;
    playlist = host_.FileLength(files_.mainPlaylist);
    if (!playlist) return false;
    if (*playlist < *backup) return Shrunk(*playlist);

    // Grown (or back to equal in between): keep the old backup, refresh it, silently.
    return Archive() && host_.CopyReplacing(files_.mainPlaylist, files_.mainBackup);
}

bool MainPlaylistWatcher::Shrunk(std::uint64_t shrunkLength) {
    const std::optional<FileStamp> asked = host_.StampOf(files_.mainPlaylist);
    if (!asked) return false;
    if (Ask(kQuestionPrompt, BoxButtons::YesNo, BoxIcon::Question, kQuestionTitle) ==
        BoxAnswer::Yes) {
        // A stamp of another length than the one found shorter: the player was writing
        // between the two reads, and the question was not about that playlist.
        if (asked->length != shrunkLength) return true;
        return Restore(*asked);
    }
    if (!Archive() || !host_.CopyReplacing(files_.mainPlaylist, files_.mainBackup)) return false;
    Ask(kBackupUpdatedPrompt, BoxButtons::Ok, BoxIcon::None, {});
    return true;
}

bool MainPlaylistWatcher::Restore(const FileStamp& asked) {
    // The player may have saved the playlist while the question was open, and a save of
    // the same length changes its last write time or its identity: a newer playlist than
    // the one asked about is not overwritten. The next tick decides again.
    const std::optional<FileStamp> now = host_.StampOf(files_.mainPlaylist);
    if (!now) return false;
    if (*now != asked) return true;
    // Checked again as the copy is put in place: the player may save in between.
    switch (host_.CopyReplacingIfStill(files_.mainBackup, files_.mainPlaylist, asked)) {
    case GuardedCopyResult::Done:
        break;
    case GuardedCopyResult::TargetChanged:
        return true;
    case GuardedCopyResult::Failed:
        return false;
    }
    Ask(kRestoredPrompt, BoxButtons::Ok, BoxIcon::None, {});
    return true;
}

bool MainPlaylistWatcher::Archive() {
    const LocalTime now = host_.Now();  // the clock at this moment, after any question
    for (int attempt = 1; attempt <= kMaxArchiveAttempts; ++attempt) {
        switch (host_.RenameNoReplace(files_.mainBackup, ArchiveName(files_.mainBackup, now, attempt))) {
        case RenameResult::Done:
            return true;
        case RenameResult::NameTaken:
            continue;
        case RenameResult::Failed:
            return false;
        }
    }
    return false;
}

BoxAnswer MainPlaylistWatcher::Ask(const std::wstring& prompt, BoxButtons buttons, BoxIcon icon,
                                   const std::wstring& title) {
    // Restored even if the host throws, so a later tick is not skipped for ever.
    struct BoxOpen {
        bool& flag;
        explicit BoxOpen(bool& f) : flag(f) { flag = true; }
        ~BoxOpen() { flag = false; }
    } open(boxOpen_);
    return host_.ShowBox(prompt, buttons, icon, title);
}

}  // namespace tallowmere::watcher
