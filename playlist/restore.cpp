// Restore: the undo of a repair. "<playlist>_backup" is put back in place and the replaced
// content kept as the new "<playlist>_backup", so a restore is undone by another. A playlist
// that is a link stays a link: the contents trade places behind it.
#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

class RestoreRule final : public PlaylistRule {
public:
    // A backup is put back whatever the playlist holds now, text or not.
    bool ReadsWholePlaylist() const override { return false; }

    std::optional<RunOutcome> Refuse(const PlaylistRun& run) override {
        const std::wstring backupPath = run.path + L"_backup";
        switch (run.context.files.KindOf(backupPath)) {
            case PathKind::File:
                return std::nullopt;
            case PathKind::Missing:
                run.context.host.ShowMessage(L"There is no backup to restore: " + backupPath);
                return RunOutcome::NotFound;
            case PathKind::Folder:
            case PathKind::Link:
                break;
        }
        run.context.host.ShowMessage(L"The backup is not a plain file, so it was not restored: " + backupPath);
        return RunOutcome::Refused;
    }

    PlannedChange Plan(PlaylistRun&) override { return {PlannedChange::Kind::SwapWithBackup, {}, 1}; }

    void Report(const PlaylistRun& run, RunResult result) override {
        switch (result) {
            case RunResult::Written:
                run.context.host.AppendLog(L"Restored: " + run.path);
                return;
            case RunResult::DryRun:
                run.context.host.ReportSummary(L"dry run, nothing was written: would restore " + run.path + L"_backup");
                return;
            case RunResult::NotWritten:
            case RunResult::Declined:
                run.context.host.ReportSummary(L"nothing was written: the backup was not restored");
                return;
            case RunResult::Unchanged:
            case RunResult::Cancelled:
                return;
        }
    }
};

}  // namespace

RunOutcome RestoreBackup(const RunContext& context, const std::wstring& playlistPath) {
    RestoreRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
