// Watch mode: starting it (one watcher per session, CheckFile, the fresh main backup, the
// timer) and the Win32 host through which the watcher reaches files, clock and boxes.
#include "shell/watch_mode.h"

#include "shell/main_window.h"
#include "shell/platform.h"
#include "shell/win_file_system.h"

namespace tallowmere::shell {

namespace {

// Watch mode has no visible window: every box is unowned (so it gets a taskbar button)
// and raises itself above whatever the user is doing, or it would wait unseen.
// MB_SYSTEMMODAL is, on NT, MB_APPLMODAL plus WS_EX_TOPMOST; Wine honours topmost only
// through it, Windows through either.
constexpr UINT kWatchBoxFlags = MB_SETFOREGROUND | MB_TOPMOST | MB_SYSTEMMODAL;

constexpr wchar_t kCannotWatchTitle[] = L"Cannot Watch File";
constexpr wchar_t kPlaylistMissingPrompt[] = L"Tallowmere\r\n\r\nPlaylist missing";
constexpr wchar_t kAlreadyWatchedPrompt[] =
    L"Tallowmere -watchfile\r\n\r\n"
    L"The main playlist is already being watched by another Tallowmere. This one will now end.";
constexpr wchar_t kAlreadyWatchedTitle[] = L"Already Watching";

constexpr UINT kExitCouldNotWatch = 1;

BoxButtons ToShell(watcher::BoxButtons buttons) {
    return buttons == watcher::BoxButtons::YesNo ? BoxButtons::YesNo : BoxButtons::Ok;
}

BoxIcon ToShell(watcher::BoxIcon icon) {
    switch (icon) {
    case watcher::BoxIcon::Question:
        return BoxIcon::Question;
    case watcher::BoxIcon::Critical:
        return BoxIcon::Critical;
    case watcher::BoxIcon::None:
        break;
    }
    return BoxIcon::None;
}

watcher::BoxAnswer FromShell(BoxAnswer answer) {
    switch (answer) {
    case BoxAnswer::Yes:
        return watcher::BoxAnswer::Yes;
    case BoxAnswer::No:
        return watcher::BoxAnswer::No;
    case BoxAnswer::Ok:
        break;
    }
    return watcher::BoxAnswer::Ok;
}

[[noreturn]] void EndAfterBox(std::wstring_view prompt, BoxIcon icon, std::wstring_view title) {
    ShowMessageBox(nullptr, prompt, BoxButtons::Ok, icon, title, kWatchBoxFlags);
    EndProgram(kExitCouldNotWatch);
}

}  // namespace

// --- Win32WatcherHost ---------------------------------------------------------------

std::optional<std::uint64_t> Win32WatcherHost::FileLength(const std::wstring& path) {
    return shell::FileLength(path);
}

std::optional<watcher::FileStamp> Win32WatcherHost::StampOf(const std::wstring& path) {
    const std::optional<FileInformation> info = FileInformationOf(path);
    if (!info || info->folder) return std::nullopt;
    std::optional<watcher::FileIndex> index;
    if (info->indexHigh != 0 || info->indexLow != 0)
        index = watcher::FileIndex{info->indexHigh, info->indexLow};
    return watcher::FileStamp{info->volume, index, info->length, info->lastWrite};
}

bool Win32WatcherHost::CopyReplacing(const std::wstring& from, const std::wstring& to) {
    // The player may read the main playlist at any moment: it is never seen half written.
    return CopyReplacingAtomically(from, to) == ERROR_SUCCESS;
}

watcher::GuardedCopyResult Win32WatcherHost::CopyReplacingIfStill(const std::wstring& from,
                                                                  const std::wstring& to,
                                                                  const watcher::FileStamp& expected) {
    // A stamp without an index stands for index 0, which the file reports again while it
    // is the same: the replace then compares volume, length and last write time alone.
    const watcher::FileIndex index = expected.index.value_or(watcher::FileIndex{});
    const playlist::FileStamp target{
        {expected.volume, index.high, index.low}, expected.length, expected.lastWrite};
    switch (CopyReplacingAtomically(from, to, &target)) {
    case ERROR_SUCCESS:
        return watcher::GuardedCopyResult::Done;
    case playlist::kFileChangedMeanwhile:
        return watcher::GuardedCopyResult::TargetChanged;
    default:
        return watcher::GuardedCopyResult::Failed;
    }
}

watcher::RenameResult Win32WatcherHost::RenameNoReplace(const std::wstring& from,
                                                        const std::wstring& to) {
    // An archive is never overwritten: a taken name is told apart from other failures.
    switch (RenameFileNoReplace(from, to)) {
    case ERROR_SUCCESS:
        return watcher::RenameResult::Done;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return watcher::RenameResult::NameTaken;
    default:
        return watcher::RenameResult::Failed;
    }
}

watcher::LocalTime Win32WatcherHost::Now() {
    const LocalClockTime now = LocalClockNow();
    return {now.hour, now.day, now.month};
}

watcher::BoxAnswer Win32WatcherHost::ShowBox(const std::wstring& prompt,
                                             watcher::BoxButtons buttons, watcher::BoxIcon icon,
                                             const std::wstring& title) {
    return FromShell(
        ShowMessageBox(nullptr, prompt, ToShell(buttons), ToShell(icon), title, kWatchBoxFlags));
}

void Win32WatcherHost::EndProgram() { shell::EndProgram(0); }

// --- SingleWatcherLock --------------------------------------------------------------

SingleWatcherLock::SingleWatcherLock(const wchar_t* name) {
    mutex_ = CreateMutexW(nullptr, FALSE, name);
    const DWORD error = GetLastError();
    if (!mutex_) {
        // Access denied: the name exists and belongs to another watcher. Any other failure
        // to make the mutex is no reason to refuse to watch.
        acquired_ = error != ERROR_ACCESS_DENIED;
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) {  // another watcher holds it
        CloseHandle(mutex_);
        mutex_ = nullptr;
        return;
    }
    acquired_ = true;
}

SingleWatcherLock::~SingleWatcherLock() {
    if (mutex_) CloseHandle(mutex_);
}

// --- WatchMode ----------------------------------------------------------------------

WatchMode::WatchMode() : watcher_(host_, watcher::DefaultWatchedFiles()) {}
WatchMode::~WatchMode() = default;

bool WatchMode::CheckFile() {
    return host_.FileLength(watcher::DefaultWatchedFiles().mainPlaylist).has_value();
}

// --- frmMain ------------------------------------------------------------------------

// Every way that watch mode cannot start ends the program here, after its box. On success it
// simply returns, with the backup made and the timer running; Form_Load keeps the window hidden.
void frmMain::StartWatchMode() {
    watch_ = std::make_unique<WatchMode>();
    if (!watch_->Acquired()) EndAfterBox(kAlreadyWatchedPrompt, BoxIcon::None, kAlreadyWatchedTitle);
    if (!watch_->CheckFile()) EndAfterBox(kPlaylistMissingPrompt, BoxIcon::Critical, kCannotWatchTitle);

    // The earlier backup is simply replaced, not archived.
    const watcher::WatchedFiles files = watcher::DefaultWatchedFiles();
    if (const DWORD error = CopyReplacingAtomically(files.mainPlaylist, files.mainBackup)) {
        const std::wstring reason = SystemErrorText(error);
        EndAfterBox(L"Tallowmere\r\n\r\nCould not copy the main playlist\r\n" + files.mainPlaylist +
                        L"\r\nto its backup\r\n" + files.mainBackup + L"\r\n\r\n" + reason,
                    BoxIcon::Critical, kCannotWatchTitle);
    }

    // Last: no tick may run before the backup exists.
    if (!SetTimer(hwnd_, kWatchTimerId, kWatchTimerIntervalMs, nullptr)) {
        const std::wstring reason = SystemErrorText(GetLastError());
        EndAfterBox(L"Tallowmere\r\n\r\nCould not start the watch timer.\r\n\r\n" + reason,
                    BoxIcon::Critical, kCannotWatchTitle);
    }
}

void frmMain::tmrWatchFile_Timer() {
    if (watch_) watch_->Watcher().tmrWatchFile_Timer();
}

}  // namespace tallowmere::shell
