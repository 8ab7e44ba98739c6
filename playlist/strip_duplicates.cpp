// Strip duplicates: keeps the first of the lines that are equal after lower-casing, in its
// own case, and logs every later one as read. A hash of each kept line's lower-cased text
// finds earlier occurrences in constant time; lines whose hashes meet are compared in full.
#include <string>
#include <unordered_map>

#include "playlist/operations.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

class DuplicateFilter {
public:
    DuplicateFilter(const PlaylistText& playlist, OperationHost& host)
        : playlist_(playlist), host_(host) {}

    void operator()(std::string_view line, PlaylistWriter& kept) {
        if (line.empty()) return;
        std::wstring lowered = playlist_.Decode(line);
        LowerCaseInPlace(lowered);
        const std::size_t hash = std::hash<std::wstring>{}(lowered);
        const auto [first, last] = seen_.equal_range(hash);
        for (auto it = first; it != last; ++it) {
            if (Lowered(it->second) == lowered) {
                host_.AppendLog(L"Duplicate " + playlist_.Decode(line));
                return;
            }
        }
        seen_.emplace(hash, line);
        kept.Add(line);
    }

private:
    std::wstring Lowered(std::string_view line) const {
        std::wstring text = playlist_.Decode(line);
        LowerCaseInPlace(text);
        return text;
    }

    const PlaylistText& playlist_;
    OperationHost& host_;
    // Hash of a kept line's lower-cased text -> the kept line (a view into the playlist).
    std::unordered_multimap<std::size_t, std::string_view> seen_;
};

}  // namespace

RunOutcome StripDuplicates(const RunContext& context, const std::wstring& playlistPath) {
    return RewriteLineByLine(context, playlistPath, [&](const PlaylistText& playlist) -> LineRule {
        return DuplicateFilter(playlist, context.host);
    });
}

}  // namespace tallowmere::playlist
