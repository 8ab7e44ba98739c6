// Text conversions through the system's code pages.
#include "playlist/text_codec.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace tallowmere::playlist {
namespace {

// The code page's own conversion; empty when it reports an invalid byte (or fails).
std::wstring DecodeAnsiStrictly(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    const int inputLength = static_cast<int>(bytes.size());
    const int length =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), inputLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), inputLength, text.data(), length);
    return text;
}

std::optional<std::string> EncodeAnsi(std::wstring_view text) {
    if (text.size() > INT_MAX) return std::nullopt;
    const int inputLength = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), inputLength,
                                           nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), inputLength, bytes.data(), length,
                        nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    return bytes;
}

// Whether the bytes are exactly what text encodes back to: then no other bytes decode to it.
bool RoundTrips(std::wstring_view text, std::string_view bytes) {
    if (text.empty()) return false;
    const std::optional<std::string> again = EncodeAnsi(text);
    return again && *again == bytes;
}

// Character by character (one byte, or a lead byte and its trail in a double-byte code
// page): each character that does not come back as its own bytes is escaped byte by byte.
std::wstring DecodeAnsiEscaping(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = IsDBCSLeadByteEx(CP_ACP, lead) && i + 1 < bytes.size() ? 2 : 1;
        const std::string_view character = bytes.substr(i, length);
        const std::wstring decoded = DecodeAnsiStrictly(character);
        if (RoundTrips(decoded, character)) {
            text += decoded;
        } else {
            for (const char b : character) text += EscapedByte(static_cast<unsigned char>(b));
        }
        i += length;
    }
    return text;
}

bool HasLoneSurrogate(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) return true;
    }
    return false;
}

}  // namespace

std::wstring DecodeText(std::string_view bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) {
        std::wstring text;
        AppendDecodedUtf8(text, bytes);
        return text;
    }
    if (bytes.empty()) return {};
    // The whole line at once when the code page gives it back byte for byte (nearly always).
    std::wstring text = DecodeAnsiStrictly(bytes);
    if (RoundTrips(text, bytes)) return text;
    return DecodeAnsiEscaping(bytes);
}

std::optional<std::string> EncodeText(std::wstring_view text, TextEncoding encoding) {
    if (text.empty()) return std::string();
    if (encoding == TextEncoding::Ansi) return EncodeAnsi(text);
    if (text.size() > INT_MAX || HasLoneSurrogate(text)) return std::nullopt;
    const int inputLength = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), inputLength,
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), inputLength, bytes.data(), length,
                        nullptr, nullptr);
    return bytes;
}

void LowerCaseInPlace(std::wstring& text) {
    // CharLowerBuffW works in pieces of at most DWORD length and keeps the length.
    std::size_t done = 0;
    while (done < text.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
        CharLowerBuffW(text.data() + done, piece);
        done += piece;
    }
}

std::wstring FileNameKey(std::wstring_view name) {
    // Without LCMAP_LINGUISTIC_CASING the upper-case mapping is the file system's table, the
    // one CompareStringOrdinal(..., TRUE) and NTFS names use; it maps unit for unit.
    std::wstring key(name);
    std::size_t done = 0;
    while (done < key.size()) {
        const int piece = static_cast<int>(std::min<std::size_t>(key.size() - done, 1u << 30));
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data() + done, piece,
                      key.data() + done, piece, nullptr, nullptr, 0);
        done += static_cast<std::size_t>(piece);
    }
    return key;
}

}  // namespace tallowmere::playlist
