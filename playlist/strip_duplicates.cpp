// Strip duplicates: keeps the first of the lines that are equal after lower-casing, in its
// own case, and logs every later one as read. A hash table of the kept lines, keyed by a
// hash of their lower-cased characters, finds earlier occurrences in constant time, so a run
// is linear in the playlist's length. Lines made of ASCII bytes alone (most of them) are
// lower-cased and hashed eight bytes at a time, without being decoded or copied; the hash is
// the same one their decoded characters would give, so an ASCII line still meets a
// non-ASCII line that lower-cases to the same text (KELVIN SIGN to "k").
#include <algorithm>
#include <bit>
#include <climits>
#include <optional>
#include <cstdint>
#include <string>
#include <vector>

#include "playlist/byte_scan.h"
#include "playlist/operations.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

using byte_scan::kEveryByte;
using byte_scan::kHighBits;
using byte_scan::Load8;

// Spreads every input bit over the whole hash (the MurmurHash3 finalizer): the table takes
// its index from the low bits and a line's mark from the high ones.
std::uint64_t Finish(std::uint64_t hash) {
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    hash *= 0xc4ceb9fe1a85ec53ull;
    hash ^= hash >> 33;
    return hash;
}

// One round of XXH64 over eight bytes.
std::uint64_t MixWord(std::uint64_t hash, std::uint64_t word) {
    hash += word * 0xC2B2AE3D27D4EB4Full;
    return std::rotl(hash, 31) * 0x9E3779B185EBCA87ull;
}

// Eight ASCII bytes with their capitals lower-cased: a byte from 'A' to 'Z' gets 0x20 added.
// Each byte is below 0x80, so adding to every byte at once carries into no other byte.
std::uint64_t LowerAsciiWord(std::uint64_t word) {
    const std::uint64_t atLeastA = word + (0x80 - 'A') * kEveryByte;
    const std::uint64_t aboveZ = word + (0x80 - 'Z' - 1) * kEveryByte;
    return word | ((atLeastA & ~aboveZ & kHighBits) >> 2);
}

// The hash of a text of ASCII characters after lower-casing; false, and no hash, for a text
// with a byte of 0x80 or above. Two lanes take turns with the eight-byte words, so that one
// word's multiplications need not wait for the previous word's.
bool AsciiLowerHash(std::string_view text, std::uint64_t& hash) {
    const char* p = text.data();
    const std::size_t n = text.size();
    std::uint64_t lanes[2] = {n, 0x27D4EB2F165667C5ull};
    std::uint64_t any = 0;  // every byte's bits together: ASCII when the high bits stay clear
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const std::uint64_t first = Load8(p + i), second = Load8(p + i + 8);
        any |= first | second;
        lanes[0] = MixWord(lanes[0], LowerAsciiWord(first));
        lanes[1] = MixWord(lanes[1], LowerAsciiWord(second));
    }
    for (int lane = 0; i < n; i += 8, lane ^= 1) {
        std::uint64_t word = 0;
        if (i + 8 <= n) {
            word = Load8(p + i);
        } else if (n >= 8) {
            // The tail, padded with zero bytes: taken from the text's last eight bytes (a
            // variable-length copy would be a call and a stall on every line).
            word = Load8(p + n - 8) >> (8 * (8 - (n - i)));
        } else {
            for (std::size_t k = n; k-- > i;) word = (word << 8) | static_cast<unsigned char>(p[k]);
        }
        any |= word;
        lanes[lane] = MixWord(lanes[lane], LowerAsciiWord(word));
    }
    if ((any & kHighBits) != 0) return false;
    hash = Finish(lanes[0] ^ std::rotl(lanes[1], 29));
    return true;
}

