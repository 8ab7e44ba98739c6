// Strip non-existant songs: keeps tag lines as read and the entries whose files exist, each
// written as its resolved full path; logs every dropped entry. Entries on a volume that
// cannot be reached (no such drive, no medium, share offline) are kept untested, and stream
// addresses are kept as they are: neither is a missing song.
#include <optional>
#include <string>
#include <unordered_map>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/run.h"

namespace tallowmere::playlist {
namespace {

class MissingSongFilter {
public:
    MissingSongFilter(const RunContext& context, const PlaylistText& playlist,
                      const std::wstring& playlistPath)
        : context_(context),
          playlist_(playlist),
          folder_(PlaylistFolder(playlistPath)),
          drive_(context.programFolder.substr(0, 2)),
          encodedFolder_(playlist.Encode(folder_)),
          encodedDrive_(playlist.Encode(drive_)) {}

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
        entry_.clear();
        playlist_.AppendDecoded(entry_, line);
        const std::wstring& entry = entry_;
        if (IsStreamAddress(entry)) {
            kept.Add(line);
            return;
        }
        // The prefixes are encoded once per run; only they are ever encoded, so the entry's
        // own bytes go out as they came in. A prefix the playlist's encoding cannot hold
        // exactly is not written: the entry is kept as read, and still names the same file.
        std::wstring_view prefix;
        const std::optional<std::string>* encodedPrefix = &kNoPrefix;
        switch (FormOf(entry)) {
            case EntryForm::Absolute:
            case EntryForm::Network:
                break;
            case EntryForm::RootRelative:
                prefix = drive_, encodedPrefix = &encodedDrive_;
                break;
            case EntryForm::Relative:
                prefix = folder_, encodedPrefix = &encodedFolder_;
                break;
        }
        resolved_.assign(prefix).append(entry);
        const std::size_t rootLength = VolumeRootLength(resolved_);
        const bool unreachable =
            rootLength != 0 && !Reachable(std::wstring_view(resolved_).substr(0, rootLength));
        if (unreachable || FileExists(context_.files, resolved_)) {
            if (*encodedPrefix) {
                kept.Add(**encodedPrefix, line);
            } else {
                kept.Add(line);
            }
            return;
        }
        // GetFileName of the resolved path, in a message string kept from line to line.
        message_.assign(L"Missing: ").append(FileNamePart(resolved_));
        context_.host.AppendLog(message_);
    }

private:
    // Asks once per volume; logs "Unreachable: " at the first entry on a volume that is not.
    bool Reachable(std::wstring_view root) {
        if (root == lastRoot_) return lastReachable_;  // the common case: the same volume again
        std::wstring key(root);
        LowerCaseInPlace(key);
        auto known = reachable_.find(key);
        if (known == reachable_.end()) {
            const std::wstring rootText(root);
            const bool reachable = context_.files.VolumeReachable(rootText);
            if (!reachable) context_.host.AppendLog(L"Unreachable: " + rootText);
            known = reachable_.emplace(std::move(key), reachable).first;
        }
        lastRoot_ = root;
        lastReachable_ = known->second;
        return lastReachable_;
    }

    const RunContext& context_;
    const PlaylistText& playlist_;
    const std::wstring folder_;  // the playlist folder
    const std::wstring drive_;   // first two characters of the program's folder
    static inline const std::optional<std::string> kNoPrefix{std::string()};
    const std::optional<std::string> encodedFolder_;  // nullopt: cannot be written exactly
    const std::optional<std::string> encodedDrive_;
    std::wstring entry_;     // reused from line to line
    std::wstring resolved_;  // reused from line to line
    std::wstring message_;   // reused from line to line
    std::unordered_map<std::wstring, bool> reachable_;  // lower-cased volume root -> answer
    std::wstring lastRoot_;
    bool lastReachable_ = false;
};

}  // namespace

RunOutcome StripMissingSongs(const RunContext& context, const std::wstring& playlistPath) {
    return RewriteLineByLine(context, playlistPath, [&](const PlaylistText& playlist) {
        return MissingSongFilter(context, playlist, playlistPath);
    });
}

}  // namespace tallowmere::playlist
