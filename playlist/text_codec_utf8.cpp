// UTF-8 decoding shared by both platforms. Windows' own decoder turns every malformed
// sequence into U+FFFD, which would make "Caf\xE9" and "Caf\xE8" the same text; this one
// keeps each undecodable byte recognisable (see DecodeText).
#include "playlist/text_codec.h"

#include <cstdint>

namespace tallowmere::playlist {
namespace {

// The length of the well-formed UTF-8 sequence at bytes[i] and its code point; 0 when the
// byte there starts none (it is then one undecodable byte).
std::size_t SequenceAt(std::string_view bytes, std::size_t i, char32_t& value) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() - i < length) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    return length;
}

// Calls put(unit) for each wchar_t of the decoded text.
template <typename Put>
void DecodeUtf8(std::string_view bytes, Put&& put) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            put(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        char32_t value = 0;
        const std::size_t length = SequenceAt(bytes, i, value);
        if (length == 0) {
            put(EscapedByte(lead));
            ++i;
            continue;
        }
        if constexpr (sizeof(wchar_t) == 2) {
            if (value >= 0x10000) {
                value -= 0x10000;
                put(static_cast<wchar_t>(0xD800 + (value >> 10)));
                put(static_cast<wchar_t>(0xDC00 + (value & 0x3FF)));
                i += length;
                continue;
            }
        }
        put(static_cast<wchar_t>(value));
        i += length;
    }
}

}  // namespace

void AppendDecodedUtf8(std::wstring& text, std::string_view bytes) {
    // Counted first, so a long line takes no more memory than its characters need.
    std::size_t units = 0;
    DecodeUtf8(bytes, [&](wchar_t) { ++units; });
    text.reserve(text.size() + units);
    DecodeUtf8(bytes, [&](wchar_t unit) { text += unit; });
}

std::wstring ReplaceLoneSurrogates(std::wstring_view text) {
    std::wstring shown(text);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(shown[i]);
        if (c < 0xD800 || c > 0xDFFF) continue;
        const bool pair = sizeof(wchar_t) == 2 && c <= 0xDBFF && i + 1 < shown.size() &&
                          static_cast<std::uint32_t>(shown[i + 1]) >= 0xDC00 &&
                          static_cast<std::uint32_t>(shown[i + 1]) <= 0xDFFF;
        if (pair) {
            ++i;  // a high surrogate with its low one: one character
            continue;
        }
        shown[i] = L'\uFFFD';
    }
    return shown;
}

}  // namespace tallowmere::playlist
