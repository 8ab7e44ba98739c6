// make-relative and make-absolute, and the path text they (and relink) share.
#include "playlist/relative_paths.h"

#include <optional>
#include <vector>

#include "playlist/line_changes.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {

void FoldCaseInPlace(std::wstring& text) { LowerCaseInPlace(text); }

bool SameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    if (a == b) return true;
    std::wstring foldedA(a), foldedB(b);
    FoldCaseInPlace(foldedA);
    FoldCaseInPlace(foldedB);
    return foldedA == foldedB;
}

std::wstring NormalizePath(std::wstring_view path) {
    const std::size_t rootLength = VolumeRootLength(path);
    if (rootLength == 0) return std::wstring(path);
    std::wstring normal(path.substr(0, rootLength));
    std::vector<std::size_t> stepStarts;  // where each step kept so far starts in normal
    std::size_t position = rootLength;
    while (position <= path.size()) {
        std::size_t end = path.find(L'\\', position);
        if (end == std::wstring_view::npos) end = path.size();
        const std::wstring_view step = path.substr(position, end - position);
        const bool last = end == path.size();
        if (step == L"..") {
            if (!stepStarts.empty()) {
                normal.resize(stepStarts.back());
                stepStarts.pop_back();
            }
        } else if (step != L"." && !step.empty()) {
            stepStarts.push_back(normal.size());
            normal.append(step);
            if (!last) normal += L'\\';
        }
        position = end + 1;
    }
    return normal;
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

bool SameVolumeRoot(std::wstring_view a, std::wstring_view b) {
    const std::size_t rootA = VolumeRootLength(a);
    return rootA != 0 && rootA == VolumeRootLength(b) && SameNameIgnoringCase(a.substr(0, rootA), b.substr(0, rootA));
}

namespace {

// An entry to rewrite: its new bytes, or (bytes empty) the new text the encoding cannot hold.
struct Rewrite {
    std::size_t line = 0;
    std::string bytes;
    std::wstring unencodable;
};

// Runs newForm over every entry of the playlist (addresses left out) and writes the entries
// whose new form differs. newForm(entry, resolved) gives the new text, or nullopt to keep it.
template <typename NewForm>
RunOutcome RewriteEntries(const RunContext& context, const std::wstring& playlistPath, const NewForm& newForm) {
    RunOutcome outcome = RunOutcome::Done;
    FileStamp readStamp;
    std::optional<PlaylistText> playlist = OpenPlaylist(context, playlistPath, outcome, &readStamp);
    if (!playlist) return outcome;
    const BusyIndicator busy(context.host);
    const std::wstring folder = PlaylistFolder(playlistPath);
    std::vector<Rewrite> rewrites;
    std::size_t unencodable = 0;
    // Counting the lines costs a pass: only for a host that shows progress.
    EventPacer pacer(context.host, context.host.WantsProgress() ? CountLines(playlist->Body()) : 0);
    LineReader reader(playlist->Body());
    std::string_view line;
    std::wstring entry;
    for (std::size_t number = 0; reader.Next(line); ++number, pacer.Tick()) {
        if (ClassifyLine(line) != LineKind::Entry) continue;
        entry.clear();
        playlist->AppendDecoded(entry, line);
        if (IsStreamAddress(entry)) continue;
        const std::wstring resolved = NormalizePath(ResolveEntry(entry, folder, context.programFolder));
        std::optional<std::wstring> text = newForm(entry, resolved);
        if (!text || *text == entry) continue;
        // The new line is made from the old one's text: both must be exact in the encoding.
        std::optional<std::string> bytes;
        if (playlist->DecodesExactly(line)) bytes = playlist->Encode(*text);
        if (bytes) {
            rewrites.push_back({number, std::move(*bytes), {}});
        } else {
            ++unencodable;
            rewrites.push_back({number, {}, std::move(*text)});
        }
    }
    pacer.Finish();
    // The host names the playlist in front of it.
    const std::wstring summary = std::to_wstring(rewrites.size() - unencodable) +
                                 L" rewritten, " + std::to_wstring(unencodable) + L" can't encode";
    const PlaylistText& text = *playlist;
    outcome = WriteChangedLines(context, playlistPath, *playlist, readStamp, rewrites,
                                [&](const Rewrite& rewrite, std::string_view old) {
                                    context.host.AppendLog(
                                        rewrite.bytes.empty()
                                            ? L"Can't encode: " + text.Decode(old) + L" -> " + rewrite.unencodable
                                            : L"Rewritten: " + text.Decode(old) + L" -> " + text.Decode(rewrite.bytes));
                                });
    context.host.ReportSummary(summary);
    return outcome;
}

}  // namespace

RunOutcome MakeRelative(const RunContext& context, const std::wstring& playlistPath) {
    const std::wstring folder = NormalizePath(PlaylistFolder(playlistPath));
    return RewriteEntries(context, playlistPath,
                          [&](std::wstring_view entry, const std::wstring& resolved) -> std::optional<std::wstring> {
                              if (FormOf(entry) == EntryForm::Network || !SameVolumeRoot(resolved, folder)) {
                                  return std::nullopt;
                              }
                              return RelativePathFrom(folder, resolved);
                          });
}

RunOutcome MakeAbsolute(const RunContext& context, const std::wstring& playlistPath) {
    return RewriteEntries(context, playlistPath,
                          [](std::wstring_view entry, const std::wstring& resolved) -> std::optional<std::wstring> {
                              const EntryForm form = FormOf(entry);
                              if (form != EntryForm::Relative && form != EntryForm::RootRelative) return std::nullopt;
                              return resolved;
                          });
}

}  // namespace tallowmere::playlist