// The hash of an already lower-cased text of any characters: the ASCII hash when every
// character is ASCII, so such a text meets the ASCII lines it equals.
std::uint64_t LoweredTextHash(const std::wstring& lowered) {
    std::uint64_t hash = 0;
    std::string narrow;
    for (const wchar_t c : lowered) {
        if (static_cast<std::uint32_t>(c) >= 0x80) break;
        narrow += static_cast<char>(c);
    }
    if (narrow.size() == lowered.size() && AsciiLowerHash(narrow, hash)) return hash;
    hash = 14695981039346656037ull;  // FNV-1a over the code units
    for (const wchar_t c : lowered) hash = (hash ^ static_cast<std::uint32_t>(c)) * 1099511628211ull;
    return Finish(hash);
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Where each kept line starts in the rewritten file: 32 bits a slot while the file is below
// 4 GiB (the rewritten file is never longer than the playlist), 64 above.
class OffsetArray {
public:
    OffsetArray(std::size_t size, std::size_t largestOffset) {
        if (largestOffset <= UINT32_MAX) {
            narrow_.resize(size);
        } else {
            wide_.resize(size);
        }
    }
    std::size_t operator[](std::size_t slot) const {
        return narrow_.empty() ? static_cast<std::size_t>(wide_[slot]) : narrow_[slot];
    }
    void Set(std::size_t slot, std::size_t offset) {
        if (narrow_.empty()) {
            wide_[slot] = offset;
        } else {
            narrow_[slot] = static_cast<std::uint32_t>(offset);
        }
    }

private:
    std::vector<std::uint32_t> narrow_;
    std::vector<std::uint64_t> wide_;
};

// How many slots the table needs: the lines that can be kept, at most three quarters full,
// and up to half full where the file's size pays for it. Only lines that can be told apart
// can be kept: an empty line never, and there are only so many different short lines
// (254 of one byte, 254 squared of two; CR and LF end a line). So a file of empty or very
// short lines, however many, asks for a small table, and every line counted costs at least
// four bytes of the file, against five bytes a slot.
std::size_t TableSize(std::string_view body) {
    std::size_t oneByte = 0, twoBytes = 0, longer = 0;
    LineReader reader(body);
    std::string_view line;
    while (reader.Next(line)) {
        if (line.size() == 1) {
            ++oneByte;
        } else if (line.size() == 2) {
            ++twoBytes;
        } else if (line.size() > 2) {
            ++longer;
        }
    }
    const std::size_t keepable = std::min<std::size_t>(oneByte, 254) +
                                 std::min<std::size_t>(twoBytes, 254 * 254) + longer;
    const std::size_t fewest = keepable + keepable / 3 + 16;
    return std::max(fewest, std::min(2 * keepable, body.size() * 3 / 10));
}

class DuplicateFilter {
public:
    DuplicateFilter(const PlaylistText& playlist, OperationHost& host)
        : playlist_(playlist),
          host_(host),
          marks_(TableSize(playlist.Body())),
          offsets_(marks_.size(), playlist.bytes.size()) {}

    void operator()(std::string_view line, PlaylistWriter& kept) {
        if (line.empty()) return;
        std::wstring lowered;  // the line's lower-cased characters, for a non-ASCII line only
        std::uint64_t hash = 0;
        const bool ascii = AsciiLowerHash(line, hash);
        if (!ascii) {
            lowered = Lowered(line);
            hash = LoweredTextHash(lowered);
        }
        const auto mark = static_cast<std::uint8_t>((hash >> 57) + 1);  // 1 to 128
        std::size_t slot = SlotOf(hash);
        for (; marks_[slot] != 0; slot = slot + 1 == marks_.size() ? 0 : slot + 1) {
            if (marks_[slot] == mark && Same(line, ascii, lowered, kept.Written(), offsets_[slot])) {
                message_.assign(L"Duplicate ");
                playlist_.AppendDecoded(message_, line);
                host_.AppendLog(message_);
                return;
            }
        }
        kept.Add(line);
        marks_[slot] = mark;
        offsets_.Set(slot, kept.Written().size() - line.size() - 2);  // before its CR LF
    }

private:
    // The hash's place in a table of any size: its low 57 bits scaled to the table (the
    // high bits make the mark).
    std::size_t SlotOf(std::uint64_t hash) const {
        const unsigned __int128 scaled =
            static_cast<unsigned __int128>(hash << 7) * static_cast<unsigned __int128>(marks_.size());
        return static_cast<std::size_t>(scaled >> 64);
    }

    // The kept line that starts at offset of the rewritten file: it runs to its CR LF.
    static std::string_view KeptLineAt(std::string_view written, std::size_t offset) {
        const std::string_view rest = written.substr(offset);
        return rest.substr(0, FindLineEnd(rest));
    }

    std::wstring Lowered(std::string_view line) const {
        std::wstring text = playlist_.Decode(line);
        LowerCaseInPlace(text);
        return text;
    }

    // Whether line equals, after lower-casing, the kept line at offset of written.
    bool Same(std::string_view line, bool ascii, const std::wstring& lowered, std::string_view written,
              std::size_t offset) const {
        // The common case, a repeat of an ASCII line, straight on the bytes: the kept line
        // has the same bytes but for case, and ends where line does (a kept line holds no CR,
        // and its CR LF follows it). A shorter kept line stops the loop at its CR.
        const char* other = written.data() + offset;
        if (ascii) {
            std::size_t i = 0;
            while (i < line.size() && AsciiLower(line[i]) == AsciiLower(other[i])) ++i;
            if (i == line.size() && other[i] == '\r') return true;
        }
        const std::string_view otherLine = KeptLineAt(written, offset);
        if (ascii && IsAscii(otherLine)) return false;  // two ASCII lines differ on their bytes
        return (ascii ? Lowered(line) : lowered) == Lowered(otherLine);
    }

    const PlaylistText& playlist_;
    OperationHost& host_;
    std::wstring message_;  // reused from line to line
    // Open addressing over two arrays of the same size (TableSize). A probe reads marks_
    // alone: one byte a slot, 0 for an empty one, else 7 bits of the kept line's hash plus
    // one, which rule out almost every other line. At half a megabyte for 200,000 lines it
    // stays in the processor's cache, where a table of whole entries would miss it on
    // nearly every line. offsets_ holds where each kept line starts in the rewritten file.
    std::vector<std::uint8_t> marks_;
    OffsetArray offsets_;
};

class StripDuplicatesRule final : public PlaylistRule {
public:
    PlannedChange Plan(PlaylistRun& run) override {
        DuplicateFilter filter(run.playlist, run.context.host);
        kept_.emplace(run.playlist.bytes, run.playlist.bomLength);
        return RewriteLines(run, filter, *kept_);
    }

private:
    std::optional<PlaylistWriter> kept_;  // holds the planned bytes until the run ends
};

}  // namespace

RunOutcome StripDuplicates(const RunContext& context, const std::wstring& playlistPath) {
    StripDuplicatesRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
