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

private:
    std::string_view bytes_;
    std::size_t position_ = 0;
};

// All lines at once (for tests and small files).
std::vector<std::string_view> SplitLines(std::string_view bytes);

// The number of lines LineReader takes from bytes.
std::size_t CountLines(std::string_view bytes);

// Where the first CR or LF of bytes is; bytes.size() when there is none.
std::size_t FindLineEnd(std::string_view bytes);

// Every byte is below 0x80.
bool IsAscii(std::string_view bytes);

// A playlist file as read: the bytes, the encoding, and where the lines start.
struct PlaylistText {
    std::string bytes;
    TextEncoding encoding = TextEncoding::Ansi;
    std::size_t bomLength = 0;  // 3 when the file starts with a UTF-8 byte-order mark

    std::string_view Bom() const { return std::string_view(bytes).substr(0, bomLength); }
    // Everything after the byte-order mark: the lines with their line ends.
    std::string_view Body() const { return std::string_view(bytes).substr(bomLength); }
    std::wstring Decode(std::string_view line) const;
    // Decode, appended to text (saves a string for a log line built around it).
    void AppendDecoded(std::wstring& text, std::string_view line) const;
    // EncodeText in the playlist's encoding: nullopt when text cannot be written exactly.
    std::optional<std::string> Encode(std::wstring_view text) const { return EncodeText(text, encoding); }
    // Whether line reads as text that encodes back to the same bytes (no invalid bytes that
    // decoding would replace): only then may a new line be built from its text.
    bool DecodesExactly(std::string_view line) const;
};

// nullopt when the bytes are no 8-bit text playlist: they start with a UTF-16 byte-order mark
// (FF FE, FE FF) or hold a NUL byte (a song renamed to .m3u, a UTF-16 export).
std::optional<PlaylistText> ParsePlaylist(std::string bytes, std::wstring_view path);

// Builds the rewritten file: each kept line followed by CR LF, behind the byte-order mark the
// playlist had. An empty list gives zero bytes, byte-order mark or not.
//
// Made over a playlist's own bytes, it writes the kept lines over the lines already read: a
// rewritten file is mostly no longer than the old one, so it needs no second buffer of the
// file's size (on Windows, fresh memory costs about as much as reading the file). Lines must
// then be added in reading order, each a view of those bytes; a line that would reach past
// the end of its own line end, into bytes not yet read, moves the file into a string of its
// own first. Either way Written() is the file so far.
class PlaylistWriter {
public:
    explicit PlaylistWriter(std::string_view bom = {}) : bom_(bom) {}
    // Over bytes (a playlist as read, its first bomLength bytes a byte-order mark).
    PlaylistWriter(std::string& bytes, std::size_t bomLength);
    void Reserve(std::size_t bytes);
    void Add(std::string_view line) { Add({}, line); }
    // A line written anew: prefix (already encoded, not a view of the playlist's bytes)
    // followed by original bytes.
    void Add(std::string_view prefix, std::string_view line);
    std::size_t LineCount() const { return lineCount_; }
    // The file as it stands: the finished bytes once the last line is added.
    std::string_view Written() const;
    // Made over a playlist's bytes: whether the file so far is those bytes, every line kept
    // as it was (so a run that ends here has nothing to write).
    bool Unchanged() const;
    // The finished bytes as a string; the writer is spent afterwards.
    std::string Finish();

private:
    bool FitsInPlace(std::string_view line, std::size_t length) const;
    void MoveToOwnString();
    void StartLine();

    std::string bom_;
    std::string out_;
    std::string* source_ = nullptr;  // the bytes written over, until a line does not fit
    std::string_view pending_;       // the line that did not fit, while the writer moves
    std::size_t inPlace_ = 0;        // bytes of the file written over source_ so far
    std::size_t reserve_ = 0;
    std::size_t lineCount_ = 0;
    bool unchanged_ = true;
};

// Convenience for a whole list of lines.
std::string RewriteBytes(const std::vector<std::string_view>& lines, std::string_view bom = {});

}  // namespace tallowmere::playlist
