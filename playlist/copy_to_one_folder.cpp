// Copy to One Folder: copies every song a playlist names into one folder beside it, named
// after the playlist, and writes there a new playlist that names each song by its file name.
//
// Design: the playlist is read whole before the first copy, so every entry is resolved and
// given its name in the copy folder up front. Names are unique within a run, ignoring case:
//  - the same song (same resolved path, ignoring case) listed twice is copied once and named
//    twice;
//  - a song that already lies in the copy folder under its own name keeps that name, so no
//    other song of that name is copied over it;
//  - any other song whose name is taken becomes "name (2).ext", "name (3).ext"...;
//  - the new playlist's own name is taken from the start, so no song is copied over it.
// Only plain Windows file names are written (no separators, ":" streams, "..", device names),
// so nothing lands outside the copy folder; other names are logged as failed copies and still
// listed. The selected playlist itself is only read.
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

constexpr wchar_t kFinalCaption[] = L"Copy songs in a Winamp PL to a seperate directory";
// The copy folder is the playlist's path less this many characters (its ".m3u").
constexpr std::size_t kCutLength = 4;

std::wstring ShortNameMessage(const std::wstring& playlistName) {
    return L"No copy folder can be made for the playlist name \"" + playlistName +
           L"\": the folder is named after the playlist without its last 4 characters, so "
           L"the name needs more than 4 characters. Nothing was copied.";
}

std::wstring Lowered(std::wstring text) {
    LowerCaseInPlace(text);
    return text;
}

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9 (also with a superscript 1-3):
// names Windows opens as devices, with or without an extension.
bool IsDeviceName(std::wstring_view name) {
    std::wstring_view stem = name.substr(0, name.find(L'.'));
    while (stem.ends_with(L' ')) stem.remove_suffix(1);  // Windows drops them before it looks
    std::wstring lower;
    for (const wchar_t c : stem) lower += AsciiLower(c);
    if (lower == L"con" || lower == L"prn" || lower == L"aux" || lower == L"nul" ||
        lower == L"conin$" || lower == L"conout$") {
        return true;
    }
    if (lower.size() != 4 || !(lower.starts_with(L"com") || lower.starts_with(L"lpt"))) return false;
    const wchar_t digit = lower[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
           digit == L'\u00B3';
}

// A name that, put after the copy folder, names a file in that folder and nothing else.
bool IsPlainFileName(std::wstring_view name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;  // ".", ".." too
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wstring_view(L"\\/:<>\"|?*").find(c) != std::wstring_view::npos) {
            return false;
        }
    }
    return !IsDeviceName(name);
}

// The bytes of an entry that spell its file name, so the new playlist holds them as the
// playlist did. The name follows the entry's last backslash; in a double-byte code page a
// trailing byte can be 0x5C, so the bytes after each 0x5C, from the last one back, are tried
// until they decode to the name.
std::string FileNameBytes(std::string_view line, const std::wstring& name, const PlaylistText& playlist) {
    std::size_t searchEnd = line.size();
    for (;;) {
        const std::size_t slash = searchEnd == 0 ? std::string_view::npos : line.rfind('\\', searchEnd - 1);
        const std::string_view tail = line.substr(slash == std::string_view::npos ? 0 : slash + 1);
        if (playlist.Decode(tail) == name) return std::string(tail);
        if (slash == std::string_view::npos) break;
        searchEnd = slash;
    }
    // Not found in the bytes: the name written anew, or, when the playlist's encoding cannot
    // hold it exactly, the entry's bytes as read (the copy is still named by the characters).
    if (std::optional<std::string> encoded = playlist.Encode(name)) return std::move(*encoded);
    return std::string(line);
}

// "name (k).ext", or "name (k)" for a name without an extension. Works on characters and on
// the playlist's bytes alike: a '.' byte is never part of a longer character in any playlist
// encoding (UTF-8, or an ANSI code page whose trailing bytes are 0x40 and above).
template <typename Text>
Text Numbered(const Text& name, unsigned k) {
    const std::size_t dot = name.rfind('.');
    const std::size_t cut = dot == Text::npos || dot == 0 ? name.size() : dot;
    Text number;
    for (const char c : " (" + std::to_string(k) + ")") number += static_cast<typename Text::value_type>(c);
    return name.substr(0, cut) + number + name.substr(cut);
}

enum class CopyState { Pending, Copied, Failed };

// A song of the playlist: one per resolved path, however often it is listed.
struct Song {
    std::wstring source;        // the resolved path
    std::wstring name;          // its file name, as GetFileName gives it
    std::string nameBytes;      // the same in the playlist's bytes
    bool plain = false;         // the name can be written in the copy folder
    std::wstring copyName;      // its name there (plain songs only)
    std::string copyNameBytes;  // the same in the playlist's encoding
    CopyState state = CopyState::Pending;
};

// A line of the new playlist: a tag line as read, or a song.
struct PlannedLine {
    std::string_view tag;  // empty for a song (an empty line is dropped, never planned)
    std::size_t song = 0;
};

