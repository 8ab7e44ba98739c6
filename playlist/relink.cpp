// Relink: the library index and the matching of moved entries.
//
// A candidate is a library file of the entry's file name (case-insensitive, as NTFS compares
// names); when there is none, one of the same stem with another audio extension (a converted
// library). Each candidate scores the number of the entry's folders, counted upward from the
// file, that its own folders repeat in the same places (Album, then Artist, then Music...),
// stopping at the first that differs. The single best candidate wins; equal best is no answer.
// A best candidate that shares no folder with the entry is a guess (an "Intro.mp3" of another
// artist): it wins only where it lies directly in a library folder given (a flat library, where
// no file has folders to share), and is otherwise reported as unsure and left alone.
#include "playlist/relink.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <unordered_set>

#include "playlist/entry_rewrite.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

// The part of a file name before its last '.', and the part after (empty when there is none).
std::wstring_view StemOf(std::wstring_view name) {
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? name : name.substr(0, dot);
}
std::wstring_view ExtensionOf(std::wstring_view name) {
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
}

// How many folders, from the innermost upward, the two folder paths (each ending in a
// backslash) share, up to their volume roots.
std::size_t SharedFoldersUpward(std::wstring_view entryFolder, std::wstring_view candidateFolder) {
    if (entryFolder.empty() || candidateFolder.empty()) return 0;
    const std::size_t entryRoot = VolumeRootLength(entryFolder);
    const std::size_t candidateRoot = VolumeRootLength(candidateFolder);
    // Both end in a backslash: drop it and walk the steps backward.
    std::size_t entryEnd = entryFolder.size() - 1;
    std::size_t candidateEnd = candidateFolder.size() - 1;
    std::size_t shared = 0;
    while (entryEnd > entryRoot && candidateEnd > candidateRoot) {
        const std::size_t entryStart = entryFolder.rfind(L'\\', entryEnd - 1) + 1;
        const std::size_t candidateStart = candidateFolder.rfind(L'\\', candidateEnd - 1) + 1;
        if (!SameNameIgnoringCase(entryFolder.substr(entryStart, entryEnd - entryStart),
                                  candidateFolder.substr(candidateStart, candidateEnd - candidateStart))) {
            break;
        }
        ++shared;
        entryEnd = entryStart - 1;
        candidateEnd = candidateStart - 1;
    }
    return shared;
}

}  // namespace

bool IsAudioExtension(std::wstring_view extension) {
    static constexpr std::array<std::wstring_view, 14> kAudio{L"mp3", L"flac", L"m4a", L"aac", L"ogg",
                                                             L"oga", L"opus", L"wma", L"wav", L"aif",
                                                             L"aiff", L"ape", L"wv", L"mpc"};
    return std::any_of(kAudio.begin(), kAudio.end(),
                       [&](std::wstring_view audio) { return SameNameIgnoringCase(extension, audio); });
}

std::uint32_t LibraryIndex::HashOf(std::wstring_view text) {
    std::uint32_t hash = 2166136261u;  // FNV-1a over the 16-bit characters
    for (const wchar_t c : text) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 16777619u;
    }
    return hash;
}

// The identity is asked only of folders whose file index was met before: under Wine the
// volume's serial number in it costs a request to the mount manager (3 to 4 ms a folder).
// An index of 0 (or all ones) is no index at all (some network and virtual-machine file
// systems give every file 0): such a folder is taken as new; the walk still ends, since a loop
// that no identity shows makes the paths longer until they can no longer be listed.
bool LibraryIndex::FirstVisit(FileSystem& files, std::uint32_t folder, const std::wstring& path, FoldersSeen& seen) {
    const std::optional<std::uint64_t> fileIndex = files.FileIndexOf(path);
    if (!fileIndex || *fileIndex == 0 || *fileIndex == ~0ull) {
        const std::optional<FileIdentity> identity = files.IdentityOf(path);
        return !identity || !identity->Known() || seen.identities.insert(*identity).second;
    }
    const auto [first, isNew] = seen.byIndex.emplace(*fileIndex, folder);
    if (isNew) return true;
    // The same index: the same folder, or one on another volume that has the same number.
    if (first->second != kNone) {
        const std::uint32_t earlier = first->second;
        const std::wstring earlierPath(std::wstring_view(folderText_).substr(
            folderStarts_[earlier], folderStarts_[earlier + 1] - folderStarts_[earlier]));
        const std::optional<FileIdentity> identity = files.IdentityOf(earlierPath);
        if (identity && identity->Known()) seen.identities.insert(*identity);
        first->second = kNone;  // its identity is in the set now
    }
    const std::optional<FileIdentity> identity = files.IdentityOf(path);
    return !identity || !identity->Known() || seen.identities.insert(*identity).second;
}

