#pragma once
// The rewrite of the repairs that change some entries and leave every other line as it was
// (relink, make-relative, make-absolute): the lines to change are found first, so a
// playlist in which nothing changes is not touched at all, not even backed up.
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/operations.h"
#include "playlist/playlist_text.h"
#include "playlist/run.h"

namespace tallowmere::playlist {

// Logs every record, then backs the playlist up when any record has new bytes and the host
// confirms them, and rewrites it with those lines replaced (provided it still carries
// readStamp); every other line, empty lines included, is written back as read. records (each
// with .line, its number from 0, and .bytes, the encoded new line or empty to keep it) are
// in line order. report(record, oldLine) is called for every record, in order, after the log
// is cleared and before the host is asked: the window shows the whole plan with its question,
// and a record need not keep a copy of the old line.
template <typename Record, typename Report>
RunOutcome WriteChangedLines(const RunContext& context, const std::wstring& playlistPath, PlaylistText& playlist,
                             const FileStamp& readStamp, const std::vector<Record>& records,
                             const Report& report) {
    context.host.ClearLog();
    {
        LineReader reader(playlist.Body());
        std::string_view line;
        auto next = records.begin();
        for (std::size_t number = 0; next != records.end() && reader.Next(line); ++number) {
            if (next->line == number) report(*next++, line);
        }
    }
    const std::size_t changeCount = static_cast<std::size_t>(
        std::count_if(records.begin(), records.end(), [](const Record& r) { return !r.bytes.empty(); }));
    if (changeCount == 0 || !context.host.ConfirmChanges(changeCount)) return RunOutcome::Done;
    // Before the writer: it writes over the bytes read. The log keeps the lines just shown.
    PendingFile backup(context.files);
    if (!PrepareBackup(context, playlistPath, playlist.bytes, backup, /*clearLog=*/false)) return RunOutcome::Failed;
    PlaylistWriter kept(playlist.bytes, playlist.bomLength);
    kept.Reserve(playlist.bytes.size() + playlist.bytes.size() / 8);
    LineReader reader(playlist.Body());
    std::string_view line;
    auto next = records.begin();
    for (std::size_t number = 0; next != records.end() && reader.Next(line); ++number) {
        if (next->line == number && !next->bytes.empty()) {
            // An empty view at the old line's end: the new line may take the old one's place.
            kept.Add(next->bytes, line.substr(line.size()));
        } else {
            kept.Add(line);
        }
        if (next->line == number) ++next;
    }
    while (reader.Next(line)) kept.Add(line);
    return WriteRewritten(context, playlistPath, kept.Written(), backup, &readStamp);
}

}  // namespace tallowmere::playlist
