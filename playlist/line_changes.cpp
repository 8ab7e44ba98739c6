#include "playlist/line_changes.h"

#include "playlist/run.h"

namespace tallowmere::playlist {

RunOutcome WriteChangedLines(const RunContext& context, const std::wstring& playlistPath,
                             PlaylistText& playlist, const std::vector<LineChange>& changes) {
    if (changes.empty()) return RunOutcome::Done;
    if (!MakeBackup(context, playlistPath)) return RunOutcome::Failed;
    const std::string_view body = playlist.Body();
    PlaylistWriter kept(playlist.bytes, playlist.bomLength);
    kept.Reserve(playlist.bytes.size() + playlist.bytes.size() / 8);
    LineReader reader(body);
    std::string_view line;
    auto next = changes.begin();
    for (std::size_t number = 0; reader.Next(line); ++number) {
        if (next != changes.end() && next->line == number) {
            // An empty view at the old line's end: the new line may take the old one's place.
            kept.Add(next->bytes, line.substr(line.size()));
            ++next;
        } else {
            kept.Add(line);
        }
    }
    return WriteRewritten(context, playlistPath, kept.Written());
}

}  // namespace tallowmere::playlist