std::uint32_t LibraryIndex::AddFolder(std::wstring_view path) {
    if (folderStarts_.empty()) folderStarts_.push_back(0);
    folderText_.append(path);
    if (folderText_.empty() || folderText_.back() != L'\\') folderText_ += L'\\';
    folderStarts_.push_back(static_cast<std::uint32_t>(folderText_.size()));
    return static_cast<std::uint32_t>(folderStarts_.size() - 2);
}

void LibraryIndex::AddFile(std::uint32_t folder, std::wstring_view name, std::wstring& scratch) {
    scratch.assign(StemOf(name));
    FoldCaseInPlace(scratch);
    files_.push_back({folder, static_cast<std::uint32_t>(nameText_.size()), HashOf(scratch), kNone});
    nameText_.append(name);
}

void LibraryIndex::MakeBuckets() {
    buckets_.assign(std::bit_ceil(std::max<std::size_t>(files_.size(), 1)), kNone);
    for (std::uint32_t file = 0; file < files_.size(); ++file) {
        std::uint32_t& head = buckets_[files_[file].stemHash & (buckets_.size() - 1)];
        files_[file].next = head;
        head = file;
    }
}

std::wstring_view LibraryIndex::FolderOf(std::uint32_t file) const {
    const std::uint32_t folder = files_[file].folder;
    return std::wstring_view(folderText_).substr(folderStarts_[folder], folderStarts_[folder + 1] - folderStarts_[folder]);
}

std::wstring_view LibraryIndex::NameOf(std::uint32_t file) const {
    const std::size_t start = files_[file].nameStart;
    const std::size_t end = file + 1 < files_.size() ? files_[file + 1].nameStart : nameText_.size();
    return std::wstring_view(nameText_).substr(start, end - start);
}

std::wstring LibraryIndex::PathOf(std::uint32_t file) const {
    std::wstring path(FolderOf(file));
    path.append(NameOf(file));
    return path;
}

std::size_t LibraryIndex::MemoryBytes() const {
    return folderText_.capacity() * sizeof(wchar_t) + folderStarts_.capacity() * sizeof(std::uint32_t) +
           nameText_.capacity() * sizeof(wchar_t) + files_.capacity() * sizeof(File) +
           buckets_.capacity() * sizeof(std::uint32_t);
}

LibraryIndex LibraryIndex::Build(const RunContext& context, const std::vector<std::wstring>& folders) {
    LibraryIndex index;
    FoldersSeen seen;
    std::vector<std::uint32_t> pending;
    std::wstring scratch;
    // Paced like a run's lines: the window repaints and shows the count, the console tool
    // draws it, and a stop is seen within an interval, even inside one huge folder.
    EventPacer pacer(context.host, 0);
    for (const std::wstring& root : folders) {
        const std::uint32_t rootFolder = index.AddFolder(root);
        index.rootFolders_.push_back(rootFolder);
        pending.push_back(rootFolder);
        while (!pending.empty() && !pacer.Cancelled()) {
            const std::uint32_t folder = pending.back();
            pending.pop_back();
            // A copy: adding folders below may move the buffer.
            const std::wstring path(std::wstring_view(index.folderText_)
                                        .substr(index.folderStarts_[folder],
                                                index.folderStarts_[folder + 1] - index.folderStarts_[folder]));
            // Not every file system marks its links: a folder seen before by identity is a loop.
            if (!index.FirstVisit(context.files, folder, path, seen)) continue;
            std::size_t sinceTick = 0;
            const ErrorCode code = context.files.ListFolder(path, [&](const FolderEntry& entry) {
                if (pacer.Cancelled()) return;
                if (++sinceTick % 256 == 0 && pacer.TickNow()) context.host.ReportFilesFound(index.files_.size());
                if (entry.folder) {
                    if (!entry.reparsePoint) pending.push_back(index.AddFolder(path + std::wstring(entry.name)));
                    return;
                }
                index.AddFile(folder, entry.name, scratch);
            });
            if (code != 0) context.host.ReportFailure({L"Could not list the folder", path, code});
            if (pacer.TickNow()) context.host.ReportFilesFound(index.files_.size());
        }
    }
    context.host.ReportFilesFound(index.files_.size());
    index.MakeBuckets();
    index.folderText_.shrink_to_fit();
    index.nameText_.shrink_to_fit();
    return index;
}

bool LibraryIndex::InRootFolder(std::uint32_t file) const {
    return std::find(rootFolders_.begin(), rootFolders_.end(), files_[file].folder) != rootFolders_.end();
}

