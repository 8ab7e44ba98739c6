#pragma once
// What every playlist operation does around its own rule: the path test, refusing files that
// are no text playlist, the busy indicator, the backup copy, reading, pacing the window's
// events and the atomic rewrite. Copy to One Folder uses the pieces; the three rewriting
// operations use RewriteLineByLine whole.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "playlist/operations.h"
#include "playlist/playlist_text.h"

namespace tallowmere::playlist {

inline constexpr wchar_t kLocateMessage[] =
    L"Unable to locate Winamp playlist. Please reselect it if the file still exists.";

// The message for a file that is no text playlist.
std::wstring NotTextPlaylistMessage(const std::wstring& playlistPath);

// Shows the busy indicator for its lifetime: hidden again on every way out of a run.
class BusyIndicator {
public:
    explicit BusyIndicator(OperationHost& host) : host_(host) { host_.ShowBusy(true); }
    ~BusyIndicator() { host_.ShowBusy(false); }
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

private:
    OperationHost& host_;
};

// Lets pending window events run at most about every 30 ms of work: the window stays
// responsive without paying for a message-queue check on every line.
class EventPacer {
public:
    static constexpr std::chrono::milliseconds kInterval{30};
    explicit EventPacer(OperationHost& host)
        : host_(host), last_(std::chrono::steady_clock::now()) {}
    void Tick() {
        // The clock is read every 32 lines only: a line takes far less than a millisecond.
        if (++lines_ % 32 != 0) return;
        TickAfterSlowStep();
    }
    // After a step that can take long by itself (copying a song): the clock is read each time.
    void TickAfterSlowStep() {
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < kInterval) return;
        host_.LetEventsRun();
        last_ = std::chrono::steady_clock::now();
    }

private:
    OperationHost& host_;
    std::chrono::steady_clock::time_point last_;
    unsigned lines_ = 0;
};

// Reads the playlist whole. A read failure is reported (Failed); a file that is no text
// playlist gets its message (Refused). Nothing is shown on success.
std::optional<PlaylistText> LoadPlaylist(const RunContext& context,
                                         const std::wstring& playlistPath, RunOutcome& outcome);

// What a rewriting operation does with one line: add it (or a new form of it) to the writer,
// or drop it, logging through the host as its rule says.
using LineRule = std::function<void(std::string_view line, PlaylistWriter& kept)>;

// One run of a rewriting operation on playlistPath, taken once: path test, reading and
// refusal, busy indicator, cleared log, backup copy "<path>_backup", the rule applied to every
// line, and the atomic rewrite. makeRule is called with the playlist once it is read.
RunOutcome RewriteLineByLine(const RunContext& context, const std::wstring& playlistPath,
                             const std::function<LineRule(const PlaylistText&)>& makeRule);

}  // namespace tallowmere::playlist
