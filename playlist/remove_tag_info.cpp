// Remove Tag Info: drops the "#EXTINF" lines and the empty lines, keeps every other line
// as it was read.
#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {

RunOutcome RemoveTagInfo(const RunContext& context, const std::wstring& playlistPath) {
    return RewriteLineByLine(context, playlistPath, [](const PlaylistText&) {
        return [](std::string_view line, PlaylistWriter& kept) {
            if (line.empty() || IsExtinfLine(line)) return;
            kept.Add(line);
        };
    });
}

}  // namespace tallowmere::playlist
