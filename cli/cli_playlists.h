#pragma once
// The playlist arguments of tallowmere-cli turned into playlist paths. Windows shells hand
// wildcards over unexpanded, so the program expands them itself; a folder stands for the
// playlists in it. Window-free: the folders are read through FolderSource.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "playlist/file_system.h"

namespace tallowmere::cli {

// What the expansion reads of the file system.
class FolderSource {
public:
    virtual ~FolderSource() = default;
    // Whether path names an existing folder.
    virtual bool IsFolder(const std::wstring& path) = 0;
    // As playlist::FileSystem::ListFolder.
    virtual playlist::ErrorCode ListFolder(const std::wstring& folder,
                                           const std::function<void(const playlist::FolderEntry&)>& visit) = 0;
    // A text that is the same for two paths exactly when the file system says they name the
    // same file or folder (its identity, or where it gives none, the path it finally names);
    // nullopt when path names nothing that can be asked.
    virtual std::optional<std::wstring> IdentityKey(const std::wstring& path) = 0;
};

struct ExpandedPlaylists {
    // The playlist paths in order of first mention, each file once, spelled as the user
    // spelled it (or its folder) the first time.
    std::vector<std::wstring> playlists;
    // One line for each argument that gave no playlist, beginning with the argument.
    std::vector<std::wstring> problems;
    // The expansion was stopped (Ctrl+C) before it was done.
    bool stopped = false;
};

// Whether name matches a wildcard pattern the way the system's file search matches a long
// name: letter case ignored, "*" any run of characters, "?" one character, and a pattern
// ending in ".*" also matches a name without a dot ("*.*" matches every name).
bool MatchesWildcard(const std::wstring& name, const std::wstring& pattern);

// Whether name is that of a playlist a pattern or a folder takes: ".m3u" or ".m3u8", any case.
bool IsPlaylistName(const std::wstring& name);

// Whether name is one of the files this program keeps beside playlists and never takes for
// one, even when it is named whole: a backup ("..._backup"), a temporary file of a write or
// copy under way ("~tm....tmp", "~copying-....tmp"), or watch mode's main backup and archives
// ("winamp.m3u.bak", "winamp.m3u.bak.14.6.12", "winamp.m3u.bak.14.6.12.2").
bool IsProgramsOwnFile(const std::wstring& name);

// Each argument in turn:
//  - one holding "*" or "?" in its last part: the playlists (IsPlaylistName) of its folder
//    whose names match, sorted by name ignoring case;
//  - a folder: its playlists, sorted by name ignoring case, and with recursive those of its
//    subfolders after them, each subfolder in the same way, in name order (links and
//    junctions are not followed, nor a folder already entered, by its identity);
//  - a file of the program's own (IsProgramsOwnFile): a problem;
//  - anything else: itself, unchanged, whatever its name.
// A file met again, by its identity, is left out. An argument that gives no playlist is a
// problem, and the others still count. stop (when given) is asked between folders and names;
// when it answers yes the expansion ends (stopped).
ExpandedPlaylists ExpandPlaylistArguments(FolderSource& folders, const std::vector<std::wstring>& arguments,
                                          bool recursive, const std::function<bool()>& stop = {});

}  // namespace tallowmere::cli
