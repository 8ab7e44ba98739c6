// Strip non-existant songs: keeps tag lines as read and the entries whose files exist, each
// written as its resolved full path (the text entry resolution puts before it, then the entry
// as read); logs every dropped entry. Entries on a volume that cannot be reached (no such
// drive, no medium, share offline) are kept untested, and entries that cannot name a file
// (addresses, "C:a.mp3") are kept as they are: neither is a missing song.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "playlist/folder_existence.h"
#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

// A line of more bytes than three for each character of the longest path Windows takes
// (32,767 UTF-16 units; no encoding spends more than three bytes on one) holds more characters
// than any path: it names no file. It is never decoded whole to be asked about, only its first
// bytes for its form, an address's scheme and its volume; a playlist of one line of megabytes
// would otherwise cost several times its size.
constexpr std::size_t kLongestPath = 32767;
constexpr std::size_t kProbedBytes = 4096;
bool TooLongForAPath(std::string_view line) { return line.size() > 3 * kLongestPath; }

// The run reads the whole playlist first, so existence is found out for all entries before
// the rewrite: one look per folder (FolderExistence), several at once where the file system
// allows. The rewrite pass then keeps, drops and logs in the playlist's order.
class MissingSongFilter {
    static constexpr std::size_t kEntriesAskedAtOnce = 16384;

public:
    MissingSongFilter(const RunContext& context, const PlaylistText& playlist,
                      const std::wstring& playlistPath, EventPacer& pacer)
        : context_(context),
          playlist_(playlist),
          // The drive of root-relative entries is the program's own.
          resolver_(PlaylistFolder(playlistPath), DriveOfPath(context.programFolder)),
          encodedFolder_(playlist.Encode(resolver_.Folder())),
          encodedDrive_(playlist.Encode(resolver_.DriveSource())),
          existence_(context.files) {
        FindExistence(pacer);
    }

    void operator()(std::string_view line, PlaylistWriter& kept) {
        switch (ClassifyLine(line)) {
            case LineKind::Empty:
                return;
            case LineKind::Tag:
                kept.Add(line);
                return;
            case LineKind::Entry:
                break;
        }
        const std::optional<std::string>* encodedPrefix = nullptr;
        if (!Resolve(line, encodedPrefix)) {
            kept.Add(line);  // names no file: an address, a drive-relative entry
            return;
        }
        const Verdict verdict = verdicts_[nextVerdict_++];
        if (verdict == Verdict::FirstOnUnreachableVolume) {
            context_.host.AppendLog(L"Unreachable: " +
                                    resolved_.substr(0, VolumeRootLength(resolved_)));
        }
        if (verdict != Verdict::Missing) {
            // A prefix the playlist's encoding cannot hold exactly is not written: the entry
            // is kept as read, and still names the same file.
            if (*encodedPrefix) {
                kept.Add(**encodedPrefix, line);
            } else {
                kept.Add(line);
            }
            return;
        }
        // GetFileName of the resolved path, in a message string kept from line to line.
        if (TooLongForAPath(line)) {
            // resolved_ holds its first characters only; the name is the line's after its
            // last separator (the prefixes end in one, or come before the line's own).
            message_.assign(L"Missing: ");
            playlist_.AppendDecoded(message_, line);
            const std::size_t slash = message_.find_last_of(L"\\/");
            if (slash != std::wstring::npos && slash >= 9) message_.erase(9, slash + 1 - 9);
        } else {
            message_.assign(L"Missing: ").append(EntryFileName(resolved_));
        }
        context_.host.AppendLog(message_);
    }

private:
    // What the first pass found for an entry (stream addresses are not counted).
    enum class Verdict : std::uint8_t {
        Exists,
        Missing,
        OnUnreachableVolume,       // kept untested
        FirstOnUnreachableVolume,  // kept untested, "Unreachable: " logged before it
    };

    // Resolves an entry into resolved_ and gives the encoded prefix that goes before its
    // bytes; false for an entry that names no file, which is kept as it is.
    bool Resolve(std::string_view line, const std::optional<std::string>*& encodedPrefix) {
        entry_.clear();
        playlist_.AppendDecoded(entry_, TooLongForAPath(line) ? line.substr(0, kProbedBytes) : line);
        // The prefixes are encoded once per run; only they are ever encoded, so the entry's
        // own bytes go out as they came in.
        encodedPrefix = &kNoPrefix;
        switch (resolver_.Resolve(entry_, resolved_)) {
            case EntryForm::NotAFile:
                return false;
            case EntryForm::Absolute:
            case EntryForm::Network:
                break;
            case EntryForm::RootRelative:
                encodedPrefix = &encodedDrive_;
                break;
            case EntryForm::Relative:
                encodedPrefix = &encodedFolder_;
                break;
        }
        return true;
    }

