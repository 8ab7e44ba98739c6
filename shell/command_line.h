#pragma once
// How the program's command line selects its mode. Pure functions, tested from literal strings.
#include <string>
#include <string_view>

namespace tallowmere::shell {

enum class StartMode { Interactive, Watch, Help };

// Everything after the program's own name on a raw command line (GetCommandLineW),
// the first token removed by Windows' quoting rules.
std::wstring ArgumentText(std::wstring_view rawCommandLine);

// The switch rules: lower-case, drop the first character, compare whole with
// "watchfile" and "help".
StartMode ModeFromArgumentText(std::wstring_view argumentText);

}  // namespace tallowmere::shell
