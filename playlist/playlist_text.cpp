// Reading and rewriting playlists.
//
// Design: a playlist is read whole into one byte string and handed out as views of its lines;
// nothing is decoded unless a rule needs characters (the tag test, the entry forms, existence,
// lower-casing). A line that an operation keeps is copied from those bytes straight into the
// output, so bytes the code page cannot represent, or that are not valid UTF-8, survive; only
// the line end becomes CR LF. A line written anew (an entry resolved to a full path) is the
// encoded prefix followed by the entry's own bytes, so even then the entry is not round-tripped.
// The output is built in one string and handed to FileSystem::ReplaceWholeFile, which writes
// a temporary file and swaps it in: the playlist is either the old bytes or the new ones.
// A UTF-8 byte-order mark is not part of the first line; it is written again in front of the
// first kept line.
#include "playlist/playlist_text.h"

#include <cstring>

namespace tallowmere::playlist {

bool IsTextPlaylist(std::string_view bytes) {
    if (bytes.size() >= 2) {
        const auto first = static_cast<unsigned char>(bytes[0]);
        const auto second = static_cast<unsigned char>(bytes[1]);
        if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) return false;
    }
    return std::memchr(bytes.data(), '\0', bytes.size()) == nullptr;
}

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
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

bool HasHighByte(std::string_view bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
    return false;
}

}  // namespace

TextEncoding DetectEncoding(std::string_view bytes, std::wstring_view path) {
    if (bytes.starts_with(kUtf8Bom) || EndsWithM3u8(path)) return TextEncoding::Utf8;
    if (HasHighByte(bytes) && IsValidUtf8(bytes)) return TextEncoding::Utf8;
    return TextEncoding::Ansi;
}

bool LineReader::Next(std::string_view& line) {
    if (position_ >= bytes_.size()) return false;
    const char* start = bytes_.data() + position_;
    const std::size_t rest = bytes_.size() - position_;
    std::size_t length = 0;
    while (length < rest && start[length] != '\r' && start[length] != '\n') ++length;
    line = std::string_view(start, length);
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

std::optional<PlaylistText> ParsePlaylist(std::string bytes, std::wstring_view path) {
    if (!IsTextPlaylist(bytes)) return std::nullopt;
    PlaylistText text;
    text.encoding = DetectEncoding(bytes, path);
    text.bomLength = std::string_view(bytes).starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    text.bytes = std::move(bytes);
    return text;
}

void PlaylistWriter::StartLine() {
    if (lineCount_++ == 0) out_.append(bom_);
}

void PlaylistWriter::Add(std::string_view line) {
    StartLine();
    out_.append(line);
    out_.append("\r\n");
}

void PlaylistWriter::Add(std::string_view prefix, std::string_view line) {
    StartLine();
    out_.append(prefix);
    out_.append(line);
    out_.append("\r\n");
}

std::string PlaylistWriter::Finish() { return std::move(out_); }

std::string RewriteBytes(const std::vector<std::string_view>& lines, std::string_view bom) {
    PlaylistWriter writer(bom);
    for (const std::string_view line : lines) writer.Add(line);
    return writer.Finish();
}

}  // namespace tallowmere::playlist
