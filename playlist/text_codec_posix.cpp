// Text conversions for native builds: UTF-8, and Windows-1252 standing in for the ANSI code
// page, so the playlist rules build and run on the developer's machine under sanitizers.
#include "playlist/text_codec.h"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <cstdint>

namespace tallowmere::playlist {
namespace {

// Windows-1252 0x80-0x9F; the five bytes it leaves undefined map to the same code point,
// as Windows itself does.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::wstring DecodeText(std::string_view bytes, TextEncoding encoding) {
    std::wstring text;
    if (encoding == TextEncoding::Utf8) {
        AppendDecodedUtf8(text, bytes);
        return text;
    }
    // Windows-1252 gives every byte a character of its own: nothing to escape.
    text.reserve(bytes.size());
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        text += static_cast<wchar_t>(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80]
                                                                 : char32_t{byte});
    }
    return text;
}

std::optional<std::string> EncodeText(std::wstring_view text, TextEncoding encoding) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (encoding == TextEncoding::Utf8) {
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
            AppendUtf8(bytes, c);
            continue;
        }
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes += static_cast<char>(c);
            continue;
        }
        std::size_t k = 0;
        while (k < kCp1252High.size() && kCp1252High[k] != c) ++k;
        if (k == kCp1252High.size()) return std::nullopt;
        bytes += static_cast<char>(0x80 + k);
    }
    return bytes;
}

void LowerCaseInPlace(std::wstring& text) {
    // The C.UTF-8 locale carries the full Unicode case mapping; the plain "C" locale maps
    // ASCII only. Made once: it never changes while the process runs.
    static const locale_t caseLocale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    for (wchar_t& c : text) {
        c = caseLocale ? static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), caseLocale))
                       : static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
    }
}

std::wstring FileNameKey(std::wstring_view name) {
    // Stands in for the file system's upper-case table with the locale's simple mapping.
    static const locale_t caseLocale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    std::wstring key(name);
    for (wchar_t& c : key) {
        c = caseLocale ? static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), caseLocale))
                       : static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
    }
    return key;
}

}  // namespace tallowmere::playlist
