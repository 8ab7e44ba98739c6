#include "shell/command_line.h"

namespace tallowmere::shell {

std::wstring ArgumentText(std::wstring_view) { return {}; }  // TODO(foundation)
StartMode ModeFromArgumentText(std::wstring_view) { return StartMode::Interactive; }  // TODO(foundation)

}  // namespace tallowmere::shell
