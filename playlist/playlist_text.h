#pragma once
// Reading a playlist's bytes into lines and writing kept lines back. See the note at the
// top of playlist_text.cpp for why lines stay bytes.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/text_codec.h"

namespace tallowmere::playlist {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// UTF-16 byte-order marks (FF FE, FE FF) and NUL bytes mark a file that is no 8-bit text
// playlist: a song renamed to .m3u, a UTF-16 export.
bool IsTextPlaylist(std::string_view bytes);

// Strictly valid UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// UTF-8 when the bytes start with a UTF-8 byte-order mark, or the file name ends in ".m3u8"
// (any case), or the bytes are valid UTF-8 with at least one byte of 0x80 or above; the ANSI
// code page otherwise.
TextEncoding DetectEncoding(std::string_view bytes, std::wstring_view path);

// Takes the lines of a playlist one by one, without their line ends. CR LF, CR and LF each end
// a line; the last line needs no line end; after the last line end there is no empty line.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}
    bool Next(std::string_view& line);
    // Bytes consumed so far (for progress).
    std::size_t Position() const { return position_; }

private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

// All lines at once (for tests and small files).
std::vector<std::string_view> SplitLines(std::string_view bytes);

// A playlist file as read: the bytes, the encoding, and where the lines start.
struct PlaylistText {
    std::string bytes;
    TextEncoding encoding = TextEncoding::Ansi;
    std::size_t bomLength = 0;  // 3 when the file starts with a UTF-8 byte-order mark

    std::string_view Bom() const { return std::string_view(bytes).substr(0, bomLength); }
    // Everything after the byte-order mark: the lines with their line ends.
    std::string_view Body() const { return std::string_view(bytes).substr(bomLength); }
    std::wstring Decode(std::string_view line) const { return DecodeText(line, encoding); }
    std::string Encode(std::wstring_view text) const { return EncodeText(text, encoding); }
};

// nullopt when the bytes are no text playlist (IsTextPlaylist).
std::optional<PlaylistText> ParsePlaylist(std::string bytes, std::wstring_view path);

// Builds the rewritten file: each kept line followed by CR LF, behind the byte-order mark the
// playlist had. An empty list gives zero bytes, byte-order mark or not.
class PlaylistWriter {
public:
    explicit PlaylistWriter(std::string_view bom = {}) : bom_(bom) {}
    void Reserve(std::size_t bytes) { out_.reserve(bytes); }
    void Add(std::string_view line);
    // A line written anew: prefix (already encoded) followed by original bytes.
    void Add(std::string_view prefix, std::string_view line);
    std::size_t LineCount() const { return lineCount_; }
    // The finished bytes; the writer is spent afterwards.
    std::string Finish();

private:
    void StartLine();
    std::string bom_;
    std::string out_;
    std::size_t lineCount_ = 0;
};

// Convenience for a whole list of lines.
std::string RewriteBytes(const std::vector<std::string_view>& lines, std::string_view bom = {});

}  // namespace tallowmere::playlist
