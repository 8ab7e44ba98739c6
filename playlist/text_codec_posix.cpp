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

constexpr char32_t kReplacement = 0xFFFD;

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

// One code point from UTF-8 at bytes[i]; advances i. Malformed input gives U+FFFD for one byte.
char32_t NextUtf8(std::string_view bytes, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + length > bytes.size()) {
        ++i;
        return kReplacement;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return value;
}

}  // namespace

std::wstring DecodeText(std::string_view bytes, TextEncoding encoding) {
    std::wstring text;
    text.reserve(bytes.size());
    if (encoding == TextEncoding::Ansi) {
        for (const char b : bytes) {
            const auto byte = static_cast<unsigned char>(b);
            text += static_cast<wchar_t>(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80]
                                                                     : char32_t{byte});
        }
        return text;
    }
    for (std::size_t i = 0; i < bytes.size();) text += static_cast<wchar_t>(NextUtf8(bytes, i));
    return text;
}

std::string EncodeText(std::wstring_view text, TextEncoding encoding) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (encoding == TextEncoding::Utf8) {
            AppendUtf8(bytes, c > 0x10FFFF ? kReplacement : c);
            continue;
        }
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes += static_cast<char>(c);
            continue;
        }
        char replacement = '?';
        for (std::size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] == c) replacement = static_cast<char>(0x80 + k);
        }
        bytes += replacement;
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
