// Relink: the library index and the matching of moved entries.
//
// A candidate is a library file of the entry's file name (case-insensitive, as NTFS compares
// names); when there is none, one of the same stem with another audio extension (a converted
// library). Each candidate scores the number of the entry's folders, counted upward from the
// file, that its own folders repeat in the same places (Album, then Artist, then Music...),
// stopping at the first that differs. The single best candidate wins; equal best is no answer.
#include "playlist/relink.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <unordered_set>

#include "playlist/line_changes.h"
#include "playlist/paths.h"
#include "playlist/relative_paths.h"
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
bool LibraryIndex::FirstVisit(FileSystem& files, std::uint32_t folder, const std::wstring& path, FoldersSeen& seen) {
    const std::optional<std::uint64_t> fileIndex = files.FileIndexOf(path);
    if (!fileIndex) {
        const std::optional<FileIdentity> identity = files.IdentityOf(path);
        return !identity || seen.identities.insert(*identity).second;
    }
    const auto [first, isNew] = seen.byIndex.emplace(*fileIndex, folder);
    if (isNew) return true;
    // The same index: the same folder, or one on another volume that has the same number.
    if (first->second != kNone) {
        const std::uint32_t earlier = first->second;
        const std::wstring earlierPath(std::wstring_view(folderText_).substr(
            folderStarts_[earlier], folderStarts_[earlier + 1] - folderStarts_[earlier]));
        if (const std::optional<FileIdentity> identity = files.IdentityOf(earlierPath)) seen.identities.insert(*identity);
        first->second = kNone;  // its identity is in the set now
    }
    const std::optional<FileIdentity> identity = files.IdentityOf(path);
    return !identity || seen.identities.insert(*identity).second;
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
    // draws it.
    EventPacer pacer(context.host, 0);
    for (const std::wstring& root : folders) {
        pending.push_back(index.AddFolder(root));
        while (!pending.empty()) {
            const std::uint32_t folder = pending.back();
            pending.pop_back();
            // A copy: adding folders below may move the buffer.
            const std::wstring path(std::wstring_view(index.folderText_)
                                        .substr(index.folderStarts_[folder],
                                                index.folderStarts_[folder + 1] - index.folderStarts_[folder]));
            // Not every file system marks its links: a folder seen before by identity is a loop.
            if (!index.FirstVisit(context.files, folder, path, seen)) continue;
            const ErrorCode code = context.files.ListFolder(path, [&](const FolderEntry& entry) {
                if (entry.folder) {
                    if (!entry.reparsePoint) pending.push_back(index.AddFolder(path + std::wstring(entry.name)));
                    return;
                }
                index.AddFile(folder, entry.name, scratch);
                if (index.files_.size() % 256 == 0 && pacer.TickNow()) context.host.ReportFilesFound(index.files_.size());
            });
            if (code != 0) context.host.ReportFailure({L"Could not list the folder", path, code});
        }
    }
    context.host.ReportFilesFound(index.files_.size());
    index.MakeBuckets();
    index.folderText_.shrink_to_fit();
    index.nameText_.shrink_to_fit();
    return index;
}

namespace {

enum class Verdict { Relinked, Ambiguous, NotFound, CannotEncode };

// What became of an entry that needed relinking.
struct Finding {
    std::size_t line = 0;
    std::string bytes;   // the new line (Relinked)
    Verdict verdict = Verdict::NotFound;
    std::size_t candidates = 0;  // Ambiguous
    std::wstring target;         // CannotEncode: the file found
};

class Relinker {
public:
    Relinker(const RunContext& context, const LibraryIndex& library, const PlaylistText& playlist,
             const std::wstring& playlistPath)
        : context_(context),
          library_(library),
          playlist_(playlist),
          folder_(NormalizePath(PlaylistFolder(playlistPath))) {}

    // What to do with an entry line: nothing (nullopt) when it needs no relinking.
    std::optional<Finding> Consider(std::size_t number, std::string_view line) {
        entry_.clear();
        playlist_.AppendDecoded(entry_, line);
        if (IsStreamAddress(entry_)) return std::nullopt;
        const std::wstring resolved = NormalizePath(ResolveEntry(entry_, folder_, context_.programFolder));
        if (FileExists(context_.files, resolved)) return std::nullopt;

        Finding finding;
        finding.line = number;
        const std::wstring_view name = FileNamePart(resolved);
        const std::wstring_view entryFolder = std::wstring_view(resolved).substr(0, resolved.size() - name.size());
        const std::optional<std::uint32_t> best =
            name.empty() ? std::nullopt : BestCandidate(name, entryFolder, finding.candidates);
        if (!best) {
            finding.verdict = finding.candidates > 1 ? Verdict::Ambiguous : Verdict::NotFound;
            return Count(std::move(finding));
        }
        std::wstring target = library_.PathOf(*best);
        const std::wstring newLine = FormOf(entry_) == EntryForm::Relative && SameVolumeRoot(target, folder_)
                                         ? RelativePathFrom(folder_, target)
                                         : target;
        if (std::optional<std::string> bytes = playlist_.Encode(newLine)) {
            finding.verdict = Verdict::Relinked;
            finding.bytes = std::move(*bytes);
        } else {
            finding.verdict = Verdict::CannotEncode;
            finding.target = std::move(target);
        }
        return Count(std::move(finding));
    }

