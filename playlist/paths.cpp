// The path methods and the line and entry rules.
#include "playlist/paths.h"

#include <algorithm>
#include <vector>

#include "playlist/text_codec.h"

namespace tallowmere::playlist {

bool FileExists(FileSystem& files, const std::wstring& Path) {
    return files.FileLength(Path).has_value();
}

std::wstring GetFileName(std::wstring_view Path) { return std::wstring(FileNamePart(Path)); }

std::wstring_view FileNamePart(std::wstring_view Path) {
    const std::size_t lastBackslash = Path.rfind(L'\\');
    if (lastBackslash == std::wstring_view::npos) return Path;
    return Path.substr(lastBackslash + 1);
}

void CreatePathTree(FileSystem& files, std::wstring_view Path) {
    // Components c(0)..c(u): c(0) is taken as the drive, c(u) as a file name.
    std::size_t end = Path.find(L'\\');
    if (end == std::wstring_view::npos) return;  // one component: nothing to make
    std::wstring folder(Path.substr(0, end + 1));
    for (;;) {
        const std::size_t start = end + 1;
        end = Path.find(L'\\', start);
        if (end == std::wstring_view::npos) return;  // the rest is c(u)
        folder.append(Path.substr(start, end - start + 1));
        files.MakeFolder(folder);  // exists, or cannot be made: the next one is tried anyway
    }
}

bool DoFileCopy(FileSystem& files, const std::wstring& OPath, const std::wstring& DPath) {
    if (OPath == DPath) return false;
    return files.CopyReplacing(OPath, DPath) == 0;
}

std::wstring PlaylistFolder(std::wstring_view playlistPath) {
    return std::wstring(playlistPath.substr(0, playlistPath.size() - GetFileName(playlistPath).size()));
}

LineKind ClassifyLine(std::string_view line) {
    if (line.empty()) return LineKind::Empty;
    return line.front() == '#' ? LineKind::Tag : LineKind::Entry;
}

bool IsExtinfLine(std::string_view line) {
    constexpr std::string_view kExtinf = "#EXTINF";
    // The seven ASCII bytes are seven characters in every playlist encoding, and the byte
    // after them starts the next character, so comparing bytes is comparing characters.
    return line.starts_with(kExtinf) && (line.size() == kExtinf.size() || line[kExtinf.size()] == ':');
}

bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

EntryForm FormOf(std::wstring_view entry) {
    const bool twoSeparators = entry.size() >= 2 && IsPathSeparator(entry[0]) && IsPathSeparator(entry[1]);
    // Where a drive letter's ':' stands: after the first character, or after "\\?\" and
    // "\\.\" ("\\?\C:\Music\a.mp3"). A ':' anywhere else is a scheme or a stream.
    std::size_t driveColon = 1;
    if (twoSeparators && entry.size() >= 4 && (entry[2] == L'?' || entry[2] == L'.') && IsPathSeparator(entry[3])) {
        driveColon = 5;
    }
    for (std::size_t colon = entry.find(L':'); colon != std::wstring_view::npos; colon = entry.find(L':', colon + 1)) {
        if (colon != driveColon) return EntryForm::NotAFile;
    }
    if (entry.size() >= 2 && entry[1] == L':') {
        // "C:a.mp3" is relative to drive C's current folder, which is no playlist's.
        return entry.size() >= 3 && IsPathSeparator(entry[2]) ? EntryForm::Absolute : EntryForm::NotAFile;
    }
    if (twoSeparators) return EntryForm::Network;
    if (!entry.empty() && IsPathSeparator(entry[0])) return EntryForm::RootRelative;
    return EntryForm::Relative;
}

namespace {

// Whether a normalized path needs work past its root: a "/", a doubled separator, or a step
// that begins with "." (".", "..", or only perhaps). Most entries need none.
bool NeedsNormalizing(std::wstring_view path, std::size_t rootLength) {
    bool stepStart = true;
    for (std::size_t i = rootLength; i < path.size(); ++i) {
        const wchar_t c = path[i];
        if (c == L'/') return true;
        if (c == L'\\') {
            if (stepStart) return true;  // an empty step
            stepStart = true;
            continue;
        }
        if (stepStart && c == L'.') return true;
        stepStart = false;
    }
    return false;
}

// Resolves the steps after the root in place.
void ResolveSteps(std::wstring& path, std::size_t rootLength) {
    std::wstring normal(path.substr(0, rootLength));
    std::size_t keptSteps = 0;
    std::size_t position = rootLength;
    while (position <= path.size()) {
        std::size_t end = path.find(L'\\', position);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring_view step = std::wstring_view(path).substr(position, end - position);
        const bool last = end == path.size();
        if (step == L"..") {
            if (keptSteps > 0) {
                // Back to the start of the last kept step, which follows a backslash.
                normal.pop_back();  // its own backslash (it was not the last step)
                normal.resize(normal.rfind(L'\\') + 1);
                --keptSteps;
            }
        } else if (step != L"." && !step.empty()) {
            normal.append(step);
            if (!last) normal += L'\\';
            ++keptSteps;
        }
        position = end + 1;
    }
    path = std::move(normal);
}

// NormalizePath in place.
void NormalizeInPlace(std::wstring& path) {
    if (path.starts_with(L"\\\\?\\")) return;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    const std::size_t rootLength = VolumeRootLength(path);
    if (rootLength == 0 || !NeedsNormalizing(path, rootLength)) return;
    ResolveSteps(path, rootLength);
}

}  // namespace

std::wstring NormalizePath(std::wstring_view path) {
    std::wstring normal(path);
    NormalizeInPlace(normal);
    return normal;
}

std::wstring_view EntryFileName(std::wstring_view path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? path : path.substr(separator + 1);
}

EntryResolver::EntryResolver(std::wstring playlistFolder, std::wstring driveSource)
    : folder_(std::move(playlistFolder)), drive_(std::move(driveSource)) {}

const std::wstring& EntryResolver::PrefixFor(EntryForm form) const {
    switch (form) {
        case EntryForm::RootRelative: return drive_;
        case EntryForm::Relative: return folder_;
        case EntryForm::Absolute:
        case EntryForm::Network:
        case EntryForm::NotAFile: break;
    }
    return none_;
}

EntryForm EntryResolver::Resolve(std::wstring_view entry, std::wstring& path) const {
    const EntryForm form = FormOf(entry);
    path.clear();
    if (form == EntryForm::NotAFile) return form;
    path.append(PrefixFor(form)).append(entry);
    NormalizeInPlace(path);
    return form;
}

std::wstring DriveOfPath(std::wstring_view path) { return std::wstring(path.substr(0, 2)); }

std::wstring VolumeOfPlaylist(std::wstring_view playlistPath) {
    const std::size_t root = VolumeRootLength(playlistPath);
    if (root == 0) return DriveOfPath(playlistPath);
    return std::wstring(playlistPath.substr(0, root - 1));  // without its backslash
}

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool IsDriveRoot(std::wstring_view path) {
    return path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\';
}

// The length of "server\share\" at the start of path; 0 when either name is missing.
std::size_t ServerShareLength(std::wstring_view path) {
    const std::size_t serverEnd = path.find(L'\\');
    if (serverEnd == std::wstring_view::npos || serverEnd == 0) return 0;  // no server name
    const std::size_t shareEnd = path.find(L'\\', serverEnd + 1);
    if (shareEnd == std::wstring_view::npos || shareEnd == serverEnd + 1) return 0;  // no share
    return shareEnd + 1;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::size_t VolumeRootLength(std::wstring_view path) {
    if (IsDriveRoot(path)) return 3;
    if (!path.starts_with(L"\\\\")) return 0;
    // "\\?\" and "\\.\" name the volume after them: "UNC\server\share\", "C:\", or one
    // component such as "Volume{guid}\".
    if (path.size() >= 4 && (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\') {
        const std::wstring_view rest = path.substr(4);
        if (StartsWithNoCase(rest, L"UNC\\")) {
            const std::size_t share = ServerShareLength(rest.substr(4));
            return share == 0 ? 0 : 8 + share;
        }
        if (IsDriveRoot(rest)) return 4 + 3;
        const std::size_t end = rest.find(L'\\');
        return end == std::wstring_view::npos || end == 0 ? 0 : 4 + end + 1;
    }
    const std::size_t share = ServerShareLength(path.substr(2));
    return share == 0 ? 0 : 2 + share;
}

std::wstring VolumeRootOf(std::wstring_view path) {
    return std::wstring(path.substr(0, VolumeRootLength(path)));
}

bool SameVolumeRoot(std::wstring_view a, std::wstring_view b) {
    const std::size_t rootA = VolumeRootLength(a);
    return rootA != 0 && rootA == VolumeRootLength(b) && SameNameIgnoringCase(a.substr(0, rootA), b.substr(0, rootA));
}

void FoldCaseInPlace(std::wstring& text) { LowerCaseInPlace(text); }

bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    if (a == b) return true;
    std::wstring foldedA(a), foldedB(b);
    FoldCaseInPlace(foldedA);
    FoldCaseInPlace(foldedB);
    return foldedA == foldedB;
}

namespace {

// The steps of a path after its volume root; for a folder (ending in a backslash) no empty
// last step.
std::vector<std::wstring_view> StepsAfterRoot(std::wstring_view path) {
    std::vector<std::wstring_view> steps;
    std::size_t position = VolumeRootLength(path);
    while (position < path.size()) {
        std::size_t end = path.find(L'\\', position);
        if (end == std::wstring_view::npos) end = path.size();
        steps.push_back(path.substr(position, end - position));
        position = end + 1;
    }
    return steps;
}

}  // namespace

std::wstring RelativePathFrom(std::wstring_view folder, std::wstring_view target) {
    const std::vector<std::wstring_view> from = StepsAfterRoot(folder);
    const std::vector<std::wstring_view> to = StepsAfterRoot(target);
    std::size_t shared = 0;
    // The target's last step is its file name, never a folder to share.
    while (shared < from.size() && shared + 1 < to.size() && SameNameIgnoringCase(from[shared], to[shared])) {
        ++shared;
    }
    std::wstring relative;
    for (std::size_t up = shared; up < from.size(); ++up) relative += L"..\\";
    for (std::size_t down = shared; down < to.size(); ++down) {
        if (down > shared) relative += L'\\';
        relative.append(to[down]);
    }
    return relative;
}

std::wstring RelativeEntryText(std::wstring_view folder, std::wstring_view target) {
    std::wstring relative = RelativePathFrom(folder, target);
    if (relative.starts_with(L'#')) relative.insert(0, L".\\");
    return relative;
}

}  // namespace tallowmere::playlist
