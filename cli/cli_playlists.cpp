#include "cli/cli_playlists.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <set>
#include <string_view>
#include <utility>

#include "playlist/text_codec.h"

namespace tallowmere::cli {
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

// The expansion of one call: what it has found so far, each file once.
class Expansion {
public:
    Expansion(FolderSource& source, bool recursive, const std::function<bool()>& stop)
        : source_(source), recursive_(recursive), stop_(stop) {}

    bool Stopped() {
        if (!result_.stopped && stop_ && stop_()) result_.stopped = true;
        return result_.stopped;
    }

    // Adds a playlist unless the same file was added before; true when it was new.
    bool Add(const std::wstring& path) {
        if (const std::optional<std::wstring> key = source_.IdentityKey(path)) {
            if (!seenFiles_.insert(*key).second) return false;
        }
        result_.playlists.push_back(path);
        return true;
    }

    // Adds the playlists of folder (and with recursive, of the folders below it); true when
    // it holds any, whether or not they were added before: a folder whose playlists were named
    // already, or that is named again, still holds playlists.
    bool AddFolder(const std::wstring& folder) {
        if (Stopped()) return false;
        // A folder entered before (through a link, or named twice) is not entered again.
        const std::optional<std::wstring> key = source_.IdentityKey(folder);
        if (key) {
            const auto [seen, isNew] = seenFolders_.try_emplace(*key, false);
            if (!isNew) return seen->second;
        }
        playlist::ErrorCode error = 0;
        const FolderNames names = ListSorted(source_, folder, error);
        const std::wstring prefix = WithSeparator(folder);
        bool holdsPlaylists = false;
        for (const std::wstring& name : names.files) {
            if (!IsPlaylistName(name)) continue;
            Add(prefix + name);
            holdsPlaylists = true;
        }
        if (recursive_) {
            for (const std::wstring& name : names.folders) {
                if (AddFolder(prefix + name)) holdsPlaylists = true;
            }
        }
        if (key) seenFolders_[*key] = holdsPlaylists;
        return holdsPlaylists;
    }

    void Problem(std::wstring text) { result_.problems.push_back(std::move(text)); }
    ExpandedPlaylists Result() { return std::move(result_); }

private:
    FolderSource& source_;
    const bool recursive_;
    const std::function<bool()>& stop_;
    ExpandedPlaylists result_;
    std::set<std::wstring> seenFiles_;
    std::map<std::wstring, bool> seenFolders_;  // whether each holds playlists
};

// Whether the text after prefix is "." and digits, repeated at least times times and at most
// times + 1 (an archive's hour, day and month, and the number of a second archive that hour).
bool IsDottedNumbers(std::wstring_view rest, int times) {
    int groups = 0;
    while (!rest.empty()) {
        if (rest.front() != L'.' || rest.size() < 2 || !std::iswdigit(rest[1])) return false;
        rest.remove_prefix(1);
        while (!rest.empty() && std::iswdigit(rest.front())) rest.remove_prefix(1);
        ++groups;
    }
    return groups == 0 || (groups >= times && groups <= times + 1);
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

bool IsProgramsOwnFile(const std::wstring& name) {
    const std::wstring lowered = Lowered(name);
    if (EndsWith(lowered, L"_backup")) return true;
    if (EndsWith(lowered, L".tmp") && (lowered.starts_with(L"~tm") || lowered.starts_with(L"~copying-"))) {
        return true;
    }
    for (const std::wstring_view bak : {std::wstring_view(L".m3u.bak"), std::wstring_view(L".m3u8.bak")}) {
        const std::size_t at = lowered.rfind(bak);
        if (at != std::wstring::npos && IsDottedNumbers(std::wstring_view(lowered).substr(at + bak.size()), 3)) {
            return true;
        }
    }
    return false;
}

ExpandedPlaylists ExpandPlaylistArguments(FolderSource& folders, const std::vector<std::wstring>& arguments,
                                          bool recursive, const std::function<bool()>& stop) {
    Expansion expansion(folders, recursive, stop);
    for (const std::wstring& argument : arguments) {
        if (expansion.Stopped()) break;
        const std::size_t folderLength = FolderPartLength(argument);
        const std::wstring folderPart = argument.substr(0, folderLength);
        const std::wstring namePattern = argument.substr(folderLength);
        if (HasWildcard(argument)) {
            // Wildcards in the folder part name no folder: nothing matches then.
            bool matched = false;
            if (!HasWildcard(folderPart)) {
                playlist::ErrorCode error = 0;
                for (const std::wstring& name : ListSorted(folders, ListableFolder(folderPart), error).files) {
                    if (!MatchesWildcard(name, namePattern) || !IsPlaylistName(name)) continue;
                    matched = true;
                    expansion.Add(folderPart + name);
                }
            }
            if (!matched) expansion.Problem(argument + L": no .m3u or .m3u8 playlist matches this pattern");
        } else if (folders.IsFolder(argument)) {
            if (!expansion.AddFolder(argument) && !expansion.Stopped()) {
                expansion.Problem(argument + (recursive ? L": no .m3u or .m3u8 playlist in this folder or below"
                                                        : L": no .m3u or .m3u8 playlist in this folder"));
            }
        } else if (IsProgramsOwnFile(argument.substr(folderLength))) {
            expansion.Problem(argument + L": a backup, temporary or watch-mode file of this program, not a playlist");
        } else {
            expansion.Add(argument);
        }
    }
    return expansion.Result();
}

}  // namespace tallowmere::cli
