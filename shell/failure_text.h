#pragma once
// A failed file step as text, the same for every front end: what was being done, the file,
// and the system's reason for the failure (none when there is no error code).
#include <string>

#include "playlist/operation_host.h"

namespace tallowmere::shell {

// The prompt of the window's failure box, on separate lines:
//   what was being done:
//   file
//
//   the system's reason
std::wstring FailurePrompt(const playlist::FileFailure& failure);

// The same on one line, for a console: what was being done "file": the system's reason
std::wstring FailureLine(const playlist::FileFailure& failure);

}  // namespace tallowmere::shell
