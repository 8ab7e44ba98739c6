#pragma once
// Paths of playlists and songs: the four path methods of the main window, the classes of
// playlist lines and entry resolution. Everything but the three methods that take a
// FileSystem is a pure function of its text.
#include <string>
#include <string_view>

#include "playlist/file_system.h"

namespace tallowmere::playlist {

// Yes when the length of the file at Path can be read (a folder answers no).
bool FileExists(FileSystem& files, const std::wstring& Path);

// The text after the last backslash of Path: the whole of Path when it has none, the empty
// text when it ends in one. A forward slash is an ordinary character.
std::wstring GetFileName(std::wstring_view Path);
// The same text as a view of Path.
std::wstring_view FileNamePart(std::wstring_view Path);

// Makes every folder along Path but the first component (the drive) and the last (a file
// name, empty when Path ends in a backslash); folders that exist or cannot be made are
// passed over.
void CreatePathTree(FileSystem& files, std::wstring_view Path);

// Copies OPath to DPath, replacing DPath. No, and nothing touched, when the two texts are
// equal (exactly, case-sensitive); no when the copy fails.
bool DoFileCopy(FileSystem& files, const std::wstring& OPath, const std::wstring& DPath);

// Everything up to and including the last backslash of the playlist's path.
std::wstring PlaylistFolder(std::wstring_view playlistPath);

// Playlist lines. The tests look at the first bytes only, and every encoding a playlist can
// have keeps ASCII bytes as ASCII characters, so they work on the bytes as read.
enum class LineKind { Empty, Tag, Entry };
LineKind ClassifyLine(std::string_view line);

// The tag name (text before the first ':', or the whole line) is exactly "#EXTINF".
bool IsExtinfLine(std::string_view line);

// Forms of an entry, told apart on characters (a double-byte character's trailing byte is
// never taken for a backslash).
enum class EntryForm { Absolute, Network, RootRelative, Relative };
EntryForm FormOf(std::wstring_view entry);

// What entry resolution puts in front of the entry: nothing (absolute, network), the first
// two characters of the drive source (root-relative) or the playlist folder (relative).
std::wstring ResolutionPrefix(std::wstring_view entry, std::wstring_view playlistFolder,
                              std::wstring_view driveSource);

// The entry's full path: ResolutionPrefix followed by the entry.
std::wstring ResolveEntry(std::wstring_view entry, std::wstring_view playlistFolder,
                          std::wstring_view driveSource);

// A stream address: a scheme of two or more ASCII letters followed by "://".
bool IsStreamAddress(std::wstring_view entry);

// The volume root a full path lies on: "X:\" for a drive letter, "\\server\share\" for a
// share, and the same behind "\\?\" or "\\.\" ("\\?\C:\", "\\?\UNC\server\share\",
// "\\?\Volume{...}\"); empty when it names no volume (a relative text, three backslashes,
// no share name).
std::wstring VolumeRootOf(std::wstring_view path);
// The length of that root (0 for none).
std::size_t VolumeRootLength(std::wstring_view path);

}  // namespace tallowmere::playlist
