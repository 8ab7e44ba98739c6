// Start-up of tallowmere.exe. TODO(foundation): common controls, DPI.
#include <windows.h>

#include "shell/command_line.h"
#include "shell/main_window.h"
#include "shell/platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace tallowmere::shell;
    frmMain window;
    if (!window.Create(instance)) return 1;
    if (window.Form_Load(ArgumentText(RawCommandLine()))) window.Show(showCommand);
    return window.RunMessageLoop();
}