    // The log line of a finding, given the entry's line as read.
    std::wstring LogLine(const Finding& finding, std::string_view line) const {
        const std::wstring old = playlist_.Decode(line);
        switch (finding.verdict) {
            case Verdict::Relinked: return L"Relinked: " + old + L" -> " + playlist_.Decode(finding.bytes);
            case Verdict::Ambiguous:
                return L"Ambiguous: " + old + L" (" + std::to_wstring(finding.candidates) + L" candidates)";
            case Verdict::NotFound: return L"Not found: " + old;
            case Verdict::CannotEncode: return L"Can't encode: " + old + L" -> " + finding.target;
        }
        return old;
    }

    // The counts; the host names the playlist in front of them.
    std::wstring Summary() const {
        return std::to_wstring(counts_[0]) + L" relinked, " + std::to_wstring(counts_[1]) +
               L" ambiguous, " + std::to_wstring(counts_[2]) + L" not found, " + std::to_wstring(counts_[3]) +
               L" can't encode";
    }

private:
    Finding Count(Finding finding) {
        ++counts_[static_cast<std::size_t>(finding.verdict)];
        return finding;
    }

    // The single best of the files of this name (or, when there are none, of this stem with
    // another audio extension); nullopt when there is none or several share the best score,
    // bestCount then saying how many.
    std::optional<std::uint32_t> BestCandidate(std::wstring_view name, std::wstring_view entryFolder,
                                               std::size_t& bestCount) {
        foldedName_.assign(name);
        FoldCaseInPlace(foldedName_);
        const std::wstring_view foldedStem = StemOf(foldedName_);
        const bool audio = IsAudioExtension(ExtensionOf(name));
        for (const bool converted : {false, true}) {
            if (converted && !audio) break;
            std::optional<std::uint32_t> best;
            std::size_t bestScore = 0;
            bestCount = 0;
            library_.ForEachWithStemHash(foldedStem, [&](std::uint32_t file) {
                candidate_.assign(library_.NameOf(file));
                FoldCaseInPlace(candidate_);
                if (converted ? StemOf(candidate_) != foldedStem || !IsAudioExtension(ExtensionOf(candidate_))
                              : candidate_ != foldedName_) {
                    return;
                }
                const std::size_t score = SharedFoldersUpward(entryFolder, library_.FolderOf(file));
                if (bestCount == 0 || score > bestScore) {
                    best = file, bestScore = score, bestCount = 1;
                } else if (score == bestScore) {
                    ++bestCount;
                }
            });
            if (bestCount > 0) return bestCount == 1 ? best : std::nullopt;
        }
        return std::nullopt;
    }

    const RunContext& context_;
    const LibraryIndex& library_;
    const PlaylistText& playlist_;
    const std::wstring folder_;
    std::wstring entry_;        // reused from line to line
    std::wstring foldedName_;   // reused
    std::wstring candidate_;    // reused
    std::array<std::size_t, 4> counts_{};
};

}  // namespace

RunOutcome Relink(const RunContext& context, const LibraryIndex& library, const std::wstring& playlistPath) {
    RunOutcome outcome = RunOutcome::Done;
    FileStamp readStamp;
    std::optional<PlaylistText> playlist = OpenPlaylist(context, playlistPath, outcome, &readStamp);
    if (!playlist) return outcome;
    const BusyIndicator busy(context.host);
    Relinker relinker(context, library, *playlist, playlistPath);
    std::vector<Finding> findings;
    // Counting the lines costs a pass: only for a host that shows progress.
    EventPacer pacer(context.host, context.host.WantsProgress() ? CountLines(playlist->Body()) : 0);
    LineReader reader(playlist->Body());
    std::string_view line;
    for (std::size_t number = 0; reader.Next(line); ++number, pacer.Tick()) {
        if (ClassifyLine(line) != LineKind::Entry) continue;
        if (std::optional<Finding> finding = relinker.Consider(number, line)) findings.push_back(std::move(*finding));
    }
    pacer.Finish();
    outcome = WriteChangedLines(context, playlistPath, *playlist, readStamp, findings,
                                [&](const Finding& finding, std::string_view old) {
                                    context.host.AppendLog(relinker.LogLine(finding, old));
                                });
    context.host.ReportSummary(relinker.Summary());
    return outcome;
}

}  // namespace tallowmere::playlist
