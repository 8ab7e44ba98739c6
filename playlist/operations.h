#pragma once
// The four playlist operations behind the main window's buttons (and tallowmere-cli).
// Each takes the selected playlist path once, at its start, and works on that path alone.
#include <string>

#include "playlist/file_system.h"
#include "playlist/operation_host.h"

namespace tallowmere::playlist {

struct RunContext {
    OperationHost& host;
    FileSystem& files;
    // Folder of the running executable; its first two characters are the drive of
    // root-relative entries in Strip non-existant songs.
    std::wstring programFolder;
};

enum class RunOutcome {
    Done,      // the playlist was processed
    NotFound,  // "Unable to locate Winamp playlist..." was shown
    Refused,   // not a text playlist, or no copy folder can be made for its name
    Failed,    // a file failure ended the run (reported through ReportFailure)
    Cancelled, // the host asked to stop; the playlist was not replaced
};

RunOutcome RemoveTagInfo(const RunContext& context, const std::wstring& playlistPath);
RunOutcome StripMissingSongs(const RunContext& context, const std::wstring& playlistPath);
RunOutcome StripDuplicates(const RunContext& context, const std::wstring& playlistPath);
RunOutcome CopyToOneFolder(const RunContext& context, const std::wstring& playlistPath);

}  // namespace tallowmere::playlist
