// make-relative: entries whose files lie on the playlist's volume written relative to the
// playlist's folder ("Songs\a.mp3", "..\Music\a.mp3"), so the playlist and its songs can move
// together. Network entries and entries on other volumes stay as they are.
#include "playlist/entry_rewrite.h"
#include "playlist/operations.h"

namespace tallowmere::playlist {
namespace {

class MakeRelativeRule final : public PathRewriteRule {
protected:
    std::optional<std::wstring> NewText(const EntryResolver& resolver, const EntryLine& entry) const override {
        if (entry.form == EntryForm::Network || !SameVolumeRoot(entry.path, resolver.Folder())) return std::nullopt;
        return RelativeEntryText(resolver.Folder(), entry.path);
    }
};

}  // namespace

RunOutcome MakeRelative(const RunContext& context, const std::wstring& playlistPath) {
    MakeRelativeRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
