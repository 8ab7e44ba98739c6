// The command line's rules, from literal command lines as Windows hands them to the program.
#include <gtest/gtest.h>

#include <string>

#include "shell/command_line.h"

namespace tallowmere::shell {
namespace {

const char* Name(StartMode mode) {
    switch (mode) {
    case StartMode::Interactive: return "interactive";
    case StartMode::Watch: return "watch";
    case StartMode::Help: return "help";
    }
    return "?";
}

TEST(CommandLine, RawCommandLineToArgumentTextAndMode) {
    struct Case {
        const wchar_t* raw;          // GetCommandLineW
        const wchar_t* argumentText; // what the program sees as its command-line text
        StartMode mode;
    };
    const Case cases[] = {
        // No arguments at all.
        {L"tallowmere.exe", L"", StartMode::Interactive},
        {L"\"C:\\Program Files\\Tallowmere\\tallowmere.exe\"", L"", StartMode::Interactive},
        {L"tallowmere.exe   ", L"", StartMode::Interactive},
        {L"", L"", StartMode::Interactive},
        // Any one leading character introduces the word; the case of its letters is free.
        {L"tallowmere.exe -watchfile", L"-watchfile", StartMode::Watch},
        {L"tallowmere.exe /watchfile", L"/watchfile", StartMode::Watch},
        {L"tallowmere.exe xwatchfile", L"xwatchfile", StartMode::Watch},
        {L"tallowmere.exe -WatchFile", L"-WatchFile", StartMode::Watch},
        {L"tallowmere.exe -WATCHFILE", L"-WATCHFILE", StartMode::Watch},
        {L"tallowmere.exe \"watchfile", L"\"watchfile", StartMode::Watch},
        {L"tallowmere.exe -help", L"-help", StartMode::Help},
        {L"tallowmere.exe /HELP", L"/HELP", StartMode::Help},
        {L"tallowmere.exe ?help", L"?help", StartMode::Help},
        {L"tallowmere.exe hhelp", L"hhelp", StartMode::Help},
        // The program's name in quotes, with blanks in it, or followed by several blanks or a tab.
        {L"\"C:\\Program Files\\Tallowmere\\tallowmere.exe\" -watchfile", L"-watchfile", StartMode::Watch},
        {L"\"C:\\Program Files\\Tallowmere\\tallowmere.exe\"-help", L"-help", StartMode::Help},
        {L"tallowmere.exe    -help", L"-help", StartMode::Help},
        {L"tallowmere.exe\t-help", L"-help", StartMode::Help},
        {L"\"C:\\odd\"name.exe -help", L"name.exe -help", StartMode::Interactive},
        {L"\"C:\\unclosed quote.exe -help", L"", StartMode::Interactive},
        // One character: an empty switch.
        {L"tallowmere.exe -", L"-", StartMode::Interactive},
        {L"tallowmere.exe x", L"x", StartMode::Interactive},
        // The word without a leading character loses its first letter.
        {L"tallowmere.exe watchfile", L"watchfile", StartMode::Interactive},
        {L"tallowmere.exe help", L"help", StartMode::Interactive},
        // Nothing may follow the word, not even a blank; nothing more may lead it.
        {L"tallowmere.exe --watchfile", L"--watchfile", StartMode::Interactive},
        {L"tallowmere.exe -watchfile ", L"-watchfile ", StartMode::Interactive},
        {L"tallowmere.exe -watchfile x", L"-watchfile x", StartMode::Interactive},
        {L"tallowmere.exe -help -watchfile", L"-help -watchfile", StartMode::Interactive},
        {L"tallowmere.exe \"-watchfile\"", L"\"-watchfile\"", StartMode::Interactive},
        {L"tallowmere.exe -watchfiles", L"-watchfiles", StartMode::Interactive},
        {L"tallowmere.exe -watch", L"-watch", StartMode::Interactive},
        // Other spellings of help are not help.
        {L"tallowmere.exe -h", L"-h", StartMode::Interactive},
        {L"tallowmere.exe -?", L"-?", StartMode::Interactive},
        {L"tallowmere.exe /?", L"/?", StartMode::Interactive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "raw command line: " << testing::PrintToString(std::wstring(c.raw)));
        const std::wstring text = ArgumentText(c.raw);
        EXPECT_EQ(text, c.argumentText);
        EXPECT_STREQ(Name(ModeFromArgumentText(text)), Name(c.mode));
    }
}

}  // namespace
}  // namespace tallowmere::shell
