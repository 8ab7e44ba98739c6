// Watch mode. TODO(watcher)
#include "shell/watch_mode.h"

#include "shell/main_window.h"

namespace tallowmere::shell {

bool frmMain::StartWatchMode() { return false; }
void frmMain::tmrWatchFile_Timer() {}

}  // namespace tallowmere::shell
