#pragma once
// Converting playlist bytes to characters and back, and lower-casing. Platform code:
// text_codec_win.cpp uses the system's code pages; text_codec_posix.cpp stands in for them
// (Windows-1252 as the ANSI code page) so the playlist rules build and run natively.
#include <string>
#include <string_view>

namespace tallowmere::playlist {

// How the bytes of a playlist are read: the ANSI code page of the system, or UTF-8.
enum class TextEncoding { Ansi, Utf8 };

// Bytes to characters. Bytes that are invalid in the encoding become some character
// (U+FFFD or the code page's default); a line that is kept never goes through here.
std::wstring DecodeText(std::string_view bytes, TextEncoding encoding);

// Characters to bytes; characters the encoding cannot hold become the code page's default.
std::string EncodeText(std::wstring_view text, TextEncoding encoding);

// The platform's ordinary lower-case mapping, character by character (length unchanged).
void LowerCaseInPlace(std::wstring& text);

// A file name (or path) folded the way the file system compares names: every UTF-16 unit
// through the system's upper-case table, as CompareStringOrdinal with ignore case does. Two
// names in one folder name one file exactly when their keys are equal; usable as a hash key.
std::wstring FileNameKey(std::wstring_view name);

}  // namespace tallowmere::playlist
