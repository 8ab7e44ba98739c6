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

RunOutcome RewriteLineByLine(const RunContext& context, const std::wstring& playlistPath,
                             const std::function<LineRule(const PlaylistText&)>& makeRule) {
    OperationHost& host = context.host;
    if (!FileExists(context.files, playlistPath)) {
        host.ShowMessage(kLocateMessage);
        return RunOutcome::NotFound;
    }
    RunOutcome outcome = RunOutcome::Done;
    const std::optional<PlaylistText> playlist = LoadPlaylist(context, playlistPath, outcome);
    if (!playlist) return outcome;

    const BusyIndicator busy(host);
    host.ClearLog();
    const std::wstring backupPath = playlistPath + L"_backup";
    if (const ErrorCode code = context.files.CopyReplacing(playlistPath, backupPath); code != 0) {
        host.ReportFailure({L"Could not make the backup copy", backupPath, code});
        return RunOutcome::Failed;
    }

    const LineRule rule = makeRule(*playlist);
    PlaylistWriter kept(playlist->Bom());
    kept.Reserve(playlist->bytes.size() + playlist->bytes.size() / 8);
    EventPacer pacer(host);
    LineReader reader(playlist->Body());
    std::string_view line;
    while (reader.Next(line)) {
        rule(line, kept);
        pacer.Tick();
    }

    if (const ErrorCode code = context.files.ReplaceWholeFile(playlistPath, kept.Finish());
        code != 0) {
        host.ReportFailure({L"Could not rewrite the playlist", playlistPath, code});
        return RunOutcome::Failed;
    }
    return RunOutcome::Done;
}

}  // namespace tallowmere::playlist
