// Form_Load: settles, once, how the program runs. TODO(foundation)
#include "shell/command_line.h"
#include "shell/main_window.h"

namespace tallowmere::shell {

bool frmMain::Form_Load(std::wstring_view) { return true; }

}  // namespace tallowmere::shell
