#pragma once
// Paths as text: letter case folded the way NTFS compares names, "." and ".." steps resolved,
// one path written relative to a folder. Backslashes alone separate (as in entry
// resolution). And the two repairs built on them, make-relative and make-absolute.
#include <string>
#include <string_view>

#include "playlist/operations.h"

namespace tallowmere::playlist {

// A name as file names are compared (case-insensitive): the one place names are folded.
void FoldCaseInPlace(std::wstring& text);
bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b);

// A full path with its "." and ".." steps resolved and doubled backslashes made single; ".."
// at the volume root stays at the root. A text with no volume root comes back as it is.
std::wstring NormalizePath(std::wstring_view path);

// target (a normalized full path) written relative to folder (a normalized full path ending in
// a backslash, on the same volume root): "Songs\a.mp3", "..\Music\a.mp3".
std::wstring RelativePathFrom(std::wstring_view folder, std::wstring_view target);

// Whether two full paths lie under the same volume root, spelled alike but for letter case: a
// relative path cannot lead from one drive letter to another, whatever volume they are.
bool SameVolumeRoot(std::wstring_view a, std::wstring_view b);

// Writes every entry whose resolved path lies on the playlist's volume relative to the
// playlist folder; entries elsewhere, network entries and addresses stay as they are. Logs
// "Rewritten: <old> -> <new>" per changed entry.
RunOutcome MakeRelative(const RunContext& context, const std::wstring& playlistPath);

// Writes every relative and root-relative entry as its full path, "." and ".." resolved,
// whether the file exists or not. Logs "Rewritten: <old> -> <new>" per changed entry.
RunOutcome MakeAbsolute(const RunContext& context, const std::wstring& playlistPath);

}  // namespace tallowmere::playlist
