// Text conversions through the system's code pages.
#include "playlist/text_codec.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace tallowmere::playlist {
namespace {

UINT CodePageOf(TextEncoding encoding) { return encoding == TextEncoding::Utf8 ? CP_UTF8 : CP_ACP; }

}  // namespace

std::wstring DecodeText(std::string_view bytes, TextEncoding encoding) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    const UINT codePage = CodePageOf(encoding);
    const int inputLength = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), inputLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), inputLength, text.data(), length);
    return text;
}

std::string EncodeText(std::wstring_view text, TextEncoding encoding) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const UINT codePage = CodePageOf(encoding);
    const int inputLength = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(codePage, 0, text.data(), inputLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), inputLength, bytes.data(), length, nullptr,
                        nullptr);
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
