// make-absolute: relative and root-relative entries written as the full paths they name, "."
// and ".." resolved, whether the file exists or not: the playlist can then move without its songs.
#include "playlist/entry_rewrite.h"
#include "playlist/operations.h"

namespace tallowmere::playlist {
namespace {

class MakeAbsoluteRule final : public EntryRewriteRule {
protected:
    std::optional<std::string> Consider(const PlaylistRun& run, const EntryResolver&,
                                        const EntryLine& entry) override {
        if (entry.form != EntryForm::Relative && entry.form != EntryForm::RootRelative) return std::nullopt;
        const std::wstring& newText = entry.path;
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

RunOutcome MakeAbsolute(const RunContext& context, const std::wstring& playlistPath) {
    MakeAbsoluteRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
