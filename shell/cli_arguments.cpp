#include "shell/cli_arguments.h"

#include <array>
#include <utility>

namespace tallowmere::shell {
namespace {

constexpr std::array<std::pair<const wchar_t*, CliOperation>, 4> kSubcommands{{
    {L"remove-tags", CliOperation::RemoveTags},
    {L"strip-missing", CliOperation::StripMissing},
    {L"strip-dupes", CliOperation::StripDupes},
    {L"copy-to-folder", CliOperation::CopyToFolder},
}};

CliParse UsageError(std::wstring problem) {
    CliParse parse;
    parse.kind = CliParse::Kind::UsageError;
    parse.problem = std::move(problem);
    return parse;
}

}  // namespace

CliParse ParseCliArguments(const std::vector<std::wstring>& arguments) {
    for (const auto& argument : arguments) {
        if (argument == L"--") break;
        if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            CliParse parse;
            parse.kind = CliParse::Kind::Help;
            return parse;
        }
    }
    if (arguments.empty()) return UsageError(L"no operation given");

    CliParse parse;
    parse.kind = CliParse::Kind::Run;
    bool known = false;
    for (const auto& [name, operation] : kSubcommands) {
        if (arguments.front() == name) {
            parse.request.operation = operation;
            known = true;
        }
    }
    if (!known) return UsageError(L"unknown operation: " + arguments.front());

    bool optionsEnded = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (!optionsEnded && argument == L"--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == L"--dry-run") {
            parse.request.dryRun = true;
        } else if (!optionsEnded && argument == L"--quiet") {
            parse.request.quiet = true;
        } else if (!optionsEnded && argument.size() > 1 && argument.starts_with(L"--")) {
            return UsageError(L"unknown option: " + argument);
        } else {
            parse.request.playlists.push_back(argument);
        }
    }
    if (parse.request.playlists.empty()) return UsageError(L"no playlist given");
    return parse;
}

std::wstring CliUsage() {
    return L"Usage: tallowmere-cli remove-tags|strip-missing|strip-dupes|copy-to-folder\n"
           L"                      [--dry-run] [--quiet] PLAYLIST...\n"
           L"\n"
           L"Runs one playlist repair of Tallowmere on each PLAYLIST in turn, exactly as the\n"
           L"window's button of the same name does (same backup \"<playlist>_backup\", same\n"
           L"rewrite, same copy folder).\n"
           L"\n"
           L"  remove-tags      Remove Tag Info: drop #EXTINF lines and empty lines\n"
           L"  strip-missing    Strip non-existant songs: drop entries whose file is missing\n"
           L"  strip-dupes      Strip Duplicates: drop lines repeated in any letter case\n"
           L"  copy-to-folder   Copy to One Folder: copy the songs and a new playlist into\n"
           L"                   a folder beside the playlist\n"
           L"\n"
           L"  --dry-run        compute and print the error log, write nothing at all\n"
           L"  --quiet          print nothing to standard output\n"
           L"  --help           print this text\n"
           L"\n"
           L"The error-log lines go to standard output, one a line; messages the window\n"
           L"would show in a box go to standard error. Text is written with WriteConsoleW\n"
           L"on a console and as UTF-8 when redirected. File names may hold any Unicode\n"
           L"character.\n"
           L"\n"
           L"Exit status: 0 every playlist processed, 1 any playlist could not be\n"
           L"(missing, unreadable, refused), 2 usage error.\n";
}

}  // namespace tallowmere::shell
