// The path methods and the line and entry rules.
#include "playlist/paths.h"

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

EntryForm FormOf(std::wstring_view entry) {
    if (entry.size() >= 3 && entry[1] == L':' && entry[2] == L'\\') return EntryForm::Absolute;
    if (entry.starts_with(L"\\\\")) return EntryForm::Network;
    if (entry.starts_with(L'\\')) return EntryForm::RootRelative;
    return EntryForm::Relative;
}

std::wstring ResolutionPrefix(std::wstring_view entry, std::wstring_view playlistFolder,
                              std::wstring_view driveSource) {
    switch (FormOf(entry)) {
        case EntryForm::Absolute:
        case EntryForm::Network:
            return {};
        case EntryForm::RootRelative:
            return std::wstring(driveSource.substr(0, 2));
        case EntryForm::Relative:
            break;
    }
    return std::wstring(playlistFolder);
}

std::wstring ResolveEntry(std::wstring_view entry, std::wstring_view playlistFolder,
                          std::wstring_view driveSource) {
    std::wstring resolved = ResolutionPrefix(entry, playlistFolder, driveSource);
    resolved.append(entry);
    return resolved;
}

namespace {
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
}  // namespace

bool IsStreamAddress(std::wstring_view entry) {
    std::size_t letters = 0;
    while (letters < entry.size() && IsAsciiLetter(entry[letters])) ++letters;
    return letters >= 2 && entry.substr(letters).starts_with(L"://");
}

namespace {

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

}  // namespace tallowmere::playlist
