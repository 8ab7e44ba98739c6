#pragma once
// The playlist operations behind the main window's buttons and menu, and the console tool's
// commands. Each takes the selected playlist path once, at its start, and works on that path
// alone; all of them go through RunPlaylist (run.h). Relink, which needs a music library,
// is in relink.h.
#include <string>

#include "playlist/file_system.h"
#include "playlist/operation_host.h"

namespace tallowmere::playlist {

struct RunContext {
    OperationHost& host;
    FileSystem& files;
    // Folder of the running executable; its first two characters are the drive of
    // root-relative entries in Strip non-existant songs.
    std::wstring programFolder;
    // Plan and report, write nothing (the console tool's --dry-run).
    bool dryRun = false;
};

enum class RunOutcome {
    Done,      // the playlist was processed (changed, or found to need no change)
    NotFound,  // "Unable to locate Winamp playlist..." (or "no backup") was shown
    Refused,   // not a text playlist, or no copy folder can be made for its name
    Failed,    // a failure ended the run (reported through ReportFailure)
    Cancelled, // the host asked to stop; the playlist was not replaced
};

// The four buttons.
RunOutcome RemoveTagInfo(const RunContext& context, const std::wstring& playlistPath);
RunOutcome StripMissingSongs(const RunContext& context, const std::wstring& playlistPath);
RunOutcome StripDuplicates(const RunContext& context, const std::wstring& playlistPath);
RunOutcome CopyToOneFolder(const RunContext& context, const std::wstring& playlistPath);

// Writes every entry whose file lies on the playlist's volume relative to the playlist's
// folder; network entries, entries elsewhere and entries that name no file stay as they are.
// Logs "Rewritten: <old> -> <new>" per changed entry.
RunOutcome MakeRelative(const RunContext& context, const std::wstring& playlistPath);

// Writes every relative and root-relative entry as the full path it names, "." and ".."
// resolved, whether the file exists or not. Logs "Rewritten: <old> -> <new>" per changed entry.
RunOutcome MakeAbsolute(const RunContext& context, const std::wstring& playlistPath);

// Puts "<playlist>_backup" in place of the playlist and keeps the replaced content as the new
// "<playlist>_backup", so a restore is undone by another. Logs "Restored: <playlist>". No
// backup: a message naming it (NotFound); a backup that is no plain file is refused.
RunOutcome RestoreBackup(const RunContext& context, const std::wstring& playlistPath);

}  // namespace tallowmere::playlist
