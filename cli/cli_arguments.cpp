#include "cli/cli_arguments.h"

#include <array>
#include <utility>

namespace tallowmere::cli {
namespace {

constexpr std::array<std::pair<const wchar_t*, CliOperation>, 8> kSubcommands{{
    {L"remove-tags", CliOperation::RemoveTags},
    {L"strip-missing", CliOperation::StripMissing},
    {L"strip-dupes", CliOperation::StripDupes},
    {L"copy-to-folder", CliOperation::CopyToFolder},
    {L"relink", CliOperation::Relink},
    {L"make-relative", CliOperation::MakeRelative},
    {L"make-absolute", CliOperation::MakeAbsolute},
    {L"restore", CliOperation::Restore},
}};

// Switches that take no value, each setting one flag of the request.
struct FlagOption {
    const wchar_t* name;
    const wchar_t* shortName;  // nullptr: none
    bool CliRequest::*flag;
};

constexpr std::array<FlagOption, 3> kFlagOptions{{
    {L"--dry-run", nullptr, &CliRequest::dryRun},
    {L"--quiet", nullptr, &CliRequest::quiet},
    {L"--recursive", L"-r", &CliRequest::recursive},
}};

const FlagOption* FindFlagOption(const std::wstring& argument) {
    for (const FlagOption& option : kFlagOptions) {
        if (argument == option.name || (option.shortName != nullptr && argument == option.shortName)) return &option;
    }
    return nullptr;
}

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
        if (argument == L"--version") {
            CliParse parse;
            parse.kind = CliParse::Kind::Version;
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
        } else if (const FlagOption* option = optionsEnded ? nullptr : FindFlagOption(argument)) {
            parse.request.*(option->flag) = true;
        } else if (!optionsEnded && argument == L"--in") {
            if (parse.request.operation != CliOperation::Relink) return UsageError(L"--in is for relink only");
            if (++i == arguments.size()) return UsageError(L"--in needs a folder");
            parse.request.libraryFolders.push_back(arguments[i]);
        } else if (!optionsEnded && argument.size() > 1 && argument.starts_with(L"--")) {
            return UsageError(L"unknown option: " + argument);
        } else {
            parse.request.playlists.push_back(argument);
        }
    }
    if (parse.request.playlists.empty()) return UsageError(L"no playlist given");
    if (parse.request.operation == CliOperation::Relink && parse.request.libraryFolders.empty()) {
        return UsageError(L"relink needs --in FOLDER");
    }
    return parse;
}

