// Form_Load: settles, once and for the whole run, how the program runs.
#include "res/version.h"
#include "shell/command_line.h"
#include "shell/main_window.h"
#include "shell/platform.h"

namespace tallowmere::shell {

namespace {

constexpr wchar_t kHelpPrompt[] =
    L"Tallowmere\r\n"
    L"Version " TALLOWMERE_VERSION_TEXT_W L"\r\n"
    L"\r\n"
    L"-watchfile\tguard Winamp's main playlist in the background\r\n"
    L"-help\tshow this message\r\n"
    L"\r\n"
    L"Right-click a playlist to relink moved songs, make its paths relative or absolute, or restore its backup.";

}  // namespace

bool frmMain::Form_Load(std::wstring_view argumentText) {
    switch (ModeFromArgumentText(argumentText)) {
    case StartMode::Watch:
        ShowWindow(hwnd_, SW_HIDE);
        StartWatchMode();
        return false;  // the window stays hidden for the whole run
    case StartMode::Help:
        // The window is never shown: the box stands alone and brings itself to the front.
        ShowMessageBox(nullptr, kHelpPrompt, BoxButtons::Ok, BoxIcon::None, {}, MB_SETFOREGROUND);
        EndProgram(0);
    case StartMode::Interactive:
        break;
    }
    return true;
}

}  // namespace tallowmere::shell