    // The first pass: resolves every entry, asks once per volume whether it can be reached,
    // and has the existence of the others found out. Its progress is the run's; it ends
    // early when the user stops the run (the pacer tells).
    void FindExistence(EventPacer& pacer) {
        LineReader reader(playlist_.Body());
        std::string_view line;
        const std::optional<std::string>* unusedPrefix = nullptr;
        // The entries are asked about a slice at a time: the memory for their paths stays
        // fixed however long the playlist. A slice ends between folders where it can, so an
        // album is listed once.
        std::vector<std::size_t> asked;  // the verdicts the slice's answers go to
        std::wstring lastFolder;         // of the last entry asked about
        std::size_t linesSettled = 0;    // lines before the slice
        std::size_t lineCount = 0;
        // Answers the slice, which ends before line sliceEnd (counting from 1).
        auto answer = [&](std::size_t sliceEnd) {
            // Progress while the slice is answered: its lines in proportion to its answers.
            const std::size_t sliceLines = sliceEnd - linesSettled;
            const bool answered = existence_.AnswerAll(
                [&](std::size_t answers) {
                    pacer.FirstPassAt(linesSettled + sliceLines * answers / std::max<std::size_t>(asked.size(), 1),
                                      true);
                    return !pacer.Cancelled();
                },
                context_.host.EventInterval());
            if (!answered) return false;
            for (std::size_t i = 0; i < asked.size(); ++i) {
                verdicts_[asked[i]] = existence_.Exists(i) ? Verdict::Exists : Verdict::Missing;
            }
            existence_.Clear();
            asked.clear();
            lastFolder.clear();
            linesSettled = sliceEnd;
            return true;
        };
        while (reader.Next(line)) {
            ++lineCount;
            // With nothing waiting for an answer, the lines so far are settled.
            if (asked.empty()) linesSettled = lineCount - 1;
            pacer.FirstPassAt(linesSettled);
            if (pacer.Cancelled()) return;
            if (ClassifyLine(line) != LineKind::Entry || !Resolve(line, unusedPrefix)) continue;
            const std::size_t rootLength = VolumeRootLength(resolved_);
            bool firstOnVolume = false;
            if (rootLength != 0 &&
                !Reachable(std::wstring_view(resolved_).substr(0, rootLength), firstOnVolume)) {
                verdicts_.push_back(firstOnVolume ? Verdict::FirstOnUnreachableVolume
                                                  : Verdict::OnUnreachableVolume);
                continue;
            }
            if (TooLongForAPath(line)) {
                verdicts_.push_back(Verdict::Missing);  // what asking would say, unasked
                continue;
            }
            const std::wstring_view folder =
                std::wstring_view(resolved_).substr(0, resolved_.find_last_of(L'\\') + 1);
            if (asked.size() >= kEntriesAskedAtOnce &&
                (folder != lastFolder || asked.size() >= 2 * kEntriesAskedAtOnce)) {
                if (!answer(lineCount - 1)) return;  // this line begins the next slice
            }
            if (folder != lastFolder) lastFolder.assign(folder);
            asked.push_back(verdicts_.size());
            verdicts_.push_back(Verdict::Missing);
            existence_.Add(resolved_);
        }
        if (!answer(lineCount)) return;
        pacer.FirstPassAt(lineCount, true);
    }

    // Asks once per volume; firstOnVolume tells the first entry on a volume that cannot be
    // reached, where "Unreachable: " is logged.
    bool Reachable(std::wstring_view root, bool& firstOnVolume) {
        if (root == lastRoot_) return lastReachable_;  // the common case: the same volume again
        std::wstring key(root);
        LowerCaseInPlace(key);
        auto known = reachable_.find(key);
        if (known == reachable_.end()) {
            const std::wstring rootText(root);
            const bool reachable = context_.files.VolumeReachable(rootText);
            firstOnVolume = !reachable;
            known = reachable_.emplace(std::move(key), reachable).first;
        }
        lastRoot_ = root;
        lastReachable_ = known->second;
        return lastReachable_;
    }

    const RunContext& context_;
    const PlaylistText& playlist_;
    const EntryResolver resolver_;
    static inline const std::optional<std::string> kNoPrefix{std::string()};
    const std::optional<std::string> encodedFolder_;  // nullopt: cannot be written exactly
    const std::optional<std::string> encodedDrive_;
    std::wstring entry_;     // reused from line to line
    std::wstring resolved_;  // reused from line to line
    std::wstring message_;   // reused from line to line
    FolderExistence existence_;
    std::vector<Verdict> verdicts_;  // one per entry but stream addresses, in order
    std::size_t nextVerdict_ = 0;
    std::unordered_map<std::wstring, bool> reachable_;  // lower-cased volume root -> answer
    std::wstring lastRoot_;
    bool lastReachable_ = false;
};

class StripMissingSongsRule final : public PlaylistRule {
public:
    PlannedChange Plan(PlaylistRun& run) override {
        MissingSongFilter filter(run.context, run.playlist, run.path, run.pacer);
        if (run.pacer.Cancelled()) return {};
        kept_.emplace(run.playlist.bytes, run.playlist.bomLength);
        return RewriteLines(run, filter, *kept_);
    }

private:
    std::optional<PlaylistWriter> kept_;  // holds the planned bytes until the run ends
};

}  // namespace

RunOutcome StripMissingSongs(const RunContext& context, const std::wstring& playlistPath) {
    StripMissingSongsRule rule;
    return RunPlaylist(context, playlistPath, rule);
}

}  // namespace tallowmere::playlist
