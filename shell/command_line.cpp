#include "shell/command_line.h"

#include "playlist/text_codec.h"

namespace tallowmere::shell {

namespace {

constexpr wchar_t kQuote = L'"';

}  // namespace

std::wstring ArgumentText(std::wstring_view rawCommandLine) {
    // The program's own name, as Windows' start-up code cuts it off before WinMain: in
    // quotes up to the closing quote (no escapes), otherwise up to the first blank or
    // control character. Then the white space that separates it from the arguments.
    size_t position = 0;
    if (!rawCommandLine.empty() && rawCommandLine.front() == kQuote) {
        const size_t closing = rawCommandLine.find(kQuote, 1);
        position = closing == std::wstring_view::npos ? rawCommandLine.size() : closing + 1;
    } else {
        while (position < rawCommandLine.size() && rawCommandLine[position] > L' ') ++position;
    }
    while (position < rawCommandLine.size() && rawCommandLine[position] <= L' ' && rawCommandLine[position] != 0) {
        ++position;
    }
    // Everything after that, trailing blanks included, belongs to the arguments.
    return std::wstring(rawCommandLine.substr(position));
}

StartMode ModeFromArgumentText(std::wstring_view argumentText) {
    // The platform's ordinary case mapping: the system's on Windows, the C library's elsewhere
    // (the rules are also built and tested natively).
    std::wstring lower(argumentText);
    playlist::LowerCaseInPlace(lower);
    if (lower.empty()) return StartMode::Interactive;
    // Whatever the first character is (dash, slash, anything), it only introduces the word.
    const std::wstring_view switchWord = std::wstring_view(lower).substr(1);
    if (switchWord == L"watchfile") return StartMode::Watch;
    if (switchWord == L"help") return StartMode::Help;
    return StartMode::Interactive;
}

}  // namespace tallowmere::shell
