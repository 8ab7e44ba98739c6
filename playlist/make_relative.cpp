// make-relative: entries whose files lie on the playlist's volume written relative to the
// playlist's folder ("Songs\a.mp3", "..\Music\a.mp3"), so the playlist and its songs can move
// together. Network entries and entries on other volumes stay as they are.
#include "playlist/entry_rewrite.h"
#include "playlist/operations.h"

namespace tallowmere::playlist {
namespace {

class MakeRelativeRule final : public EntryRewriteRule {
protected:
    std::optional<std::string> Consider(const PlaylistRun& run, const EntryResolver& resolver,
                                        const EntryLine& entry) override {
        if (entry.form == EntryForm::Network || !SameVolumeRoot(entry.path, resolver.Folder())) return std::nullopt;
        const std::wstring newText = RelativeEntryText(resolver.Folder(), entry.path);
        if (newText == entry.text) return std::nullopt;
        std::optional<std::string> bytes = EncodeNewLine(run.playlist, entry.bytes, newText);
        if (!bytes) {
            ++cannotEncode_;
            run.context.host.AppendLog(L"Can't encode: " + entry.text + L" -> " + newText);
            return std::nullopt;
        }
        ++rewritten_;
        run.context.host.AppendLog(L"Rewritten: " + entry.text + L" -> " + newText);
        return bytes;
    }

    void Report(const PlaylistRun& run, RunResult result) override {
        const std::wstring cannot = std::to_wstring(cannotEncode_) + L" can't encode";
        if (const std::optional<std::wstring> summary =
                SummaryOf(result, std::to_wstring(rewritten_) + L" rewritten, " + cannot,
                          std::to_wstring(rewritten_) + L" to rewrite, " + cannot)) {
            run.context.host.ReportSummary(*summary);
        }
    }

private:
    std::size_t rewritten_ = 0;
    std::size_t cannotEncode_ = 0;
};

}  // namespace

RunOutcome MakeRelative(const RunContext& context, const std::wstring& playlistPath) {
    MakeRelativeRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