namespace {

enum class Verdict { Relinked, Ambiguous, Unsure, NotFound, CannotEncode };

class RelinkRule final : public EntryRewriteRule {
public:
    explicit RelinkRule(const LibraryIndex& library) : library_(library) {}

protected:
    std::optional<std::string> Consider(const PlaylistRun& run, const EntryResolver& resolver,
                                        const EntryLine& entry) override {
        if (FileExists(run.context.files, entry.path)) return std::nullopt;
        const std::wstring_view name = EntryFileName(entry.path);
        const std::wstring_view entryFolder = std::wstring_view(entry.path).substr(0, entry.path.size() - name.size());
        std::size_t candidates = 0, score = 0;
        const std::optional<std::uint32_t> best =
            name.empty() ? std::nullopt : BestCandidate(name, entryFolder, candidates, score);
        OperationHost& host = run.context.host;
        if (!best) {
            if (candidates > 1) {
                Count(Verdict::Ambiguous);
                host.AppendLog(L"Ambiguous: " + entry.text + L" (" + std::to_wstring(candidates) + L" candidates)");
            } else {
                Count(Verdict::NotFound);
                host.AppendLog(L"Not found: " + entry.text);
            }
            return std::nullopt;
        }
        const std::wstring target = library_.PathOf(*best);
        if (score == 0 && !library_.InRootFolder(*best)) {
            Count(Verdict::Unsure);
            host.AppendLog(L"Unsure: " + entry.text + L" -> " + target + L" (no folder in common)");
            return std::nullopt;
        }
        const std::wstring newText = entry.form == EntryForm::Relative && SameVolumeRoot(target, resolver.Folder())
                                         ? RelativeEntryText(resolver.Folder(), target)
                                         : target;
        std::optional<std::string> bytes = run.playlist.Encode(newText);
        if (!bytes) {
            Count(Verdict::CannotEncode);
            host.AppendLog(L"Can't encode: " + entry.text + L" -> " + target);
            return std::nullopt;
        }
        Count(Verdict::Relinked);
        host.AppendLog(L"Relinked: " + entry.text + L" -> " + newText);
        return bytes;
    }

    void Report(const PlaylistRun& run, RunResult result) override {
        const std::wstring others = std::to_wstring(counts_[1]) + L" ambiguous, " + std::to_wstring(counts_[2]) +
                                    L" unsure, " + std::to_wstring(counts_[3]) + L" not found, " +
                                    std::to_wstring(counts_[4]) + L" can't encode";
        if (const std::optional<std::wstring> summary =
                SummaryOf(result, std::to_wstring(counts_[0]) + L" relinked, " + others,
                          std::to_wstring(counts_[0]) + L" to relink, " + others)) {
            run.context.host.ReportSummary(*summary);
        }
    }

private:
    void Count(Verdict verdict) { ++counts_[static_cast<std::size_t>(verdict)]; }

    // The single best of the files of this name (or, when there are none, of this stem with
    // another audio extension) and its score; nullopt when there is none or several share the
    // best score, candidates then saying how many.
    std::optional<std::uint32_t> BestCandidate(std::wstring_view name, std::wstring_view entryFolder,
                                               std::size_t& candidates, std::size_t& bestScore) {
        foldedName_.assign(name);
        FoldCaseInPlace(foldedName_);
        const std::wstring_view foldedStem = StemOf(foldedName_);
        const bool audio = IsAudioExtension(ExtensionOf(name));
        for (const bool converted : {false, true}) {
            if (converted && !audio) break;
            std::optional<std::uint32_t> best;
            bestScore = 0;
            candidates = 0;
            library_.ForEachWithStemHash(foldedStem, [&](std::uint32_t file) {
                candidate_.assign(library_.NameOf(file));
                FoldCaseInPlace(candidate_);
                if (converted ? StemOf(candidate_) != foldedStem || !IsAudioExtension(ExtensionOf(candidate_))
                              : candidate_ != foldedName_) {
                    return;
                }
                const std::size_t score = SharedFoldersUpward(entryFolder, library_.FolderOf(file));
                if (candidates == 0 || score > bestScore) {
                    best = file, bestScore = score, candidates = 1;
                } else if (score == bestScore) {
                    ++candidates;
                }
            });
            if (candidates > 0) return candidates == 1 ? best : std::nullopt;
        }
        return std::nullopt;
    }

    const LibraryIndex& library_;
    std::wstring foldedName_;  // reused
    std::wstring candidate_;   // reused
    std::array<std::size_t, 5> counts_{};
};

}  // namespace

RunOutcome Relink(const RunContext& context, const LibraryIndex& library, const std::wstring& playlistPath) {
    RelinkRule rule(library);
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
