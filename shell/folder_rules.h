#pragma once
// Path rules of the drive, folder and file lists. Window-free: builds and is tested natively.
#include <string>
#include <string_view>
#include <vector>

namespace tallowmere::shell {

// One row of the folder list above the subfolders: the root, then each folder down to the
// current one, each a step further indented.
struct FolderStep {
    std::wstring name;  // what the row shows: "C:\" for the root, else the folder's name
    std::wstring path;  // the full path that opening the row moves to
};

// The folders along path from its root ("C:\" or "\\server\share\") down to path itself.
// A trailing backslash is ignored. Empty for a path without a root.
std::vector<FolderStep> FolderChain(std::wstring_view path);

// The full path of a subfolder of folder (no doubled backslash at a root).
std::wstring ChildFolderPath(std::wstring_view folder, std::wstring_view name);

// File_Click's selected path: the folder list's path, "\", the file name. The backslash
// is added whatever the folder ends with, so a root gives two in a row ("C:\\a.m3u").
std::wstring SelectedPlaylistPath(std::wstring_view folderPath, std::wstring_view fileName);

// Whether a file name matches the file list's pattern "*.m3u", ignoring letter case.
// Compared on the long name: FindFirstFile's own "*.m3u" would also match "a.m3u8"
// through its 8.3 short name.
bool MatchesPlaylistPattern(std::wstring_view fileName);

// Sorts names for display, ignoring letter case (ASCII and Latin-1 letters).
void SortNames(std::vector<std::wstring>& names);

}  // namespace tallowmere::shell
