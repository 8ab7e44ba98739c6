// The run every operation and repair goes through (see run.h).
#include "playlist/run.h"

#include "playlist/paths.h"

namespace tallowmere::playlist {

namespace {

constexpr ErrorCode kFileNameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE

// Reads the playlist whole. A read failure is reported (Failed); a file that is no text
// playlist gets its message (Refused).
std::optional<PlaylistText> LoadPlaylist(const RunContext& context, const std::wstring& playlistPath,
                                         RunOutcome& outcome, FileStamp& stamp) {
    std::string bytes;
    if (const ErrorCode code = context.files.ReadWholeFile(playlistPath, bytes, &stamp); code != 0) {
        context.host.ReportFailure({L"Could not read the playlist", playlistPath, code});
        outcome = RunOutcome::Failed;
        return std::nullopt;
    }
    std::optional<PlaylistText> text = ParsePlaylist(std::move(bytes), playlistPath);
    if (!text) {
        context.host.ShowMessage(NotTextPlaylistMessage(playlistPath));
        outcome = RunOutcome::Refused;
    }
    return text;
}

// The stamp alone, for a rule that does not read the playlist.
std::optional<PlaylistText> StampPlaylist(const RunContext& context, const std::wstring& playlistPath,
                                          RunOutcome& outcome, FileStamp& stamp) {
    ErrorCode code = 0;
    const std::optional<FileStamp> now = context.files.StampOf(playlistPath, &code);
    if (!now) {
        context.host.ReportFailure({L"Could not read the playlist", playlistPath, code});
        outcome = RunOutcome::Failed;
        return std::nullopt;
    }
    stamp = *now;
    return PlaylistText{};
}

// Shows the busy indicator for its lifetime: hidden again on every way out of a run.
class BusyIndicator {
public:
    BusyIndicator(OperationHost& host, bool show) : host_(show ? &host : nullptr) {
        if (host_) host_->ShowBusy(true);
    }
    ~BusyIndicator() {
        if (host_) host_->ShowBusy(false);
    }
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

private:
    OperationHost* host_;
};

// A replacement written beside its file and not yet in place: thrown away on every way out
// that does not put it there.
class PendingFile {
public:
    explicit PendingFile(FileSystem& files) : files_(files) {}
    ~PendingFile() { files_.DiscardReplacement(pending_); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    PendingReplacement& Get() { return pending_; }

private:
    FileSystem& files_;
    PendingReplacement pending_;
};

// A failure while the change is put in place, said once for the window and the console.
void ReportWriteFailure(const RunContext& context, const std::wstring& subject, const wchar_t* doing,
                        ErrorCode code) {
    if (code == kFileChangedMeanwhile) {
        // The other program's file stays; its reason is said in full here, not by a code.
        context.host.ReportFailure({kChangedMeanwhileDoing, subject, 0});
    } else {
        context.host.ReportFailure({doing, subject, code});
    }
}

// The new bytes in place of the playlist and its old content in place of "<path>_backup".
bool CommitRewrite(const PlaylistRun& run, std::string_view bytes) {
    const RunContext& context = run.context;
    const std::wstring backupPath = run.path + L"_backup";
    // "<name>_backup" of a name of 249 characters or more cannot exist; the system's answer
    // for it varies (Wine says "not found"), so say what is wrong.
    if (GetFileName(backupPath).size() > kLongestFileName) {
        context.host.ReportFailure({L"Could not make the backup copy", backupPath, kFileNameTooLong});
        return false;
    }
    PendingFile rewrite(context.files);
    if (const ErrorCode code = context.files.PrepareReplacement(run.path, bytes, rewrite.Get()); code != 0) {
        context.host.ReportFailure({L"Could not rewrite the playlist", run.path, code});
        return false;
    }
    ReplaceStep failedAt = ReplaceStep::Replace;
    if (const ErrorCode code = context.files.CommitWithBackup(rewrite.Get(), backupPath, run.stamp, failedAt);
        code != 0) {
        if (failedAt == ReplaceStep::Backup) {
            ReportWriteFailure(context, backupPath, L"Could not make the backup copy", code);
        } else {
            ReportWriteFailure(context, run.path, L"Could not rewrite the playlist", code);
        }
        return false;
    }
    return true;
}

bool CommitSwap(const PlaylistRun& run) {
    const RunContext& context = run.context;
    const std::wstring backupPath = run.path + L"_backup";
    ErrorCode code = 0;
    const std::optional<FileStamp> backupStamp = context.files.StampOf(backupPath, &code);
    if (backupStamp) code = context.files.SwapWithBackup(run.path, backupPath, run.stamp, *backupStamp);
    if (code != 0) {
        ReportWriteFailure(context, run.path, L"Could not restore the backup", code);
        return false;
    }
    return true;
}

RunOutcome RunUnguarded(const RunContext& context, const std::wstring& playlistPath, PlaylistRule& rule) {
    OperationHost& host = context.host;
    if (!FileExists(context.files, playlistPath)) {
        host.ShowMessage(kLocateMessage);
        return RunOutcome::NotFound;
    }
    RunOutcome outcome = RunOutcome::Done;
    FileStamp stamp;
    std::optional<PlaylistText> playlist = rule.ReadsWholePlaylist()
                                               ? LoadPlaylist(context, playlistPath, outcome, stamp)
                                               : StampPlaylist(context, playlistPath, outcome, stamp);
    if (!playlist) return outcome;
    // Counting the lines costs a pass: only for a host that shows progress.
    EventPacer pacer(host, host.WantsProgress() ? CountLines(playlist->Body()) : 0);
    PlaylistRun run{context, playlistPath, *playlist, stamp, pacer};
    if (const std::optional<RunOutcome> refused = rule.Refuse(run)) return *refused;

    const BusyIndicator busy(host, rule.ShowsBusy());
    host.ClearLog();
    const PlannedChange change = rule.Plan(run);
    if (pacer.Cancelled() || host.Cancelled()) {
        rule.Report(run, RunResult::Cancelled);
        return RunOutcome::Cancelled;
    }
    switch (change.kind) {
        case PlannedChange::Kind::Nothing:
            rule.Report(run, RunResult::Unchanged);
            return RunOutcome::Done;
        case PlannedChange::Kind::Refused:
            return RunOutcome::Refused;
        case PlannedChange::Kind::Failed:
            return RunOutcome::Failed;
        case PlannedChange::Kind::Rewrite:
        case PlannedChange::Kind::SwapWithBackup:
            break;
    }
    if (context.dryRun) {
        rule.Report(run, RunResult::DryRun);
        return RunOutcome::Done;
    }
    if (!host.ConfirmChanges(change.changes)) {
        rule.Report(run, RunResult::Declined);
        return RunOutcome::Done;
    }
    if (host.Cancelled()) {
        rule.Report(run, RunResult::Cancelled);
        return RunOutcome::Cancelled;
    }
    const bool written = change.kind == PlannedChange::Kind::Rewrite ? CommitRewrite(run, change.bytes)
                                                                     : CommitSwap(run);
    rule.Report(run, written ? RunResult::Written : RunResult::NotWritten);
    return written ? RunOutcome::Done : RunOutcome::Failed;
}

}  // namespace

std::wstring NotTextPlaylistMessage(const std::wstring& playlistPath) {
    return L"\"" + playlistPath +
           L"\" is not a text playlist (it holds UTF-16 text or binary data). Nothing was changed.";
}

RunOutcome RunPlaylist(const RunContext& context, const std::wstring& playlistPath, PlaylistRule& rule) {
    return FailingWhenOutOfMemory(context.host, playlistPath, [&] { return RunUnguarded(context, playlistPath, rule); })
        .value_or(RunOutcome::Failed);
}

}  // namespace tallowmere::playlist
