#pragma once
// The playlist arguments of tallowmere-cli turned into playlist paths. Windows shells hand
// wildcards over unexpanded, so the program expands them itself; a folder stands for the
// playlists in it. Window-free: the folders are read through FolderSource.
#include <functional>
#include <string>
#include <vector>

#include "playlist/file_system.h"

namespace tallowmere::shell {

// What the expansion reads of the file system.
class FolderSource {
public:
    virtual ~FolderSource() = default;
    // Whether path names an existing folder.
    virtual bool IsFolder(const std::wstring& path) = 0;
    // As playlist::FileSystem::ListFolder.
    virtual playlist::ErrorCode ListFolder(const std::wstring& folder,
                                           const std::function<void(const playlist::FolderEntry&)>& visit) = 0;
};

struct ExpandedPlaylists {
    // The playlist paths in order, spelled as the user spelled their folder.
    std::vector<std::wstring> playlists;
    // One line for each argument that gave no playlist, beginning with the argument.
    std::vector<std::wstring> problems;
};

// Whether name matches a wildcard pattern the way the system's file search matches a long
// name: letter case ignored, "*" any run of characters, "?" one character, and a pattern
// ending in ".*" also matches a name without a dot ("*.*" matches every name).
bool MatchesWildcard(const std::wstring& name, const std::wstring& pattern);

// Whether name is that of a playlist a folder argument takes: ".m3u" or ".m3u8", any case.
bool IsPlaylistName(const std::wstring& name);

// Each argument in turn:
//  - one holding "*" or "?" in its last part: the files of its folder whose names match,
//    sorted by name ignoring case; backups ("..._backup") and folders left out;
//  - a folder: its playlists (IsPlaylistName), sorted by name ignoring case, and with
//    recursive those of its subfolders after them, each subfolder in the same way, in
//    name order (links and junctions are not followed);
//  - anything else: itself, unchanged.
// An argument that gives no playlist is a problem, and the others still count.
ExpandedPlaylists ExpandPlaylistArguments(FolderSource& folders, const std::vector<std::wstring>& arguments,
                                          bool recursive);

}  // namespace tallowmere::shell
