#pragma once
// The one way every operation and repair goes through a playlist, in the window and in the
// console tool alike:
//
//   read it once, with its stamp  ->  the rule plans the new bytes and logs what it finds
//   ->  nothing to change: nothing is written, not even the backup
//   ->  otherwise the host may confirm  ->  the new content and the backup are written beside
//   their places  ->  the stamp is checked  ->  both are put in place  ->  the rule reports.
//
// The playlist's name holds its old or its new content, whole, at every moment, and the backup
// its previous or its new one; the previous backup changes only together with the playlist.
// Cancellation (Ctrl+C, a closed console) and running out of memory are handled here, once.
// A rule is a PlaylistRule: it says what it needs and plans; it has no skeleton of its own.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "playlist/file_system.h"
#include "playlist/operations.h"
#include "playlist/playlist_text.h"

namespace tallowmere::playlist {

inline constexpr wchar_t kLocateMessage[] =
    L"Unable to locate Winamp playlist. Please reselect it if the file still exists.";

// What a failed write says when another program changed or deleted the playlist during
// the run.
inline constexpr wchar_t kChangedMeanwhileDoing[] =
    L"Another program changed or deleted the playlist during the run; nothing was written to it";

// The system's code for "Not enough memory resources are available to process this command."
inline constexpr ErrorCode kNotEnoughMemory = 8;

// The message for a file that is no text playlist.
std::wstring NotTextPlaylistMessage(const std::wstring& playlistPath);

// Counts the lines of a run as they are handled. At most about once every
// host.EventInterval() (30 ms) of work it asks whether the user wants to stop, lets pending
// window events run and, for a host that wants progress, reports the lines done of
// totalLines; the window stays responsive without paying for a message-queue check on every
// line.
class EventPacer {
public:
    EventPacer(OperationHost& host, std::size_t totalLines)
        : host_(host),
          interval_(host.EventInterval()),
          reportProgress_(host.WantsProgress()),
          total_(totalLines),
          last_(std::chrono::steady_clock::now()) {}
    // After a line that took little time: the clock is read every 32 lines only.
    void Tick() {
        if (++done_ % 32 != 0) return;
        CheckClock();
    }
    // After a line whose step can take long by itself (copying a song): the clock is read
    // each time.
    void TickAfterSlowStep() {
        ++done_;
        CheckClock();
    }
    // For a rule that settles the lines in a first pass of its own, before the rewriting
    // pass (Strip non-existant songs asks about every entry first): progress is then that
    // pass's lines, and the rewriting pass, quick after it, reports nothing lower. Called
    // after each line of the first pass (the clock is read every 32 lines), or with paced
    // set where the caller already waits about an interval between calls.
    void FirstPassAt(std::size_t linesSettled, bool paced = false) {
        firstPassDone_ = std::max(firstPassDone_, linesSettled);
        if (paced) {
            Report();
        } else if (++firstPassCalls_ % 32 == 0) {
            CheckClock();
        }
    }
    // For a phase without lines (a walk): reads the clock, and when an interval has passed
    // lets events run and answers true.
    bool TickNow() {
        const bool due = std::chrono::steady_clock::now() - last_ >= interval_;
        if (due) {
            Report();
        } else {
            cancelled_ = host_.Cancelled();
        }
        return due;
    }
    // Whether the host asked to stop, as last seen by Tick, TickAfterSlowStep, FirstPassAt
    // or TickNow.
    bool Cancelled() const { return cancelled_; }
    // After the last line: a host that wants progress hears that all lines are done.
    void Finish() {
        if (reportProgress_) host_.ReportProgress(done_, total_);
    }

private:
    void CheckClock() {
        if (std::chrono::steady_clock::now() - last_ >= interval_) {
            Report();
        } else {
            cancelled_ = host_.Cancelled();
        }
    }
    void Report() {
        cancelled_ = host_.Cancelled();
        if (reportProgress_) host_.ReportProgress(std::max(done_, firstPassDone_), total_);
        host_.LetEventsRun();
        last_ = std::chrono::steady_clock::now();
    }

