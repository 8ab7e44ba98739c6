#include "playlist/restore.h"

#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {

RunOutcome RestoreBackup(const RunContext& context, const std::wstring& playlistPath) {
    if (!FileExists(context.files, playlistPath)) {
        context.host.ShowMessage(kLocateMessage);
        return RunOutcome::NotFound;
    }
    const std::wstring backupPath = playlistPath + L"_backup";
    if (!FileExists(context.files, backupPath)) {
        context.host.ShowMessage(L"There is no backup to restore: " + backupPath);
        return RunOutcome::NotFound;
    }
    const BusyIndicator busy(context.host);
    if (const ErrorCode code = context.files.SwapWithBackup(playlistPath, backupPath); code != 0) {
        context.host.ReportFailure({L"Could not restore the backup", playlistPath, code});
        return RunOutcome::Failed;
    }
    context.host.AppendLog(L"Restored: " + playlistPath);
    return RunOutcome::Done;
}

}  // namespace tallowmere::playlist
