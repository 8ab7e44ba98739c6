#include "playlist/operations.h"

namespace tallowmere::playlist {
// Placeholders until the operations land.
RunOutcome RemoveTagInfo(const RunContext&, const std::wstring&) { return RunOutcome::Done; }
RunOutcome StripMissingSongs(const RunContext&, const std::wstring&) { return RunOutcome::Done; }
RunOutcome StripDuplicates(const RunContext&, const std::wstring&) { return RunOutcome::Done; }
RunOutcome CopyToOneFolder(const RunContext&, const std::wstring&) { return RunOutcome::Done; }
}  // namespace tallowmere::playlist
