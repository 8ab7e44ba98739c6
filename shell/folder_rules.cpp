#include "shell/folder_rules.h"

#include <algorithm>

namespace tallowmere::shell {

namespace {
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

wchar_t FoldCase(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c - L'A' + L'a');
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<wchar_t>(c + 0x20);
    return c;
}

// Length of the root of path: "C:\" -> 3, "\\server\share\" -> through the share's
// backslash (or the end); 0 when path has no root this list can show.
std::size_t RootLength(std::wstring_view path) {
    if (path.size() >= 2 && path[1] == L':') return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        std::size_t server_end = path.find_first_of(L"\\/", 2);
        if (server_end == std::wstring_view::npos) return 0;
        std::size_t share_end = path.find_first_of(L"\\/", server_end + 1);
        return share_end == std::wstring_view::npos ? path.size() : share_end + 1;
    }
    return 0;
}
}  // namespace

std::vector<FolderStep> FolderChain(std::wstring_view path) {
    std::vector<FolderStep> chain;
    const std::size_t root_length = RootLength(path);
    if (root_length == 0) return chain;
    std::wstring root(path.substr(0, root_length));
    if (!IsSeparator(root.back())) root += L'\\';
    chain.push_back({root, root});

    std::wstring current = root;
    std::size_t start = root_length;
    while (start < path.size()) {
        std::size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos) end = path.size();
        if (end > start) {
            std::wstring name(path.substr(start, end - start));
            current = ChildFolderPath(current, name);
            chain.push_back({name, current});
        }
        start = end + 1;
    }
    return chain;
}

std::wstring ChildFolderPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring child(folder);
    if (child.empty() || !IsSeparator(child.back())) child += L'\\';
    child += name;
    return child;
}

std::wstring SelectedPlaylistPath(std::wstring_view folderPath, std::wstring_view fileName) {
    std::wstring path(folderPath);
    path += L'\\';
    path += fileName;
    return path;
}

bool MatchesPlaylistPattern(std::wstring_view fileName) {
    constexpr std::wstring_view kExtension = L".m3u";
    if (fileName.size() < kExtension.size()) return false;  // "*" may match nothing: ".m3u" is in
    const std::wstring_view tail = fileName.substr(fileName.size() - kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](wchar_t a, wchar_t b) { return FoldCase(a) == b; });
}

void SortNames(std::vector<std::wstring>& names) {
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](wchar_t x, wchar_t y) { return FoldCase(x) < FoldCase(y); });
    });
}

}  // namespace tallowmere::shell
