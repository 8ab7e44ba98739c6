#pragma once
// The rewrite of the repairs that change some entries and leave every other line as it was
// (relink, make-relative, make-absolute): the lines to change are found first, so a
// playlist in which nothing changes is not touched at all, not even backed up.
#include <cstddef>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/playlist_text.h"

namespace tallowmere::playlist {

// One line to be written anew: its number (0 for the first line) and its encoded bytes.
struct LineChange {
    std::size_t line = 0;
    std::string bytes;
};

// Backs the playlist up and rewrites it with changes (in line order) applied; every other
// line, empty lines included, written back as read. Nothing happens when changes is empty.
RunOutcome WriteChangedLines(const RunContext& context, const std::wstring& playlistPath,
                             PlaylistText& playlist, const std::vector<LineChange>& changes);

}  // namespace tallowmere::playlist
