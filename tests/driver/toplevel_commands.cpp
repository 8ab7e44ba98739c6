// Top-level windows of another process: wait for one, report whether it is visible, wait
// for it (or its process) to go away, ask it to close.
#include "commands.h"

namespace driver {
namespace {

void PrintWindow(HWND window) {
    Print(L"caption", WindowText(window));
    Print(L"class", ClassName(window));
    Print(L"visible", IsWindowVisible(window) ? 1 : 0);
    Print(L"pid", static_cast<long long>(ProcessIdOf(window)));
}

// --visible=1 / --visible=0 waits until the window is in that state (a window can exist
// hidden for a moment before it is shown).
int WaitWindow(const Args& args) {
    auto filter = WindowFilter(args);
    if (!filter) return kBadUsage;
    const auto visible = args.Option(L"visible");
    const bool wantVisible = visible && *visible != L"0";
    HWND found = WaitForTopLevel(
        [&](HWND window) {
            return (*filter)(window) && (!visible || (IsWindowVisible(window) != FALSE) == wantVisible);
        },
        args.TimeoutMs());
    if (!found) {
        // Say what there is instead, if anything.
        const auto any = TopLevelWindows(*filter);
        Print(L"found", 0);
        if (!any.empty()) PrintWindow(any.front());
        return kNotSo;
    }
    Print(L"found", 1);
    PrintWindow(found);
    return kDone;
}

int WaitGone(const Args& args) {
    auto filter = WindowFilter(args);
    if (!filter) return kBadUsage;
    return WaitUntilNone(*filter, args);
}

// Waits for the process that owns the window to end; prints its exit code.
int WaitExit(const Args& args) {
    auto filter = WindowFilter(args);
    if (!filter) return kBadUsage;
    HWND window = WaitForTopLevel(*filter, args.TimeoutMs());
    if (!window) {
        Print(L"found", 0);
        return kNotSo;
    }
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessIdOf(window));
    if (!process) {
        Print(L"error", L"cannot open the process");
        return kNotSo;
    }
    const DWORD waited = WaitForSingleObject(process, args.TimeoutMs());
    DWORD exitCode = 0;
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    if (waited != WAIT_OBJECT_0) {
        Print(L"exited", 0);
        return kNotSo;
    }
    Print(L"exited", 1);
    Print(L"exit-code", static_cast<long long>(exitCode));
    return kDone;
}

int CloseWindow(const Args& args) {
    auto filter = WindowFilter(args);
    if (!filter) return kBadUsage;
    HWND window = WaitForTopLevel(*filter, args.TimeoutMs());
    if (!window) {
        Print(L"found", 0);
        return kNotSo;
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    Print(L"closed", 1);
    return kDone;
}

// Lists top-level windows: all, or those matching --caption / --class / --box / --pid.
int ListWindows(const Args& args) {
    auto filter = WindowFilter(args, false);
    if (!filter) return kBadUsage;
    const bool visibleOnly = args.Option(L"visible-only").has_value();
    const auto windows = TopLevelWindows(
        [&](HWND window) { return (*filter)(window) && (!visibleOnly || IsWindowVisible(window)); });
    Print(L"count", static_cast<long long>(windows.size()));
    for (HWND window : windows) {
        Print(L"window", ClassName(window) + L"|" + (IsWindowVisible(window) ? L"1" : L"0") + L"|" +
                             std::to_wstring(ProcessIdOf(window)) + L"|" + WindowText(window));
    }
    return kDone;
}

// Keeps Wine's desktop process alive for a whole test run. Without it the desktop process is
// started by whichever test shows the first window, inherits that test's output pipe and
// keeps CTest waiting for it until every other window of the run has gone.
int Hold(const Args& args) {
    GetDesktopWindow();
    const ULONGLONG deadline = GetTickCount64() + args.TimeoutMs(3600 * 1000);
    while (GetTickCount64() < deadline) Sleep(500);
    return kDone;
}

const RegisterCommand kWaitWindow{{L"wait-window",
                                   L"--caption=C [--visible=1|0] [--class=N] [--pid=N] [--exe=NAME] [--timeout=MS]: wait for a top-level window",
                                   WaitWindow}};
const RegisterCommand kWaitGone{{L"wait-gone", L"--caption=C|--title=T [--box] [--timeout=MS]: wait until no such window exists",
                                 WaitGone}};
const RegisterCommand kWaitExit{{L"wait-exit", L"--caption=C [--timeout=MS]: wait for the window's process to end",
                                 WaitExit}};
const RegisterCommand kClose{{L"close-window", L"--caption=C [--timeout=MS]: post WM_CLOSE to the window", CloseWindow}};
const RegisterCommand kHold{{L"hold", L"[--timeout=MS]: keep Wine's desktop up for MS (an hour by default)", Hold}};
const RegisterCommand kList{{L"windows", L"[--caption=C] [--class=N] [--box] [--pid=N] [--exe=NAME] [--visible-only]: list top-level windows",
                             ListWindows}};

}  // namespace
}  // namespace driver
