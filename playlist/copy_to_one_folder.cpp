// Copy to One Folder: copies every song a playlist names into one folder beside it, named
// after the playlist, and writes there a new playlist that names each song by its file name.
//
// Design: the playlist is read whole before the first copy, so every entry is resolved and
// its song known up front. Whether two paths are one file is asked of the file system (the
// file's identity), never read from their spelling; names in the copy folder are compared
// the way the file system compares them (FileNameKey).
//  - the same song (same file, however its path is spelled) listed twice is copied once and
//    named twice;
//  - a song that already lies in the copy folder under its own name keeps that name and is
//    not copied over itself;
//  - a name in the copy folder held by one of the playlist's songs, or by a copy made in this
//    run, is never written over: the song that wants it becomes "name (2).ext", "name (3).ext"...;
//  - the new playlist's own name is taken from the start, so no song is copied over it.
// Each song is copied to a temporary file in the copy folder and renamed into place when
// whole, so a failed copy leaves neither a partial file nor a damaged earlier copy; the new
// playlist is written the same way, and like the copies it is not flushed first (waiting for
// the disk there would wait for every copy before it). Only plain
// Windows file names are written (no separators, ":" streams, "..", device names), and the copy
// folder's own name must be one, so nothing lands outside the copy folder and the copy folder
// lies directly inside the playlist's folder; other names are logged as failed copies and still
// listed. Device namespace paths (\\.\pipe\x, \\?\GLOBALROOT\...) are never opened. The selected
// playlist itself is only read.
#include <algorithm>
#include <functional>
#include <optional>
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
constexpr ErrorCode kFileExists = 80;  // ERROR_FILE_EXISTS

std::wstring NoCopyFolderMessage(const std::wstring& playlistName) {
    return L"No copy folder can be made for the playlist name \"" + playlistName +
           L"\": the folder is named after the playlist without its last 4 characters, and what "
           L"is left must be a plain folder name (not empty, \".\" or \"..\", no device name "
           L"such as CON or COM1, none of \\ / : * ? \" < > |). Nothing was copied.";
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

// A name that, put after a folder, names a file or folder in that folder and nothing else.
bool IsPlainFileName(std::wstring_view name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;  // ".", ".." too
    for (const wchar_t c : name) {
        if (c < 0x20 || std::wstring_view(L"\\/:<>\"|?*").find(c) != std::wstring_view::npos) {
            return false;
        }
    }
    return !IsDeviceName(name);
}

// The copy folder's name: the playlist's file name without its last 4 characters, less the
// dots and blanks at its end that Windows would drop anyway ("mix.m3u8" gives "mix"). None when
// that is no plain folder name: with 4 characters or fewer the cut would reach into the
// playlist's folder or name the playlist itself, "..m3u" would leave "." (the playlist's own
// folder) and "...m3u" ".." (its parent). So the copy folder always lies directly inside the
// playlist's folder.
std::optional<std::wstring> CopyFolderName(std::wstring_view playlistName) {
    if (playlistName.size() <= kCutLength) return std::nullopt;
    std::wstring_view name = playlistName.substr(0, playlistName.size() - kCutLength);
    while (name.ends_with(L'.') || name.ends_with(L' ')) name.remove_suffix(1);
    if (!IsPlainFileName(name)) return std::nullopt;
    return std::wstring(name);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool StartsWithIgnoringAsciiCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != AsciiLower(prefix[i])) return false;
    }
    return true;
}

// A path into the device namespace rather than to a file: opening one can reach a pipe, a port
// or a raw volume and wait there for good. Windows takes two separators, "." or "?", and a
// separator (or the end) as a device path; of those, only "\\?\X:\..." and "\\?\UNC\..." spelt
// with backslashes name ordinary files. A share named "pipe" or "mailslot" reaches another
// machine's pipes and mailslots.
bool IsDeviceNamespacePath(std::wstring_view path) {
    if (path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
        (path[2] == L'.' || path[2] == L'?') && (path.size() == 3 || IsSeparator(path[3]))) {
        if (!path.starts_with(L"\\\\?\\")) return true;
        const std::wstring_view rest = path.substr(4);
        const bool drivePath = rest.size() >= 3 && ((rest[0] >= L'a' && rest[0] <= L'z') ||
                                                    (rest[0] >= L'A' && rest[0] <= L'Z')) &&
                               rest[1] == L':' && rest[2] == L'\\';
        return !drivePath && !StartsWithIgnoringAsciiCase(rest, L"UNC\\");
    }
    if (FormOf(path) != EntryForm::Network) return false;
    const std::size_t shareStart = path.find_first_of(L"\\/", 2);
    if (shareStart == std::wstring_view::npos) return false;
    std::wstring_view share = path.substr(shareStart + 1);
    share = share.substr(0, share.find_first_of(L"\\/"));
    return share.size() == std::wstring_view(L"mailslot").size()
               ? StartsWithIgnoringAsciiCase(share, L"mailslot")
               : share.size() == 4 && StartsWithIgnoringAsciiCase(share, L"pipe");
}

