#include "shell/cli_playlists.h"

#include <algorithm>
#include <utility>

#include "playlist/text_codec.h"

namespace tallowmere::shell {
namespace {

std::wstring Lowered(std::wstring text) {
    playlist::LowerCaseInPlace(text);
    return text;
}

bool EndsWith(const std::wstring& text, std::wstring_view end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool HasWildcard(const std::wstring& text) { return text.find_first_of(L"*?") != std::wstring::npos; }

// "*" and "?" over already lower-cased text; a "*" that fails moves its start on by one.
bool MatchesLowered(const std::wstring& name, const std::wstring& pattern) {
    std::size_t n = 0, p = 0;
    std::size_t starAt = std::wstring::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::wstring::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

// Where the folder part of an argument ends: after its last separator, or after "X:".
std::size_t FolderPartLength(const std::wstring& argument) {
    const std::size_t slash = argument.find_last_of(L"\\/");
    if (slash != std::wstring::npos) return slash + 1;
    if (argument.size() >= 2 && argument[1] == L':') return 2;
    return 0;
}

// The folder to list for a folder part as typed: "" is the current folder, "C:" the
// current folder of drive C.
std::wstring ListableFolder(const std::wstring& folderPart) {
    if (folderPart.empty()) return L".";
    if (folderPart.back() == L':') return folderPart + L".";
    return folderPart;
}

std::wstring WithSeparator(const std::wstring& folder) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/' || folder.back() == L':') return folder;
    return folder + L'\\';
}

void SortByNameIgnoringCase(std::vector<std::wstring>& names) {
    std::vector<std::pair<std::wstring, std::wstring>> keyed;
    keyed.reserve(names.size());
    for (std::wstring& name : names) keyed.emplace_back(Lowered(name), std::move(name));
    std::sort(keyed.begin(), keyed.end());
    names.clear();
    for (auto& [key, name] : keyed) names.push_back(std::move(name));
}

struct FolderNames {
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;  // not links or junctions
};

FolderNames ListSorted(FolderSource& source, const std::wstring& folder, playlist::ErrorCode& error) {
    FolderNames names;
    error = source.ListFolder(folder, [&](const playlist::FolderEntry& entry) {
        if (!entry.folder) {
            names.files.emplace_back(entry.name);
        } else if (!entry.reparsePoint) {
            names.folders.emplace_back(entry.name);
        }
    });
    SortByNameIgnoringCase(names.files);
    SortByNameIgnoringCase(names.folders);
    return names;
}

void AddFolderPlaylists(FolderSource& source, const std::wstring& folder, bool recursive,
                        std::vector<std::wstring>& playlists) {
    playlist::ErrorCode error = 0;
    const FolderNames names = ListSorted(source, folder, error);
    const std::wstring prefix = WithSeparator(folder);
    for (const std::wstring& name : names.files) {
        if (IsPlaylistName(name)) playlists.push_back(prefix + name);
    }
    if (!recursive) return;
    for (const std::wstring& name : names.folders) AddFolderPlaylists(source, prefix + name, true, playlists);
}

}  // namespace

bool MatchesWildcard(const std::wstring& name, const std::wstring& pattern) {
    const std::wstring loweredName = Lowered(name);
    const std::wstring loweredPattern = Lowered(pattern);
    if (MatchesLowered(loweredName, loweredPattern)) return true;
    // The system's file search lets "name.*" stand for "name" too.
    return EndsWith(loweredPattern, L".*") && loweredName.find(L'.') == std::wstring::npos &&
           MatchesLowered(loweredName, loweredPattern.substr(0, loweredPattern.size() - 2));
}

bool IsPlaylistName(const std::wstring& name) {
    const std::wstring lowered = Lowered(name);
    return EndsWith(lowered, L".m3u") || EndsWith(lowered, L".m3u8");
}

ExpandedPlaylists ExpandPlaylistArguments(FolderSource& folders, const std::vector<std::wstring>& arguments,
                                          bool recursive) {
    ExpandedPlaylists expanded;
    for (const std::wstring& argument : arguments) {
        const std::size_t folderLength = FolderPartLength(argument);
        const std::wstring folderPart = argument.substr(0, folderLength);
        const std::wstring namePattern = argument.substr(folderLength);
        if (HasWildcard(argument)) {
            const std::size_t before = expanded.playlists.size();
            // Wildcards in the folder part name no folder: nothing matches then.
            if (!HasWildcard(folderPart)) {
                playlist::ErrorCode error = 0;
                for (const std::wstring& name : ListSorted(folders, ListableFolder(folderPart), error).files) {
                    if (MatchesWildcard(name, namePattern) && !EndsWith(Lowered(name), L"_backup")) {
                        expanded.playlists.push_back(folderPart + name);
                    }
                }
            }
            if (expanded.playlists.size() == before) {
                expanded.problems.push_back(argument + L": no file matches this pattern");
            }
        } else if (folders.IsFolder(argument)) {
            const std::size_t before = expanded.playlists.size();
            AddFolderPlaylists(folders, argument, recursive, expanded.playlists);
            if (expanded.playlists.size() == before) {
                expanded.problems.push_back(argument + (recursive ? L": no .m3u or .m3u8 playlist in this folder or below"
                                                                  : L": no .m3u or .m3u8 playlist in this folder"));
            }
        } else {
            expanded.playlists.push_back(argument);
        }
    }
    return expanded;
}

}  // namespace tallowmere::shell
