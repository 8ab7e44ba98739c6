#pragma once
// The pieces of the eight-bytes-at-a-time scans over playlist bytes (playlist_text.cpp,
// strip_duplicates.cpp): a word's first byte is its lowest.
#include <bit>
#include <cstdint>
#include <cstring>

namespace tallowmere::playlist::byte_scan {

static_assert(std::endian::native == std::endian::little,
              "the eight-bytes-at-a-time scans take the first byte as the lowest");

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

// Eight bytes from p, whatever its alignment.
inline std::uint64_t Load8(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

}  // namespace tallowmere::playlist::byte_scan
