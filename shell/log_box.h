#pragma once
// What a click on an error-log line shows. Window-free: tested natively.
#include <cstddef>
#include <string>

namespace tallowmere::shell {

// A message box lays out its text in time that grows with the square of its length: a line of
// megabytes would hold the window for minutes. Up to this many characters a line is shown whole.
inline constexpr std::size_t kLongestLogLineInBox = 32767;

// The line as the box shows it: whole up to kLongestLogLineInBox characters; a longer one
// cut to that length in all, ending in "..." (never between the halves of a surrogate pair).
inline std::wstring LogLineForBox(std::wstring line) {
    if (line.size() <= kLongestLogLineInBox) return line;
    std::size_t keep = kLongestLogLineInBox - 3;
    if (line[keep - 1] >= 0xD800 && line[keep - 1] <= 0xDBFF) --keep;  // a pair's first half
    line.resize(keep);
    line += L"...";
    return line;
}

}  // namespace tallowmere::shell
