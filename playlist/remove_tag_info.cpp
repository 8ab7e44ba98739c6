// Remove Tag Info: drops the "#EXTINF" lines and the empty lines, keeps every other line
// as it was read.
#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

class RemoveTagInfoRule final : public PlaylistRule {
public:
    PlannedChange Plan(PlaylistRun& run) override {
        writer_.emplace(run.playlist.bytes, run.playlist.bomLength);
        auto dropTags = [](std::string_view line, PlaylistWriter& writer) {
            if (line.empty() || IsExtinfLine(line)) return;
            writer.Add(line);
        };
        return RewriteLines(run, dropTags, *writer_);
    }

private:
    std::optional<PlaylistWriter> writer_;  // holds the planned bytes until the run ends
};

}  // namespace

RunOutcome RemoveTagInfo(const RunContext& context, const std::wstring& playlistPath) {
    RemoveTagInfoRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
