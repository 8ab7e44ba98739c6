#pragma once
// frmMain: the program's one window. Its methods are spread over a few sources:
//   main_window.cpp  the window, its controls, the interactive handlers
//   form_load.cpp    Form_Load: the start-up decision
//   watch_mode.cpp   watch mode: CheckFile, the main backup, tmrWatchFile_Timer
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace tallowmere::shell {

class WatchMode;  // watch_mode.cpp

class frmMain {
public:
    frmMain();
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window and its controls, hidden.
    bool Create(HINSTANCE instance);

    // Start-up, before the window is first shown. Returns true when the window is to be
    // shown (interactive mode); false in watch mode (window hidden). Ends the program
    // itself after the help box or when watch mode cannot start.
    bool Form_Load(std::wstring_view argumentText);

    void Show(int showCommand);

    // The main loop (IsDialogMessage for Tab); returns the exit code.
    int RunMessageLoop();

    HWND Handle() const { return hwnd_; }

private:
    // Watch mode (watch_mode.cpp). StartWatchMode returns false when the program must end.
    bool StartWatchMode();
    void tmrWatchFile_Timer();
    std::unique_ptr<WatchMode> watch_;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

// Id of the tmrWatchFile timer (SetTimer on the main window).
inline constexpr UINT_PTR kWatchTimerId = 1;
inline constexpr UINT kWatchTimerIntervalMs = 5000;

}  // namespace tallowmere::shell
