#pragma once
// Paths of playlists and songs: the four path methods of the main window, the classes of
// playlist lines, and entry resolution, the one way every operation and repair turns an
// entry into the file it names. Everything but the three methods that take a FileSystem is a
// pure function of its text.
#include <string>
#include <string_view>

#include "playlist/file_system.h"

namespace tallowmere::playlist {

// Yes when the length of the file at Path can be read (a folder answers no).
bool FileExists(FileSystem& files, const std::wstring& Path);

// The text after the last backslash of Path: the whole of Path when it has none, the empty
// text when it ends in one. For the playlist's own path, which the window composes with
// backslashes; an entry's file name is EntryFileName's.
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

// ---- Entry resolution -------------------------------------------------------------------
//
// Windows reads "/" in a path as "\", and so do the players: "C:/Music/a.mp3" and
// "//nas/music/a.mp3" name songs. Entries are resolved as Windows reads them, on characters
// (a double-byte character's trailing byte is never taken for a separator).

// "\" or "/".
bool IsPathSeparator(wchar_t c);

// The forms of an entry:
//  - Absolute: a drive letter position, ":" and a separator ("C:\...", "C:/...");
//  - Network: two separators ("\\server\share\...", "//nas/...", "\\?\C:\...");
//  - RootRelative: one separator ("\Music\a.mp3"), on the drive the run takes them from;
//  - Relative: anything else, in the playlist's folder;
//  - NotAFile: an entry that cannot name a file: a ":" anywhere but after the drive letter
//    ("http://...", "spotify:track:x", "a.mp3:stream") or a drive without a separator after
//    it ("C:a.mp3", relative to a current folder no playlist has). Kept untested by Strip
//    non-existant songs, left alone by the repairs.
enum class EntryForm { Absolute, Network, RootRelative, Relative, NotAFile };
EntryForm FormOf(std::wstring_view entry);

// A full path written the way Windows reads it: every "/" a "\", doubled separators made
// single, "." and ".." steps resolved (".." at the volume root stays at the root). A path in
// the "\\?\" form is taken literally, as Windows takes it; a text with no volume root gets its
// separators only.
std::wstring NormalizePath(std::wstring_view path);

// The text after the last separator of either kind (empty when the path ends in one).
std::wstring_view EntryFileName(std::wstring_view path);

// Turns the entries of one playlist into full paths. driveSource is what is put before a
// root-relative entry (the operation says which drive: see the three below); the playlist
// folder is put before a relative one.
class EntryResolver {
public:
    EntryResolver(std::wstring playlistFolder, std::wstring driveSource);

    // The entry's form, and in path (for every form but NotAFile, which leaves it empty) the
    // full path it names, as NormalizePath writes it.
    EntryForm Resolve(std::wstring_view entry, std::wstring& path) const;
    std::wstring Resolve(std::wstring_view entry) const {
        std::wstring path;
        Resolve(entry, path);
        return path;
    }

    // What entry resolution puts before an entry of this form as read, to write it back as a
    // full path with its own characters: nothing, the drive source or the playlist folder.
    const std::wstring& PrefixFor(EntryForm form) const;

    const std::wstring& Folder() const { return folder_; }
    const std::wstring& DriveSource() const { return drive_; }

private:
    std::wstring folder_;
    std::wstring drive_;
    std::wstring none_;
};

// The drive sources. Strip non-existant songs takes root-relative entries to the drive of the
// program's own folder and Copy to One Folder to the playlist's, each by the first two
// characters of its path; the repairs take them to the playlist's volume ("D:",
// "\\server\share"), so that what they write names a file wherever the program lies.
std::wstring DriveOfPath(std::wstring_view path);
std::wstring VolumeOfPlaylist(std::wstring_view playlistPath);

// A rewritten relative entry: target (a normalized full path) relative to folder (a
// normalized full path ending in a backslash, on the same volume root), with backslashes
// ("Songs\a.mp3", "..\Music\a.mp3"). One that would begin with "#" is written ".\#...", so
// that it stays a song and is not read as a tag line.
std::wstring RelativeEntryText(std::wstring_view folder, std::wstring_view target);

// target relative to folder, as above but without the "#" rule.
std::wstring RelativePathFrom(std::wstring_view folder, std::wstring_view target);

// The volume root a full path lies on: "X:\" for a drive letter, "\\server\share\" for a
// share, and the same behind "\\?\" or "\\.\" ("\\?\C:\", "\\?\UNC\server\share\",
// "\\?\Volume{...}\"); empty when it names no volume (a relative text, three backslashes,
// no share name). Backslashes only: for normalized paths.
std::wstring VolumeRootOf(std::wstring_view path);
// The length of that root (0 for none).
std::size_t VolumeRootLength(std::wstring_view path);

// Whether two full paths lie under the same volume root, spelled alike but for letter case: a
// relative path cannot lead from one drive letter to another, whatever volume they are.
bool SameVolumeRoot(std::wstring_view a, std::wstring_view b);

// Names as the repairs compare them (case-insensitive): the one place names are folded.
void FoldCaseInPlace(std::wstring& text);
bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b);

}  // namespace tallowmere::playlist
