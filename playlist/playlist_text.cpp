// Reading and rewriting playlists.
//
// Design: a playlist is read whole into one byte string and handed out as views of its lines;
// nothing is decoded unless a rule needs characters (the tag test, the entry forms, existence,
// lower-casing). A line that an operation keeps is copied from those bytes straight into the
// output, so bytes the code page cannot represent, or that are not valid UTF-8, survive; only
// the line end becomes CR LF. A line written anew (an entry resolved to a full path) is the
// encoded prefix followed by the entry's own bytes, so even then the entry is not round-tripped.
// The output is built in one string and handed to FileSystem::PrepareReplacement, which writes
// a temporary file and swaps it in: the playlist is either the old bytes or the new ones.
// A UTF-8 byte-order mark is not part of the first line; it is written again in front of the
// first kept line.
//
// Speed: a playlist can have hundreds of thousands of lines, and every byte of it passes
// through the scans below (refusal, encoding, line ends) before any rule sees a line. They
// look at eight bytes at a time, in plain C++ rather than the C library's memchr, which is
// a byte-by-byte loop in some Windows runtimes (the line-end search takes sixteen where SSE2
// is there).
#include "playlist/playlist_text.h"

#include "playlist/byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tallowmere::playlist {
namespace {

using byte_scan::kEveryByte;
using byte_scan::kHighBits;
using byte_scan::Load8;

// The high bit of every zero byte of word. It may also flag bytes above a zero byte, never
// below the first one: it is nonzero exactly when word has a zero byte, and its lowest flag
// is the first zero byte.
std::uint64_t ZeroBytes(std::uint64_t word) { return (word - kEveryByte) & ~word & kHighBits; }

struct ByteScan {
    bool hasNul = false;
    bool hasHighByte = false;  // a byte of 0x80 or above
};

// One pass over the whole file for both questions. No early exit, so the compiler can
// vectorize the loop; a file with a NUL byte is rare and is refused anyway.
ByteScan ScanBytes(std::string_view bytes) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::uint64_t zeros = 0, any = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t word = Load8(p + i);
        zeros |= ZeroBytes(word);
        any |= word;
    }
    bool nul = zeros != 0;
    for (; i < n; ++i) {
        nul = nul || p[i] == '\0';
        any |= static_cast<unsigned char>(p[i]);
    }
    return {nul, (any & kHighBits) != 0};
}

bool StartsWithUtf16Mark(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

}  // namespace

bool IsAscii(std::string_view bytes) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) any |= Load8(p + i);
    for (; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
    return (any & kHighBits) == 0;
}

std::size_t FindLineEnd(std::string_view bytes) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time where the processor has SSE2 (every x86-64 one).
    const __m128i carriageReturns = _mm_set1_epi8('\r');
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int ends = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(block, carriageReturns), _mm_cmpeq_epi8(block, lineFeeds)));
        if (ends != 0) return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(ends)));
    }
#endif
    for (; i + 8 <= n; i += 8) {
        const std::uint64_t word = Load8(p + i);
        const std::uint64_t ends = ZeroBytes(word ^ ('\r' * kEveryByte)) | ZeroBytes(word ^ ('\n' * kEveryByte));
        if (ends != 0) return i + static_cast<std::size_t>(std::countr_zero(ends)) / 8;
    }
    for (; i < n; ++i) {
        if (p[i] == '\r' || p[i] == '\n') return i;
    }
    return n;
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            // Runs of ASCII (most of a playlist) are passed eight bytes at a time.
            if (n - i >= 8 && (Load8(bytes.data() + i) & kHighBits) == 0) {
                i += 8;
            } else {
                ++i;
            }
            continue;
        }
        std::size_t length;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;   // overlong
            if (lead == 0xED) high = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;   // overlong
            if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (n - i < length) return false;
        if (p[i + 1] < low || p[i + 1] > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

namespace {

bool EndsWithM3u8(std::wstring_view path) {
    constexpr std::wstring_view kExtension = L".m3u8";
    if (path.size() < kExtension.size()) return false;
    const std::wstring_view tail = path.substr(path.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        wchar_t c = tail[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kExtension[i]) return false;
    }
    return true;
}

TextEncoding DetectEncodingAfterScan(std::string_view bytes, std::wstring_view path, bool hasHighByte) {
    if (bytes.starts_with(kUtf8Bom) || EndsWithM3u8(path)) return TextEncoding::Utf8;
    if (hasHighByte && IsValidUtf8(bytes)) return TextEncoding::Utf8;
    return TextEncoding::Ansi;
}

}  // namespace

TextEncoding DetectEncoding(std::string_view bytes, std::wstring_view path) {
    return DetectEncodingAfterScan(bytes, path, ScanBytes(bytes).hasHighByte);
}

bool LineReader::Next(std::string_view& line) {
    if (position_ >= bytes_.size()) return false;
    const std::size_t length = FindLineEnd(bytes_.substr(position_));
    line = bytes_.substr(position_, length);
    position_ += length;
    if (position_ < bytes_.size()) {
        // A CR takes a following LF with it; a lone LF (or CR) ends the line by itself.
        const bool carriageReturn = bytes_[position_] == '\r';
        ++position_;
        if (carriageReturn && position_ < bytes_.size() && bytes_[position_] == '\n') ++position_;
    }
    return true;
}

std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    LineReader reader(bytes);
    std::string_view line;
    while (reader.Next(line)) lines.push_back(line);
    return lines;
}

std::size_t CountLines(std::string_view bytes) {
    LineReader reader(bytes);
    std::string_view line;
    std::size_t count = 0;
    while (reader.Next(line)) ++count;
    return count;
}

