#pragma once
// Converting playlist bytes to characters and back, and lower-casing. Platform code:
// text_codec_win.cpp uses the system's code pages; text_codec_posix.cpp stands in for them
// (Windows-1252 as the ANSI code page) so the playlist rules build and run natively.
// text_codec_utf8.cpp is shared by both.
#include <optional>
#include <string>
#include <string_view>

namespace tallowmere::playlist {

// How the bytes of a playlist are read: the ANSI code page of the system, or UTF-8.
enum class TextEncoding { Ansi, Utf8 };

// Bytes to characters. A byte that is no part of a character the encoding defines becomes
// the lone low surrogate U+DC00 + byte (U+DC80..U+DCFF for the usual bytes 0x80..0xFF), so
// two lines decode to the same text only when their undecodable bytes are the same too.
// Such a text is for comparing and showing, never for writing: EncodeText refuses it.
std::wstring DecodeText(std::string_view bytes, TextEncoding encoding);

// Characters to bytes, exactly: nullopt when a character cannot be written in the encoding
// as itself (no best-fit look-alikes, no default character, no lone surrogates).
std::optional<std::string> EncodeText(std::wstring_view text, TextEncoding encoding);

// A text made fit for showing or for UTF-8 output: each undecodable byte kept by DecodeText
// (and any other lone surrogate) becomes U+FFFD.
std::wstring ReplaceLoneSurrogates(std::wstring_view text);

// The platform's ordinary lower-case mapping, character by character (length unchanged).
void LowerCaseInPlace(std::wstring& text);

// Shared by both platforms: UTF-8 to characters with undecodable bytes escaped as above
// (UTF-16 where wchar_t has 16 bits, one unit a code point where it has 32).
void AppendDecodedUtf8(std::wstring& text, std::string_view bytes);
// The escape of one undecodable byte.
inline wchar_t EscapedByte(unsigned char byte) { return static_cast<wchar_t>(0xDC00 + byte); }

// A file name (or path) folded the way the file system compares names: every UTF-16 unit
// through the system's upper-case table, as CompareStringOrdinal with ignore case does. Two
// names in one folder name one file exactly when their keys are equal; usable as a hash key.
std::wstring FileNameKey(std::wstring_view name);

}  // namespace tallowmere::playlist
