// Start-up of tallowmere.exe: common controls, the one window object, Form_Load, the loop.
#include <windows.h>
#include <commctrl.h>

#include "shell/command_line.h"
#include "shell/main_window.h"
#include "shell/platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace tallowmere::shell;

    // Version 6 of the common controls (chosen by the manifest) for every class we use.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    frmMain window;
    if (!window.Create(instance)) {
        ShowMessageBox(nullptr, L"Tallowmere\r\n\r\nThe main window could not be created: " +
                                    SystemErrorText(GetLastError()),
                       BoxButtons::Ok, BoxIcon::Critical);
        return 1;
    }
    // The command-line text as the program sees it: not lpCmdLine, which the C runtime
    // has already cut by its own rules.
    if (window.Form_Load(ArgumentText(RawCommandLine()))) window.Show(showCommand);
    return window.RunMessageLoop();
}
