// The run shared by the rewriting operations.
#include "playlist/run.h"

#include "playlist/paths.h"

namespace tallowmere::playlist {

std::wstring NotTextPlaylistMessage(const std::wstring& playlistPath) {
    return L"\"" + playlistPath +
           L"\" is not a text playlist (it holds UTF-16 text or binary data). Nothing was changed.";
}

std::optional<PlaylistText> LoadPlaylist(const RunContext& context,
                                         const std::wstring& playlistPath, RunOutcome& outcome) {
    std::string bytes;
    if (const ErrorCode code = context.files.ReadWholeFile(playlistPath, bytes); code != 0) {
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
                                         const std::wstring& playlistPath, RunOutcome& outcome) {
    if (!FileExists(context.files, playlistPath)) {
        context.host.ShowMessage(kLocateMessage);
        outcome = RunOutcome::NotFound;
        return std::nullopt;
    }
    return LoadPlaylist(context, playlistPath, outcome);
}

bool MakeBackup(const RunContext& context, const std::wstring& playlistPath) {
    context.host.ClearLog();
    const std::wstring backupPath = playlistPath + L"_backup";
    if (const ErrorCode code = context.files.CopyReplacing(playlistPath, backupPath); code != 0) {
        context.host.ReportFailure({L"Could not make the backup copy", backupPath, code});
        return false;
    }
    return true;
}

RunOutcome WriteRewritten(const RunContext& context, const std::wstring& playlistPath,
                          std::string_view bytes) {
    if (const ErrorCode code = context.files.ReplaceWholeFile(playlistPath, bytes); code != 0) {
        context.host.ReportFailure({L"Could not rewrite the playlist", playlistPath, code});
        return RunOutcome::Failed;
    }
    return RunOutcome::Done;
}

}  // namespace tallowmere::playlist