class CopyPlan {
public:
    CopyPlan(const PlaylistText& playlist, const std::wstring& playlistPath, std::wstring copyFolder)
        : copyFolder_(std::move(copyFolder)) {
        const std::wstring playlistFolder = PlaylistFolder(playlistPath);
        std::unordered_map<std::wstring, std::size_t> songBySource;  // lower-cased source
        LineReader reader(playlist.Body());
        std::string_view line;
        while (reader.Next(line)) {
            switch (ClassifyLine(line)) {
                case LineKind::Empty:
                    continue;
                case LineKind::Tag:
                    lines_.push_back({line, 0});
                    continue;
                case LineKind::Entry:
                    break;
            }
            // The selected playlist's path is the drive source of root-relative entries.
            std::wstring source = ResolveEntry(playlist.Decode(line), playlistFolder, playlistPath);
            const auto [known, added] = songBySource.try_emplace(Lowered(source), songs_.size());
            if (added) {
                Song song;
                song.name = GetFileName(source);
                song.nameBytes = FileNameBytes(line, song.name, playlist);
                song.plain = IsPlainFileName(song.name);
                song.source = std::move(source);
                songs_.push_back(std::move(song));
            }
            lines_.push_back({{}, known->second});
        }
        NameCopies(GetFileName(playlistPath));
    }

    const std::vector<PlannedLine>& Lines() const { return lines_; }
    Song& SongAt(std::size_t index) { return songs_[index]; }
    const std::wstring& CopyFolder() const { return copyFolder_; }

private:
    void NameCopies(const std::wstring& newPlaylistName) {
        std::unordered_set<std::wstring> taken{Lowered(newPlaylistName)};
        // Songs already in the copy folder under their own names keep them.
        for (Song& song : songs_) {
            if (!song.plain) continue;
            const std::wstring lowered = Lowered(song.name);
            if (Lowered(copyFolder_ + song.name) == Lowered(song.source) && taken.insert(lowered).second) {
                song.copyName = song.name;
                song.copyNameBytes = song.nameBytes;
            }
        }
        for (Song& song : songs_) {
            if (!song.plain || !song.copyName.empty()) continue;
            song.copyName = song.name;
            song.copyNameBytes = song.nameBytes;
            for (unsigned k = 2; !taken.insert(Lowered(song.copyName)).second; ++k) {
                song.copyName = Numbered(song.name, k);
                song.copyNameBytes = Numbered(song.nameBytes, k);
            }
        }
    }

    std::wstring copyFolder_;
    std::vector<Song> songs_;
    std::vector<PlannedLine> lines_;
};

// Copies one song into the copy folder; no when it could not be copied. A song whose path is
// already its copy's path (in any letter case) is not copied over itself.
bool CopySong(FileSystem& files, const Song& song, const std::wstring& copyFolder) {
    if (!song.plain) return false;
    const std::wstring destination = copyFolder + song.copyName;
    if (Lowered(destination) == Lowered(song.source)) return false;
    return DoFileCopy(files, song.source, destination);
}

RunOutcome CopyToOneFolderUnguarded(const RunContext& context, const std::wstring& playlistPath) {
    OperationHost& host = context.host;
    RunOutcome outcome = RunOutcome::Done;
    const std::optional<PlaylistText> playlist = OpenPlaylist(context, playlistPath, outcome);
    if (!playlist) return outcome;
    const std::wstring playlistName = GetFileName(playlistPath);
    if (playlistName.size() <= kCutLength) {
        // The cut would reach into the playlist's folder, or name the playlist itself.
        host.ShowMessage(ShortNameMessage(playlistName));
        return RunOutcome::Refused;
    }

    host.ClearLog();
    CopyPlan plan(*playlist, playlistPath,
                  playlistPath.substr(0, playlistPath.size() - kCutLength) + L"\\");
    CreatePathTree(context.files, plan.CopyFolder());

    PlaylistWriter newPlaylist(playlist->Bom());
    // The planned lines are the playlist's lines less the empty ones: counted already.
    EventPacer pacer(host, plan.Lines().size());
    for (const PlannedLine& line : plan.Lines()) {
        if (!line.tag.empty()) {
            newPlaylist.Add(line.tag);
            pacer.Tick();
            if (pacer.Cancelled()) return RunOutcome::Cancelled;
            continue;
        }
        Song& song = plan.SongAt(line.song);
        newPlaylist.Add(song.plain ? song.copyNameBytes : song.nameBytes);
        host.SetCaption(L"Copying " + song.name);
        if (song.state == CopyState::Pending) {
            song.state = CopySong(context.files, song, plan.CopyFolder()) ? CopyState::Copied
                                                                           : CopyState::Failed;
        }
        if (song.state == CopyState::Failed) host.AppendLog(L"Couldn't Copy " + song.name);
        pacer.TickAfterSlowStep();
        if (pacer.Cancelled()) return RunOutcome::Cancelled;
    }
    pacer.Finish();
    if (host.Cancelled()) return RunOutcome::Cancelled;

    const std::wstring newPlaylistPath = plan.CopyFolder() + playlistName;
    const ErrorCode written = context.files.ReplaceWholeFile(newPlaylistPath, newPlaylist.Finish());
    host.SetCaption(kFinalCaption);
    if (written != 0) {
        host.ReportFailure({L"Could not write the new playlist", newPlaylistPath, written});
        return RunOutcome::Failed;
    }
    host.ShowMessage(L"Finished with " + std::to_wstring(host.LogCount()) + L" errors");
    return RunOutcome::Done;
}

}  // namespace

RunOutcome CopyToOneFolder(const RunContext& context, const std::wstring& playlistPath) {
    return FailingWhenOutOfMemory(context, playlistPath,
                                  [&] { return CopyToOneFolderUnguarded(context, playlistPath); });
}

}  // namespace tallowmere::playlist