std::optional<PlaylistText> ParsePlaylist(std::string bytes, std::wstring_view path) {
    const ByteScan scan = ScanBytes(bytes);
    if (StartsWithUtf16Mark(bytes) || scan.hasNul) return std::nullopt;
    PlaylistText text;
    text.encoding = DetectEncodingAfterScan(bytes, path, scan.hasHighByte);
    text.bomLength = std::string_view(bytes).starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    text.bytes = std::move(bytes);
    return text;
}

std::wstring PlaylistText::Decode(std::string_view line) const {
    std::wstring text;
    AppendDecoded(text, line);
    return text;
}

void PlaylistText::AppendDecoded(std::wstring& text, std::string_view line) const {
    // ASCII bytes are the same characters in every playlist encoding: no conversion needed
    // (on Windows that saves two MultiByteToWideChar calls a line).
    if (IsAscii(line)) {
        const std::size_t start = text.size();
        text.resize(start + line.size());
        wchar_t* to = text.data() + start;
        for (std::size_t i = 0; i < line.size(); ++i) to[i] = static_cast<unsigned char>(line[i]);
        return;
    }
    if (text.empty()) {
        text = DecodeText(line, encoding);  // no second copy of a long line
    } else {
        text.append(DecodeText(line, encoding));
    }
}

bool PlaylistText::DecodesExactly(std::string_view line) const {
    if (IsAscii(line)) return true;
    const std::optional<std::string> again = Encode(Decode(line));
    return again && *again == line;
}

PlaylistWriter::PlaylistWriter(std::string& bytes, std::size_t bomLength)
    : bom_(std::string_view(bytes).substr(0, bomLength)), source_(&bytes), inPlace_(bomLength) {}

void PlaylistWriter::Reserve(std::size_t bytes) {
    reserve_ = bytes;
    if (!source_) out_.reserve(bytes);
}

// Whether length bytes written for line stay within what the reader has passed: up to the
// end of the line's own line end.
bool PlaylistWriter::FitsInPlace(std::string_view line, std::size_t length) const {
    const auto start = reinterpret_cast<std::uintptr_t>(source_->data());
    const auto at = reinterpret_cast<std::uintptr_t>(line.data());
    if (at < start + inPlace_ || at + line.size() > start + source_->size()) return false;
    const std::string_view bytes(*source_);
    std::size_t end = at - start + line.size();
    if (end < bytes.size() && bytes[end] == '\r') ++end;
    if (end < bytes.size() && bytes[end] == '\n') ++end;  // LF alone, or after the CR
    return inPlace_ + length <= end;
}

void PlaylistWriter::MoveToOwnString() {
    // Room for the rest when no prefixes come (a line gains a byte at most, the last two),
    // so the string need not double while the playlist is still held.
    const auto start = reinterpret_cast<std::uintptr_t>(source_->data());
    std::size_t rest = 0, restLines = 0;
    if (const auto at = reinterpret_cast<std::uintptr_t>(pending_.data());
        at >= start && at <= start + source_->size()) {
        const std::string_view unread = std::string_view(*source_).substr(at - start);
        rest = unread.size();
        restLines = CountLines(unread);
    }
    out_.reserve(std::max(reserve_, inPlace_ + rest + restLines + 2));
    if (lineCount_ > 0) out_.assign(source_->data(), inPlace_);  // else StartLine adds bom_
    source_ = nullptr;
}

void PlaylistWriter::StartLine() {
    if (lineCount_++ == 0) out_.append(bom_);
}

void PlaylistWriter::Add(std::string_view prefix, std::string_view line) {
    const std::size_t length = prefix.size() + line.size() + 2;
    if (source_ && !FitsInPlace(line, length)) {
        pending_ = line;
        MoveToOwnString();
    }
    if (source_) {
        // Unchanged as long as every line is written where it was read, whole, with the CR LF
        // it had.
        if (unchanged_) {
            const std::size_t at = static_cast<std::size_t>(line.data() - source_->data());
            unchanged_ = prefix.empty() && at == inPlace_ && at + length <= source_->size() &&
                         std::string_view(*source_).substr(at + line.size(), 2) == "\r\n";
        }
        // The line first: it may overlap where it goes, and the prefix may cover its old place.
        char* to = source_->data() + inPlace_;
        if (!line.empty()) std::memmove(to + prefix.size(), line.data(), line.size());
        if (!prefix.empty()) std::memcpy(to, prefix.data(), prefix.size());
        std::memcpy(to + prefix.size() + line.size(), "\r\n", 2);
        inPlace_ += length;
        ++lineCount_;
        return;
    }
    StartLine();
    out_.append(prefix);
    out_.append(line);
    out_.append("\r\n");
}

bool PlaylistWriter::Unchanged() const {
    if (!source_) return false;  // a line did not fit: the file grew
    if (lineCount_ == 0) return source_->empty();
    return unchanged_ && inPlace_ == source_->size();
}

std::string_view PlaylistWriter::Written() const {
    if (lineCount_ == 0) return {};
    if (source_) return std::string_view(source_->data(), inPlace_);
    return out_;
}

std::string PlaylistWriter::Finish() {
    if (source_) return std::string(Written());
    return std::move(out_);
}

std::string RewriteBytes(const std::vector<std::string_view>& lines, std::string_view bom) {
    PlaylistWriter writer(bom);
    for (const std::string_view line : lines) writer.Add(line);
    return writer.Finish();
}

}  // namespace tallowmere::playlist