std::wstring CliUsage() {
    return L"Usage: tallowmere-cli remove-tags|strip-missing|strip-dupes|copy-to-folder\n"
           L"                      [--dry-run] [--quiet] [--recursive] PLAYLIST...\n"
           L"       tallowmere-cli relink --in FOLDER [--in FOLDER]... [--dry-run] [--quiet] [--recursive] PLAYLIST...\n"
           L"       tallowmere-cli make-relative|make-absolute|restore [--dry-run] [--quiet] [--recursive] PLAYLIST...\n"
           L"       tallowmere-cli --help | --version\n"
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
           L"A playlist in which nothing changes is not touched at all: no rewrite, no backup.\n"
           L"The repairs below change only the entries they name; every other line is written\n"
           L"back as read. Entries are read as Windows reads them (\"/\" is \"\\\"); an entry\n"
           L"that names no file (\"http://...\", \"C:a.mp3\") is left alone.\n"
           L"\n"
           L"  relink           point entries whose song is missing at the file of the same\n"
           L"                   name found below the --in folders (or, for a converted library,\n"
           L"                   the same name with another audio extension). The candidate that\n"
           L"                   shares most of the entry's folders, counted upward from the file,\n"
           L"                   wins; equal best changes nothing, and a best that shares no\n"
           L"                   folder with the entry is taken only from directly inside an\n"
           L"                   --in folder. Prints per entry \"Relinked: OLD -> NEW\",\n"
           L"                   \"Ambiguous: OLD (N candidates)\", \"Unsure: OLD -> FILE (no\n"
           L"                   folder in common)\", \"Not found: OLD\" or\n"
           L"                   \"Can't encode: OLD -> PATH\".\n"
           L"                   Music moved from E:\\Music to D:\\Media\\Music:\n"
           L"                     tallowmere-cli relink --in D:\\Media\\Music D:\\Lists\\Party.m3u\n"
           L"                     Relinked: E:\\Music\\Abba\\Gold\\01 Waterloo.mp3 -> D:\\Media\\Music\\Abba\\Gold\\01 Waterloo.mp3\n"
           L"                   An entry that was relative to the playlist stays relative when\n"
           L"                   the new file is on the playlist's drive.\n"
           L"  make-relative    write entries on the playlist's drive relative to its folder:\n"
           L"                     tallowmere-cli make-relative D:\\Media\\Lists\\Party.m3u\n"
           L"                     Rewritten: D:\\Media\\Music\\Abba\\01 Waterloo.mp3 -> ..\\Music\\Abba\\01 Waterloo.mp3\n"
           L"  make-absolute    write relative and \\root-relative entries as full paths:\n"
           L"                     tallowmere-cli make-absolute D:\\Media\\Lists\\Party.m3u\n"
           L"                     Rewritten: ..\\Music\\Abba\\01 Waterloo.mp3 -> D:\\Media\\Music\\Abba\\01 Waterloo.mp3\n"
           L"  restore          put \"<playlist>_backup\" back and keep the replaced playlist as\n"
           L"                   the new backup (a second restore undoes the first):\n"
           L"                     tallowmere-cli restore D:\\Media\\Lists\\Party.m3u\n"
           L"                     Restored: D:\\Media\\Lists\\Party.m3u\n"
           L"\n"
           L"  --in FOLDER      relink: a library folder to search (walked once per run; it\n"
           L"                   must exist)\n"
           L"  --dry-run        compute and print the error log, write nothing at all (the\n"
           L"                   repairs' summary then says so)\n"
           L"  --quiet          print nothing to standard output\n"
           L"  -r, --recursive  a FOLDER also takes the playlists in its subfolders\n"
           L"  --help           print this text\n"
           L"  --version        print the product name and version\n"
           L"\n"
           L"PLAYLIST may hold the wildcards * and ? in its file name (\"*.m3u\", \"Mix?.m3u\"):\n"
           L"the program expands them itself to the .m3u and .m3u8 files that match, in name\n"
           L"order, letter case ignored; a pattern that matches none is an error. A FOLDER\n"
           L"stands for every .m3u and .m3u8 file in it. Each file is processed once, however\n"
           L"often and however spelt it is named. Backups (\"..._backup\"), temporary files and\n"
           L"watch mode's files (\"winamp.m3u.bak...\") are never taken, even named whole.\n"
           L"\n"
           L"The error-log lines go to standard output, one a line; messages the window\n"
           L"would show in a box (and one summary per playlist of the repairs above) go to\n"
           L"standard error. Every standard-error line begins with the playlist's path and\n"
           L"\": \". When more than one playlist is processed, every standard-output line is\n"
           L"the playlist's path, a tab, and the log line; with one playlist the log lines\n"
           L"stand alone. Text is written with WriteConsoleW on a console and as UTF-8 when\n"
           L"redirected. File names may hold any Unicode character.\n"
           L"\n"
           L"Ctrl+C (or closing the console) stops the run before the playlist in hand is\n"
           L"rewritten, or lets a rewrite already under way finish; the playlist is left\n"
           L"either as it was or fully rewritten, and later playlists are not started.\n"
           L"\n"
           L"Exit status: 0 every playlist processed, 1 any playlist could not be\n"
           L"(missing, unreadable, refused, no backup to restore, or a pattern or folder\n"
           L"that gave none), 2 usage error, 130 interrupted by Ctrl+C.\n";
}

}  // namespace tallowmere::cli
