#pragma once
// The command line of tallowmere-cli, as a pure function from its arguments.
#include <optional>
#include <string>
#include <vector>

namespace tallowmere::cli {

enum class CliOperation {
    RemoveTags, StripMissing, StripDupes, CopyToFolder,
    Relink, MakeRelative, MakeAbsolute, Restore,
};

struct CliRequest {
    CliOperation operation = CliOperation::RemoveTags;
    bool dryRun = false;
    bool quiet = false;
    bool recursive = false;  // folder arguments take their subfolders too
    std::vector<std::wstring> playlists;
    std::vector<std::wstring> libraryFolders;  // relink: every --in FOLDER
};

struct CliParse {
    enum class Kind { Run, Help, Version, UsageError } kind = Kind::UsageError;
    CliRequest request;     // Kind::Run
    std::wstring problem;   // Kind::UsageError: what is wrong, for standard error
};

// arguments: argv without the program's own name.
CliParse ParseCliArguments(const std::vector<std::wstring>& arguments);

// The text of --help.
std::wstring CliUsage();

}  // namespace tallowmere::cli
