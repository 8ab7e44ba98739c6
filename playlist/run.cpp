// The run shared by the rewriting operations.
#include "playlist/run.h"

#include "playlist/paths.h"

namespace tallowmere::playlist {

namespace {
constexpr ErrorCode kFileNameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE
}  // namespace

std::wstring NotTextPlaylistMessage(const std::wstring& playlistPath) {
    return L"\"" + playlistPath +
           L"\" is not a text playlist (it holds UTF-16 text or binary data). Nothing was changed.";
}

std::optional<PlaylistText> LoadPlaylist(const RunContext& context,
                                         const std::wstring& playlistPath, RunOutcome& outcome,
                                         FileStamp* stamp) {
    std::string bytes;
    if (const ErrorCode code = context.files.ReadWholeFile(playlistPath, bytes, stamp); code != 0) {
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

std::optional<PlaylistText> OpenPlaylist(const RunContext& context,
                                         const std::wstring& playlistPath, RunOutcome& outcome,
                                         FileStamp* stamp) {
    if (!FileExists(context.files, playlistPath)) {
        context.host.ShowMessage(kLocateMessage);
        outcome = RunOutcome::NotFound;
        return std::nullopt;
    }
    return LoadPlaylist(context, playlistPath, outcome, stamp);
}

bool PrepareBackup(const RunContext& context, const std::wstring& playlistPath,
                   std::string_view playlistBytes, PendingFile& backup, bool clearLog) {
    if (clearLog) context.host.ClearLog();
    const std::wstring backupPath = playlistPath + L"_backup";
    // "<name>_backup" of a name of 249 characters or more cannot exist; the system's answer
    // for it varies (Wine says "not found"), so say what is wrong.
    if (GetFileName(backupPath).size() > kLongestFileName) {
        context.host.ReportFailure({L"Could not make the backup copy", backupPath, kFileNameTooLong});
        return false;
    }
    if (const ErrorCode code = context.files.PrepareReplacement(backupPath, playlistBytes, backup.Get());
        code != 0) {
        context.host.ReportFailure({L"Could not make the backup copy", backupPath, code});
        return false;
    }
    return true;
}

RunOutcome WriteRewritten(const RunContext& context, const std::wstring& playlistPath,
                          std::string_view bytes, PendingFile& backup, const FileStamp* readStamp) {
    PendingFile rewrite(context.files);
    ErrorCode code = context.files.PrepareReplacement(playlistPath, bytes, rewrite.Get());
    // Asked before the backup is put in place too: a playlist another program changed since it
    // was read (while the window asked before writing, say) keeps its earlier backup.
    if (code == 0 && readStamp && context.files.StampOf(playlistPath) != *readStamp) code = kFileChangedMeanwhile;
    if (code == 0) {
        if (const ErrorCode backupCode = context.files.CommitReplacement(backup.Get()); backupCode != 0) {
            context.host.ReportFailure({L"Could not make the backup copy", playlistPath + L"_backup", backupCode});
            return RunOutcome::Failed;
        }
        code = context.files.CommitReplacement(rewrite.Get(), readStamp);
    }
    if (code == kFileChangedMeanwhile) {
        // The other program's file stays; its reason is said in full here, not by a code.
        context.host.ReportFailure({kChangedMeanwhileDoing, playlistPath, 0});
        return RunOutcome::Failed;
    }
    if (code != 0) {
        context.host.ReportFailure({L"Could not rewrite the playlist", playlistPath, code});
        return RunOutcome::Failed;
    }
    return RunOutcome::Done;
}

RunOutcome WriteRewrittenWithBackup(const RunContext& context, const std::wstring& playlistPath,
                                    std::string_view oldBytes, std::string_view newBytes,
                                    const FileStamp* readStamp) {
    PendingFile backup(context.files);
    if (!PrepareBackup(context, playlistPath, oldBytes, backup)) return RunOutcome::Failed;
    return WriteRewritten(context, playlistPath, newBytes, backup, readStamp);
}

}  // namespace tallowmere::playlist
