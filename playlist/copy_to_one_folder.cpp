#include "playlist/operations.h"

namespace tallowmere::playlist {
// Placeholder until Copy to One Folder lands.
RunOutcome CopyToOneFolder(const RunContext&, const std::wstring&) { return RunOutcome::Done; }
}  // namespace tallowmere::playlist
