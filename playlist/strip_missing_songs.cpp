// Strip non-existant songs: keeps tag lines as read and the entries whose files exist, each
// written as its resolved full path; logs every dropped entry. Entries on a volume that
// cannot be reached (no such drive, no medium, share offline) are kept untested, and stream
// addresses are kept as they are: neither is a missing song.
#include <string>
#include <unordered_map>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

class MissingSongFilter {
public:
    MissingSongFilter(const RunContext& context, const PlaylistText& playlist,
                      const std::wstring& playlistPath)
        : context_(context), playlist_(playlist), playlistFolder_(PlaylistFolder(playlistPath)) {}

    void operator()(std::string_view line, PlaylistWriter& kept) {
        switch (ClassifyLine(line)) {
            case LineKind::Empty:
                return;
            case LineKind::Tag:
                kept.Add(line);
                return;
            case LineKind::Entry:
                break;
        }
        const std::wstring entry = playlist_.Decode(line);
        if (IsStreamAddress(entry)) {
            kept.Add(line);
            return;
        }
        const std::wstring prefix =
            ResolutionPrefix(entry, playlistFolder_, context_.programFolder);
        const std::wstring resolved = prefix + entry;
        const std::wstring root = VolumeRootOf(resolved);
        if ((!root.empty() && !Reachable(root)) || FileExists(context_.files, resolved)) {
            // Only the prefix is encoded: the entry's own bytes go out as they came in.
            kept.Add(playlist_.Encode(prefix), line);
            return;
        }
        context_.host.AppendLog(L"Missing: " + GetFileName(resolved));
    }

private:
    // Asks once per volume; logs "Unreachable: " at the first entry on a volume that is not.
    bool Reachable(const std::wstring& root) {
        std::wstring key = root;
        LowerCaseInPlace(key);
        const auto known = reachable_.find(key);
        if (known != reachable_.end()) return known->second;
        const bool reachable = context_.files.VolumeReachable(root);
        reachable_.emplace(std::move(key), reachable);
        if (!reachable) context_.host.AppendLog(L"Unreachable: " + root);
        return reachable;
    }

    const RunContext& context_;
    const PlaylistText& playlist_;
    const std::wstring playlistFolder_;
    std::unordered_map<std::wstring, bool> reachable_;  // lower-cased volume root -> answer
};

}  // namespace

RunOutcome StripMissingSongs(const RunContext& context, const std::wstring& playlistPath) {
    return RewriteLineByLine(context, playlistPath, [&](const PlaylistText& playlist) -> LineRule {
        return MissingSongFilter(context, playlist, playlistPath);
    });
}

}  // namespace tallowmere::playlist
