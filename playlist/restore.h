#pragma once
// Undo of a repair: the backup put back in place, the replaced playlist kept as the backup.
#include <string>

#include "playlist/operations.h"

namespace tallowmere::playlist {

// Puts "<playlist>_backup" in place of the playlist and keeps the replaced content as the new
// "<playlist>_backup", so a restore is undone by another. Logs "Restored: <playlist>". No
// backup: a message naming it (NotFound).
RunOutcome RestoreBackup(const RunContext& context, const std::wstring& playlistPath);

}  // namespace tallowmere::playlist
