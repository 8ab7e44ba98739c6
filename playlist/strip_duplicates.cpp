// Strip duplicates: keeps the first of the lines that are equal after lower-casing, in its
// own case, and logs every later one as read. A hash table of the kept lines, keyed by a
// hash of their lower-cased characters, finds earlier occurrences in constant time, so a run
// is linear in the playlist's length. Lines made of ASCII bytes alone (most of them) are
// hashed and compared on their bytes; the hash is the same one the decoded characters would
// give, so an ASCII line still meets a non-ASCII line that lower-cases to the same text.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

constexpr std::uint64_t kHashStart = 14695981039346656037ull;  // FNV-1a
constexpr std::uint64_t kHashFactor = 1099511628211ull;

std::uint64_t Mix(std::uint64_t hash, std::uint32_t codeUnit) {
    return (hash ^ codeUnit) * kHashFactor;
}

// FNV-1a's low bits depend only on the inputs' low bits; spread them before masking.
std::uint64_t Finish(std::uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return hash;
}

bool IsAscii(std::string_view line) {
    for (const char c : line) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

class DuplicateFilter {
public:
    DuplicateFilter(const PlaylistText& playlist, OperationHost& host)
        : playlist_(playlist), host_(host) {
        // Sized once for every line the playlist can hold, at most half full: no regrowth.
        const std::string_view body = playlist.Body();
        const std::size_t lineEnds = 1 + static_cast<std::size_t>(std::count(body.begin(), body.end(), '\n') +
                                                                   std::count(body.begin(), body.end(), '\r'));
        std::size_t size = 64;
        while (size < 2 * lineEnds) size *= 2;
        slots_.resize(size);
    }

    void operator()(std::string_view line, PlaylistWriter& kept) {
        if (line.empty()) return;
        const bool ascii = IsAscii(line);
        std::wstring lowered;
        std::uint64_t hash;
        if (ascii) {
            hash = AsciiHash(line);
        } else {
            lowered = Lowered(line);
            hash = WideHash(lowered);
        }
        std::size_t slot = hash & (slots_.size() - 1);
        for (; slots_[slot].used; slot = (slot + 1) & (slots_.size() - 1)) {
            const Slot& other = slots_[slot];
            if (other.hash == hash && Same(line, ascii, lowered, other)) {
                host_.AppendLog(L"Duplicate " + playlist_.Decode(line));
                return;
            }
        }
        slots_[slot] = Slot{hash, static_cast<std::uint64_t>(line.data() - playlist_.bytes.data()),
                            ascii, 1};
        if (++used_ * 2 > slots_.size()) Grow();
        kept.Add(line);
    }

private:
    // Lines whose lower-cased text is all ASCII hash their lower-cased bytes (fast, eight at
    // a time); others hash their characters. Equal lower-cased texts get equal hashes either way.
    std::uint64_t AsciiHash(std::string_view text) {
        lowerBuffer_.assign(text);
        for (char& c : lowerBuffer_) c = AsciiLower(c);
        return Finish(std::hash<std::string_view>{}(lowerBuffer_));
    }
    std::uint64_t WideHash(const std::wstring& lowered) {
        bool allAscii = true;
        for (const wchar_t c : lowered) allAscii = allAscii && static_cast<std::uint32_t>(c) < 0x80;
        if (allAscii) return AsciiHash(std::string(lowered.begin(), lowered.end()));
        std::uint64_t hash = kHashStart;
        for (const wchar_t c : lowered) hash = Mix(hash, static_cast<std::uint32_t>(c));
        return Finish(hash);
    }

    // A kept line: its hash and where it starts in the playlist's bytes (16 bytes a slot;
    // the line runs to the next CR or LF).
    struct Slot {
        std::uint64_t hash = 0;
        std::uint64_t offset : 62 = 0;
        std::uint64_t ascii : 1 = 0;
        std::uint64_t used : 1 = 0;
    };
    std::string_view LineOf(const Slot& slot) const {
        const std::string_view rest = std::string_view(playlist_.bytes).substr(slot.offset);
        return rest.substr(0, rest.find_first_of("\r\n"));
    }

    std::wstring Lowered(std::string_view line) const {
        std::wstring text = playlist_.Decode(line);
        LowerCaseInPlace(text);
        return text;
    }

    bool Same(std::string_view line, bool ascii, const std::wstring& lowered, const Slot& other) const {
        const std::string_view otherLine = LineOf(other);
        if (ascii && other.ascii) {
            if (line.size() != otherLine.size()) return false;
            for (std::size_t i = 0; i < line.size(); ++i) {
                if (AsciiLower(line[i]) != AsciiLower(otherLine[i])) return false;
            }
            return true;
        }
        return (ascii ? Lowered(line) : lowered) == Lowered(otherLine);
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        for (const Slot& s : old) {
            if (!s.used) continue;
            std::size_t slot = s.hash & (slots_.size() - 1);
            while (slots_[slot].used) slot = (slot + 1) & (slots_.size() - 1);
            slots_[slot] = s;
        }
    }

    const PlaylistText& playlist_;
    OperationHost& host_;
    std::string lowerBuffer_;  // reused from line to line
    std::vector<Slot> slots_;  // open addressing; the size is a power of two
    std::size_t used_ = 0;
};

}  // namespace

RunOutcome StripDuplicates(const RunContext& context, const std::wstring& playlistPath) {
    return RewriteLineByLine(context, playlistPath, [&](const PlaylistText& playlist) -> LineRule {
        return DuplicateFilter(playlist, context.host);
    });
}

}  // namespace tallowmere::playlist