// The bytes of an entry that spell its file name, so the new playlist holds them as the
// playlist did. The name follows the entry's last separator; in a double-byte code page a
// trailing byte can be 0x5C, so the bytes after each separator, from the last one back, are
// tried until they decode to the name ("/" is 0x2F, never a trailing byte).
std::string FileNameBytes(std::string_view line, const std::wstring& name, const PlaylistText& playlist) {
    std::size_t searchEnd = line.size();
    for (;;) {
        const std::size_t slash =
            searchEnd == 0 ? std::string_view::npos : line.find_last_of("\\/", searchEnd - 1);
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

// The name a numbered one ("x (2).mp3") was made from ("x.mp3"), or nullopt when the name has
// not the form Numbered gives.
std::optional<std::wstring> NumberedBase(std::wstring_view name) {
    const std::size_t dot = name.rfind(L'.');
    const std::size_t cut = dot == std::wstring_view::npos || dot == 0 ? name.size() : dot;
    const std::wstring_view stem = name.substr(0, cut);
    if (!stem.ends_with(L')')) return std::nullopt;
    const std::size_t open = stem.rfind(L" (");
    if (open == std::wstring_view::npos || open + 3 > stem.size() - 1) return std::nullopt;
    const std::wstring_view digits = stem.substr(open + 2, stem.size() - 1 - (open + 2));
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return std::nullopt;
    }
    return std::wstring(stem.substr(0, open)) + std::wstring(name.substr(cut));
}

struct IdentityHash {
    std::size_t operator()(const FileIdentity& id) const {
        std::size_t h = std::hash<std::uint64_t>{}(id.indexLow);
        h ^= std::hash<std::uint64_t>{}(id.indexHigh) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        h ^= std::hash<std::uint64_t>{}(id.volume) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        return h;
    }
};
using IdentitySet = std::unordered_set<FileIdentity, IdentityHash>;

// The identities of folders' files by the keys of their names (long and short), from a
// single listing of each: asking one costs no open. Links are followed by asking the file
// system. Listings are kept up to a fixed number of names in all, so a playlist that goes back
// and forth between folders lists each once, and a folder too big to keep is asked name by
// name instead.
class FolderIdentities {
public:
    explicit FolderIdentities(FileSystem& files) : files_(files) {}

    // The identity of the file or folder name in folder (a path ending in a backslash); none
    // when nothing there has that name.
    std::optional<FileIdentity> Of(const std::wstring& folder, const std::wstring& name) {
        auto listing = listings_.find(folder);  // as spelt: another spelling is listed again
        if (listing == listings_.end()) listing = List(folder);
        if (!listing->second.usable) return files_.IdentityOf(folder + name);
        const auto found = listing->second.entries.find(FileNameKey(name));
        if (found == listing->second.entries.end()) return std::nullopt;
        if (found->second.reparsePoint) return files_.IdentityOf(folder + name);
        return found->second.identity;
    }

private:
    static constexpr std::size_t kMostNames = 1 << 16;
    struct Entry {
        FileIdentity identity;
        bool reparsePoint = false;
    };
    struct Listing {
        bool usable = false;
        std::unordered_map<std::wstring, Entry> entries;
    };

    std::unordered_map<std::wstring, Listing>::iterator List(const std::wstring& folder) {
        if (names_ >= kMostNames) {
            listings_.clear();
            names_ = 0;
        }
        Listing listing;
        std::size_t names = 0;
        listing.usable = files_.ListFolderIdentities(folder, [&](const FolderEntryIdentity& entry) {
                             if (++names > kMostNames) return;
                             const Entry value{entry.identity, entry.reparsePoint};
                             listing.entries.emplace(FileNameKey(entry.name), value);
                             if (!entry.shortName.empty()) listing.entries.emplace(FileNameKey(entry.shortName), value);
                         }) == 0 &&
                         names <= kMostNames;
        if (!listing.usable) listing.entries.clear();
        names_ += listing.entries.size();
        return listings_.insert_or_assign(folder, std::move(listing)).first;
    }

    FileSystem& files_;
    std::unordered_map<std::wstring, Listing> listings_;
    std::size_t names_ = 0;  // in all listings kept
};

enum class CopyState { Pending, Copied, Failed };

// A song of the playlist that is there to copy: one per file, however often and however spelt
// it is listed (one per spelling where the file system gives no identity). Entries whose file
// is not found keep no state of their own unless another entry has their name.
struct Song {
    std::wstring source;         // the resolved path (the first spelling met)
    std::wstring name;           // its file name
    std::string nameBytes;       // the same in the playlist's bytes
    FileIdentity identity;       // may be unknown
    bool named = false;          // copyName chosen
    std::wstring copyName;       // its name in the copy folder
    std::string copyNameBytes;   // the same in the playlist's encoding
    CopyState state = CopyState::Pending;
};

// What an entry line names.
struct EntryLook {
    std::wstring source;  // the resolved path (empty for an entry that names no file)
    std::wstring name;    // its file name (the entry itself for one that names no file)
    bool copyable = false;               // a file name of its own, and no device path
    std::optional<std::size_t> song;     // the song, when its file was found
};

// The bytes after an entry's last separator: its file name's, in every playlist encoding but
// for double-byte trailing bytes of 0x5C.
std::string_view NameTail(std::string_view line) {
    const std::size_t slash = line.find_last_of("\\/");
    return slash == std::string_view::npos ? line : line.substr(slash + 1);
}

// A name of more bytes than three for each character of the longest file name holds more
// characters than any file system allows: no file has it, and it is never decoded whole to
// look for one (a one-line playlist of megabytes would cost several times its size).
bool TooLongForAFile(std::string_view line) { return NameTail(line).size() > 3 * kLongestFileName; }

class CopyRun {
public:
    CopyRun(FileSystem& files, OperationHost& host, const PlaylistText& playlist, const std::wstring& playlistPath,
            std::wstring copyFolder)
        : files_(files),
          host_(host),
          playlist_(playlist),
          // The selected playlist's path is the drive source of root-relative entries.
          resolver_(PlaylistFolder(playlistPath), DriveOfPath(playlistPath)),
          copyFolder_(std::move(copyFolder)),
          sourceFiles_(files),
          copyFolderFiles_(files) {
        // Every song that is there, known before the first copy: a later song that already
        // lies in the copy folder keeps its name, and no song is copied over another.
        LineReader reader(playlist.Body());
        std::string_view line;
        while (reader.Next(line)) {
            if (ClassifyLine(line) != LineKind::Entry || TooLongForAFile(line)) continue;
            EntryLook look = LookUp(line, /*findSong=*/false);
            if (!look.copyable) continue;
            const std::optional<FileIdentity> identity = IdentityOfSource(look);
            if (!identity) continue;  // not found
            const std::wstring nameKey = FileNameKey(look.name);
            const bool known = identity->Known();
            const bool isNew = known ? songByIdentity_.try_emplace(*identity, songs_.size()).second
                                     : songByPath_.try_emplace(look.source, songs_.size()).second;
            if (!isNew) continue;
            if (known) {
                protected_.insert(*identity);
            } else {
                unknownNames_.insert(nameKey);  // no identity: its name is what is known of it
            }
            songNames_.insert(nameKey);
            Song song;
            song.nameBytes = FileNameBytes(line, look.name, playlist);
            song.source = std::move(look.source);
            song.name = std::move(look.name);
            song.identity = *identity;
            songs_.push_back(std::move(song));
        }
        const std::wstring playlistName = GetFileName(playlistPath);
        const std::optional<FileIdentity> self = files_.IdentityOf(playlistPath);
        if (self && self->Known()) {
            protected_.insert(*self);
        } else {
            unknownNames_.insert(FileNameKey(playlistName));
        }
        // The new playlist's own name is taken from the start, so no song is copied over it.
        taken_.insert(FileNameKey(playlistName));
    }

    // The entry's resolved path, file name and, when findSong, its song.
    EntryLook LookUp(std::string_view line, bool findSong) {
        EntryLook look;
        const std::wstring entry = playlist_.Decode(line);
        if (resolver_.Resolve(entry, look.source) == EntryForm::NotAFile) {
            look.name = entry;  // listed and reported as it is
            return look;
        }
        look.name = std::wstring(EntryFileName(look.source));
        look.copyable = IsPlainFileName(look.name) && !IsDeviceNamespacePath(look.source);
        if (findSong && look.copyable) {
            if (const std::optional<FileIdentity> identity = IdentityOfSource(look)) {
                const auto found = identity->Known() ? songByIdentity_.find(*identity) : songByIdentity_.end();
                if (found != songByIdentity_.end()) {
                    look.song = found->second;
                } else if (const auto byPath = songByPath_.find(look.source); byPath != songByPath_.end()) {
                    look.song = byPath->second;
                }
            }
        }
        return look;
    }

    // Songs that already lie in the copy folder under their own names keep them; asked once
    // the copy folder exists, of one listing of it.
    void KeepSongsAlreadyThere() {
        for (Song& song : songs_) {
            if (copyFolderFiles_.Of(copyFolder_, song.name) == song.identity &&
                taken_.insert(FileNameKey(song.name)).second) {
                song.named = true;
                song.copyName = song.name;
                song.copyNameBytes = song.nameBytes;
                song.state = CopyState::Failed;  // not copied over itself: reported as a failed copy
            }
        }
    }

    Song& SongAt(std::size_t index) { return songs_[index]; }
    std::size_t SongCount() const { return songs_.size(); }
    const std::wstring& CopyFolder() const { return copyFolder_; }

    // Copies a song into the copy folder, the first time it is met; its name is chosen then.
    void Copy(Song& song) {
        if (song.state != CopyState::Pending) return;
        if (!song.named) {
            song.named = true;
            const unsigned k = FirstFreeName(song.name, &song);
            song.copyName = k <= 1 ? song.name : Numbered(song.name, k);
            song.copyNameBytes = k <= 1 ? song.nameBytes : Numbered(song.nameBytes, k);
            if (k == 0) {  // already its copy, under another spelling: not copied over itself
                song.state = CopyState::Failed;
                return;
            }
        }
        // The copy's name stays taken for this run: no later song is copied over it.
        song.state = files_.CopyIntoPlace(song.source, copyFolder_ + song.copyName, Stop()) == 0 ? CopyState::Copied
                                                                                                 : CopyState::Failed;
    }

    // An entry with no song: its file was not found when the run began (or it is no file to
    // copy). It is named in its turn, so that a song met later never takes its name and it
    // never takes a song's copy, and tried under that name in case the file came meanwhile;
    // the new playlist lists the name whether the copy succeeds or not. Entries that are not
    // found are not numbered among themselves: all those with one name share what the first
    // was given, which is their own name unless a song or the copy folder holds it. So only
    // names that songs have (a bounded number: songs are files) ever need a record. Writes
    // the name's bytes to nameBytes and the name it is reported by to name; true when it was
    // copied.
    bool CopyNotFound(const EntryLook& look, std::string_view line, std::string& nameBytes, std::wstring& name) {
        nameBytes = FileNameBytes(line, look.name, playlist_);
        name = look.name;
        if (!look.copyable) return false;
        const std::wstring nameKey = FileNameKey(look.name);
        unsigned k = 1;
        if (const auto given = notFoundNumber_.find(nameKey); given != notFoundNumber_.end()) {
            k = given->second;
        } else if (songNames_.contains(nameKey) || taken_.contains(nameKey) ||
                   Protected(look.name, copyFolderFiles_.Of(copyFolder_, look.name))) {
            k = FirstFreeName(look.name, nullptr);
            taken_.insert(FileNameKey(k == 1 ? look.name : Numbered(look.name, k)));
            notFoundNumber_.emplace(nameKey, k);
        } else if (const std::optional<std::wstring> base = NumberedBase(nameKey); base && songNames_.contains(*base)) {
            // "x (2).mp3" where a song is "x.mp3": no song is given that name later.
            taken_.insert(nameKey);
        }
        if (k > 1) nameBytes = Numbered(nameBytes, k);
        const std::wstring copyName = k == 1 ? look.name : Numbered(look.name, k);
        return files_.CopyIntoPlace(look.source, copyFolder_ + copyName, Stop()) == 0;
    }

    // Whether the new playlist may be written at path: not over one of the songs or the
    // selected playlist, whatever spelling leads there. No copy of this run can be there: the
    // new playlist's name was taken before the first copy, and each copy is a new file.
    bool MayWriteNewPlaylist(const std::wstring& path) {
        const std::optional<FileIdentity> there = files_.IdentityOf(path);
        return !Protected(GetFileName(path), there);
    }

private:
    std::function<bool()> Stop() const {
        return [this] { return host_.Cancelled(); };
    }

    std::optional<FileIdentity> IdentityOfSource(const EntryLook& look) {
        return sourceFiles_.Of(look.source.substr(0, look.source.size() - look.name.size()), look.name);
    }

    // Whether the file there (named name in the copy folder) may be one of the playlist's songs
    // or the selected playlist: by identity where the file system gives one, else by name.
    bool Protected(const std::wstring& name, const std::optional<FileIdentity>& there) const {
        if (!there) return false;
        if (there->Known()) return protected_.contains(*there);
        return unknownNames_.contains(FileNameKey(name));
    }

    // The number k of the first of name, "name (2)", "name (3)"... that no earlier entry took,
    // that is no other entry's own name, and that no song of the playlist (nor the selected
    // playlist) holds in the copy folder; 1 is the name itself. For a song (self), 0 when the
    // name already holds the song itself. Claims the name for a song.
    unsigned FirstFreeName(const std::wstring& name, const Song* self) {
        for (unsigned k = 1;; ++k) {
            const std::wstring candidate = k == 1 ? name : Numbered(name, k);
            const std::wstring key = FileNameKey(candidate);
            if (taken_.contains(key)) continue;
            // What the listing found there; names this run took since are in taken_.
            const std::optional<FileIdentity> there = copyFolderFiles_.Of(copyFolder_, candidate);
            if (self && there && *there == self->identity) {
                taken_.insert(key);
                return 0;
            }
            if (Protected(candidate, there)) continue;
            if (self) taken_.insert(key);
            return k;
        }
    }

    FileSystem& files_;
    OperationHost& host_;
    const PlaylistText& playlist_;
    const EntryResolver resolver_;
    std::wstring copyFolder_;
    FolderIdentities sourceFiles_;      // songs' identities, a listing of each of their folders
    FolderIdentities copyFolderFiles_;  // the copy folder as it was before the first copy
    std::vector<Song> songs_;
    std::unordered_map<FileIdentity, std::size_t, IdentityHash> songByIdentity_;
    std::unordered_map<std::wstring, std::size_t> songByPath_;  // songs the file system gives no identity
    std::unordered_set<std::wstring> taken_;         // FileNameKey of every name given out that a song may want
    std::unordered_set<std::wstring> songNames_;     // FileNameKey of every song's own name
    std::unordered_set<std::wstring> unknownNames_;  // names of songs (and the playlist) without identity
    std::unordered_map<std::wstring, unsigned> notFoundNumber_;  // name key -> number given to entries not found
    IdentitySet protected_;                          // files no copy may replace
};

// The lines the new playlist gets (all but the empty ones) and about the bytes it takes:
// every line and its CR LF, and room for a number after each song's name.
struct NewPlaylistSize {
    std::size_t lines = 0;
    std::size_t bytes = 0;
};

NewPlaylistSize MeasureNewPlaylist(std::string_view body, std::size_t songs) {
    NewPlaylistSize size;
    LineReader reader(body);
    std::string_view line;
    while (reader.Next(line)) {
        const LineKind kind = ClassifyLine(line);
        if (kind == LineKind::Empty) continue;
        ++size.lines;
        // An entry with a ':' may name no file and is then listed whole (':' is ASCII in every
        // playlist encoding); any other is listed by a name no longer than its last part.
        const bool whole = kind == LineKind::Tag || line.find(':') != std::string_view::npos;
        size.bytes += (whole ? line.size() : NameTail(line).size()) + 2;
    }
    // Room for numbers after the names: a song's, and some for entries not found that share a
    // song's name. A string that outgrows its room doubles at once.
    size.bytes += songs * 16 + size.bytes / 16;
    return size;
}

class CopyToOneFolderRule final : public PlaylistRule {
public:
    // No busy indicator: the caption shows each song as it is copied.
    bool ShowsBusy() const override { return false; }

    std::optional<RunOutcome> Refuse(const PlaylistRun& run) override {
        const std::wstring playlistName = GetFileName(run.path);
        copyFolderName_ = CopyFolderName(playlistName);
        if (copyFolderName_) return std::nullopt;
        run.context.host.ShowMessage(NoCopyFolderMessage(playlistName));
        return RunOutcome::Refused;
    }

    PlannedChange Plan(PlaylistRun& run) override {
        OperationHost& host = run.context.host;
        const PlaylistText& playlist = run.playlist;
        CopyRun copy(run.context.files, host, playlist, run.path, PlaylistFolder(run.path) + *copyFolderName_ + L"\\");
        CreatePathTree(run.context.files, copy.CopyFolder());
        copy.KeepSongsAlreadyThere();

        const NewPlaylistSize size = MeasureNewPlaylist(playlist.Body(), copy.SongCount());
        PlaylistWriter newPlaylist(playlist.Bom());
        // Reserved at the first line, after its caption and log text: a playlist of one huge
        // line then never holds that text and the new playlist at once.
        bool reserved = false;
        auto add = [&](std::string_view bytes) {
            if (!reserved) newPlaylist.Reserve(size.bytes + playlist.Bom().size());
            reserved = true;
            newPlaylist.Add(bytes);
        };
        // A song's name that begins with "#" would make its line a tag line, which players
        // skip: it is listed as ".\#...", which names the same file.
        auto addEntry = [&](std::string_view name) {
            if (!name.starts_with('#')) return add(name);
            if (!reserved) newPlaylist.Reserve(size.bytes + playlist.Bom().size());
            reserved = true;
            newPlaylist.Add(".\\", name);
        };
        std::string nameBytes;
        std::wstring name;
        LineReader reader(playlist.Body());
        std::string_view line;
        while (reader.Next(line)) {
            const LineKind kind = ClassifyLine(line);
            if (kind != LineKind::Entry) {
                if (kind == LineKind::Tag) add(line);
                run.pacer.Tick();
                if (run.pacer.Cancelled()) return {};
                continue;
            }
            if (TooLongForAFile(line)) {
                // Named as read; each text around the name made and gone in turn, before the
                // new playlist takes its room, never decoded into more than one text at a time.
                const std::string_view tail = NameTail(line);
                auto around = [&](const wchar_t* prefix) {
                    std::wstring text = prefix;
                    if (playlist.encoding == TextEncoding::Utf8) {
                        AppendDecodedUtf8(text, tail);  // sized exactly: no second decoded copy
                    } else {
                        playlist.AppendDecoded(text, tail);
                    }
                    return text;
                };
                host.SetCaption(around(L"Copying "));
                host.AppendLog(around(L"Couldn't Copy "));
                addEntry(tail);
            } else {
                const EntryLook look = copy.LookUp(line, /*findSong=*/true);
                host.SetCaption(L"Copying " + look.name);
                if (look.song) {
                    Song& song = copy.SongAt(*look.song);
                    // A copy can take long: the window shows the caption just set before it.
                    if (song.state == CopyState::Pending) host.LetEventsRun();
                    copy.Copy(song);
                    if (host.Cancelled()) return {};
                    if (song.state == CopyState::Failed) host.AppendLog(L"Couldn't Copy " + look.name);
                    addEntry(song.copyNameBytes);
                } else {
                    const bool copied = copy.CopyNotFound(look, line, nameBytes, name);
                    if (host.Cancelled()) return {};
                    if (!copied) host.AppendLog(L"Couldn't Copy " + name);
                    addEntry(nameBytes);
                }
            }
            run.pacer.TickAfterSlowStep();
            if (run.pacer.Cancelled()) return {};
        }
        run.pacer.Finish();
        if (host.Cancelled()) return {};

        const std::wstring newPlaylistPath = copy.CopyFolder() + GetFileName(run.path);
        const ErrorCode written = copy.MayWriteNewPlaylist(newPlaylistPath)
                                      ? run.context.files.WriteIntoPlace(newPlaylistPath, newPlaylist.Finish())
                                      : kFileExists;
        host.SetCaption(kFinalCaption);
        if (written != 0) {
            host.ReportFailure({L"Could not write the new playlist", newPlaylistPath, written});
            return {PlannedChange::Kind::Failed, {}, 0};
        }
        host.ShowMessage(L"Finished with " + std::to_wstring(host.LogCount()) + L" errors");
        // The selected playlist itself is only read.
        return {};
    }

private:
    std::optional<std::wstring> copyFolderName_;
};

}  // namespace

RunOutcome CopyToOneFolder(const RunContext& context, const std::wstring& playlistPath) {
    CopyToOneFolderRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
