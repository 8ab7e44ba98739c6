// make-absolute: relative and root-relative entries written as the full paths they name, "."
// and ".." resolved, whether the file exists or not: the playlist can then move without its songs.
#include "playlist/entry_rewrite.h"
#include "playlist/operations.h"

namespace tallowmere::playlist {
namespace {

class MakeAbsoluteRule final : public PathRewriteRule {
protected:
    std::optional<std::wstring> NewText(const EntryResolver&, const EntryLine& entry) const override {
        if (entry.form != EntryForm::Relative && entry.form != EntryForm::RootRelative) return std::nullopt;
        return entry.path;
    }
};

}  // namespace

RunOutcome MakeAbsolute(const RunContext& context, const std::wstring& playlistPath) {
    MakeAbsoluteRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
