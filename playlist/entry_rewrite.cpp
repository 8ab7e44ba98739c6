// The plan of the repairs that change some entries (see entry_rewrite.h).
#include "playlist/entry_rewrite.h"

namespace tallowmere::playlist {

PlannedChange EntryRewriteRule::Plan(PlaylistRun& run) {
    PlaylistText& playlist = run.playlist;
    // The repairs take root-relative entries to the playlist's own volume: what they write must
    // name a file wherever the program lies.
    const EntryResolver resolver(NormalizePath(PlaylistFolder(run.path)), VolumeOfPlaylist(run.path));
    std::wstring text, path;
    {
        LineReader reader(playlist.Body());
        std::string_view line;
        for (std::size_t number = 0; reader.Next(line); ++number) {
            run.pacer.Tick();
            if (run.pacer.Cancelled()) return {};
            if (ClassifyLine(line) != LineKind::Entry) continue;
            text.clear();
            playlist.AppendDecoded(text, line);
            const EntryForm form = resolver.Resolve(text, path);
            if (form == EntryForm::NotAFile) continue;
            if (std::optional<std::string> bytes = Consider(run, resolver, {line, text, form, path})) {
                newLines_.push_back({number, std::move(*bytes)});
            }
        }
    }
    run.pacer.Finish();
    if (newLines_.empty()) return {};

    // The new lines over the old ones; the others as read.
    kept_.emplace(playlist.bytes, playlist.bomLength);
    kept_->Reserve(playlist.bytes.size() + playlist.bytes.size() / 8);
    LineReader reader(playlist.Body());
    std::string_view line;
    auto next = newLines_.begin();
    for (std::size_t number = 0; reader.Next(line); ++number) {
        if (next != newLines_.end() && next->line == number) {
            // An empty view at the old line's end: the new line may take the old one's place.
            kept_->Add(next->bytes, line.substr(line.size()));
            ++next;
        } else {
            kept_->Add(line);
        }
    }
    return {PlannedChange::Kind::Rewrite, kept_->Written(), newLines_.size()};
}

std::optional<std::wstring> EntryRewriteRule::SummaryOf(RunResult result, const std::wstring& writtenCounts,
                                                        const std::wstring& plannedCounts) {
    switch (result) {
        case RunResult::Written: return writtenCounts;
        case RunResult::Cancelled: return std::nullopt;
        case RunResult::DryRun: return L"dry run, nothing was written: " + plannedCounts;
        case RunResult::Unchanged:
        case RunResult::Declined:
        case RunResult::NotWritten: break;
    }
    return L"nothing was written: " + plannedCounts;
}

std::optional<std::string> PathRewriteRule::Consider(const PlaylistRun& run, const EntryResolver& resolver,
                                                     const EntryLine& entry) {
    const std::optional<std::wstring> newText = NewText(resolver, entry);
    if (!newText || *newText == entry.text) return std::nullopt;
    // A new line made from an old one's text: both must be exact in the encoding.
    std::optional<std::string> bytes;
    if (run.playlist.DecodesExactly(entry.bytes)) bytes = run.playlist.Encode(*newText);
    if (!bytes) {
        ++cannotEncode_;
        run.context.host.AppendLog(L"Can't encode: " + entry.text + L" -> " + *newText);
        return std::nullopt;
    }
    ++rewritten_;
    run.context.host.AppendLog(L"Rewritten: " + entry.text + L" -> " + *newText);
    return bytes;
}

void PathRewriteRule::Report(const PlaylistRun& run, RunResult result) {
    const std::wstring cannot = std::to_wstring(cannotEncode_) + L" can't encode";
    if (const std::optional<std::wstring> summary =
            SummaryOf(result, std::to_wstring(rewritten_) + L" rewritten, " + cannot,
                      std::to_wstring(rewritten_) + L" to rewrite, " + cannot)) {
        run.context.host.ReportSummary(*summary);
    }
}

}  // namespace tallowmere::playlist