    OperationHost& host_;
    const std::chrono::steady_clock::duration interval_;
    const bool reportProgress_;
    const std::size_t total_;
    std::size_t firstPassDone_ = 0;
    std::size_t firstPassCalls_ = 0;
    std::chrono::steady_clock::time_point last_;
    std::size_t done_ = 0;
    bool cancelled_ = false;
};

// One playlist in the hands of a rule.
struct PlaylistRun {
    const RunContext& context;
    const std::wstring& path;   // as given: taken once, the run works on it alone
    PlaylistText& playlist;     // as read (no bytes for a rule that reads the stamp only)
    const FileStamp& stamp;     // the playlist's stamp, taken through the handle that read it
    EventPacer& pacer;
};

// What a rule has planned for its playlist.
struct PlannedChange {
    enum class Kind {
        Nothing,         // the playlist stays as it is (the rule may have written files of its own)
        Rewrite,         // bytes take the playlist's place; its old content becomes the backup
        SwapWithBackup,  // the backup and the playlist trade contents
        Refused,         // the rule turned the playlist down and said why
        Failed,          // the rule's own work failed, and it reported how
    };
    Kind kind = Kind::Nothing;
    std::string_view bytes;   // Rewrite: the new content (valid until the run ends)
    std::size_t changes = 0;  // lines or entries that change, for the host's confirmation
};

// How a run ended, for the rule's report.
enum class RunResult {
    Written,     // the planned change is in place
    Unchanged,   // nothing to change: nothing written, no backup
    DryRun,      // planned and shown, not written (the console tool's --dry-run)
    Declined,    // planned, and the user chose not to write it
    NotWritten,  // planned, but a failure (already reported) left everything as it was
    Cancelled,   // stopped by the user before anything was written
};

class PlaylistRule {
public:
    virtual ~PlaylistRule() = default;
    // Whether the run reads the playlist whole, refusing a file that is no text playlist. A
    // restore reads only its stamp: a backup is put back whatever the playlist holds now.
    virtual bool ReadsWholePlaylist() const { return true; }
    // Whether the busy indicator shows while the rule runs.
    virtual bool ShowsBusy() const { return true; }
    // Called before anything is shown or cleared: an outcome (after the rule's own message)
    // turns the playlist down.
    virtual std::optional<RunOutcome> Refuse(const PlaylistRun&) { return std::nullopt; }
    // Goes through the playlist, logging what it finds; checks run.pacer for a stop at least
    // every interval.
    virtual PlannedChange Plan(PlaylistRun& run) = 0;
    // The end of the run: a repair's summary, a restore's log line.
    virtual void Report(const PlaylistRun&, RunResult) {}
};

// Runs rule on the playlist at playlistPath (see the note at the top).
RunOutcome RunPlaylist(const RunContext& context, const std::wstring& playlistPath, PlaylistRule& rule);

// Runs run() and turns running out of memory into a reported failure, the memory taken
// given back as it unwinds, before anything was written. For the phases of a command
// outside RunPlaylist (the walk of a music library).
template <typename Run>
auto FailingWhenOutOfMemory(OperationHost& host, const std::wstring& subject, const Run& run)
    -> std::optional<decltype(run())> {
    try {
        return run();
    } catch (const std::bad_alloc&) {
        host.ReportFailure({L"Could not process the playlist", subject, kNotEnoughMemory});
        return std::nullopt;
    }
}

// A rule's plan for the lines of a playlist, one by one: lineRule(line, kept) adds the line
// (or a new form of it) to kept, or drops it, logging as it says. kept writes over the lines
// already read, so a rule reads earlier lines it kept from kept.Written(), never from the
// playlist's bytes; the line it is given is intact until it adds it. Nothing to change when
// every line was kept as it was.
template <typename LineRule>
PlannedChange RewriteLines(PlaylistRun& run, LineRule& lineRule, PlaylistWriter& kept) {
    LineReader reader(run.playlist.Body());
    std::string_view line;
    while (reader.Next(line)) {
        lineRule(line, kept);
        run.pacer.Tick();
        if (run.pacer.Cancelled()) return {};
    }
    run.pacer.Finish();
    if (kept.Unchanged()) return {};
    return {PlannedChange::Kind::Rewrite, kept.Written(), kept.LineCount()};
}

}  // namespace tallowmere::playlist
