#pragma once
// What the repairs that change some entries share (relink, make-relative, make-absolute):
// every entry is resolved (the playlist's volume is the drive of root-relative entries) and
// offered to the repair, which logs what it finds and may give the entry a new line; every
// other line, empty lines included, is written back as read. Entries that name no file are
// never offered.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {

// An entry as a repair sees it.
struct EntryLine {
    std::string_view bytes;      // the line as read
    const std::wstring& text;    // its characters
    EntryForm form;
    const std::wstring& path;    // the full path it names (NormalizePath)
};

class EntryRewriteRule : public PlaylistRule {
public:
    PlannedChange Plan(PlaylistRun& run) final;

protected:
    // The new line of an entry, encoded, or nullopt to keep it. The repair logs what it finds.
    virtual std::optional<std::string> Consider(const PlaylistRun& run, const EntryResolver& resolver,
                                                const EntryLine& entry) = 0;

    // "<counts>" when written, else "nothing was written: <counts>" (after "dry run, " for a
    // dry run); nothing for a stopped run, which the host reports.
    static std::optional<std::wstring> SummaryOf(RunResult result, const std::wstring& writtenCounts,
                                                 const std::wstring& plannedCounts);

private:
    struct NewLine {
        std::size_t line = 0;  // counting from 0
        std::string bytes;
    };
    std::vector<NewLine> newLines_;
    std::optional<PlaylistWriter> kept_;  // holds the planned bytes until the run ends
};

// make-relative and make-absolute: an entry's path written another way. Logs
// "Rewritten: <old> -> <new>" per changed entry ("Can't encode: <old> -> <new>" when the
// playlist's encoding cannot hold it exactly), and sums them up.
class PathRewriteRule : public EntryRewriteRule {
protected:
    // The entry's new text, or nullopt to leave it.
    virtual std::optional<std::wstring> NewText(const EntryResolver& resolver, const EntryLine& entry) const = 0;

private:
    std::optional<std::string> Consider(const PlaylistRun& run, const EntryResolver& resolver,
                                        const EntryLine& entry) final;
    void Report(const PlaylistRun& run, RunResult result) final;

    std::size_t rewritten_ = 0;
    std::size_t cannotEncode_ = 0;
};

}  // namespace tallowmere::playlist
