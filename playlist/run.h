#pragma once
// What every playlist operation does around its own rule: the path test, refusing files that
// are no text playlist, the busy indicator, the backup copy, reading, pacing the window's
// events, progress and the atomic rewrite. Copy to One Folder uses the pieces; the three
// rewriting operations use RewriteLineByLine whole.
#include <algorithm>
#include <chrono>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "playlist/file_system.h"
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

// Counts the lines of a run as they are handled. At most about once every
// host.EventInterval() (30 ms) of work it lets pending window events run and, for a host
// that wants progress, reports the lines done of totalLines; the window stays responsive
// without paying for a message-queue check on every line.
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
    // Whether the host asked to stop, as last seen by Tick, TickAfterSlowStep or FirstPassAt.
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

// Reads the playlist whole. A read failure is reported (Failed); a file that is no text
// playlist gets its message (Refused). Nothing is shown on success. *stamp (when given) is
// the playlist's stamp as it was read, for WriteRewritten.
std::optional<PlaylistText> LoadPlaylist(const RunContext& context,
                                         const std::wstring& playlistPath, RunOutcome& outcome,
                                         FileStamp* stamp = nullptr);

// The path test and LoadPlaylist, the first step of every operation: the locate message
// (NotFound), Failed or Refused when the playlist cannot be used.
std::optional<PlaylistText> OpenPlaylist(const RunContext& context,
                                         const std::wstring& playlistPath, RunOutcome& outcome,
                                         FileStamp* stamp = nullptr);

// What a failed rewrite says when another program changed or deleted the playlist during
// the run.
inline constexpr wchar_t kChangedMeanwhileDoing[] =
    L"Another program changed or deleted the playlist during the run; nothing was written to it";

// A file's new content written beside it and not yet in place; thrown away on every way out
// that does not put it in place.
class PendingFile {
public:
    explicit PendingFile(FileSystem& files) : files_(files) {}
    ~PendingFile() { files_.DiscardReplacement(pending_); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    PendingReplacement& Get() { return pending_; }

private:
    FileSystem& files_;
    PendingReplacement pending_;
};

// The steps of RewriteLineByLine before and after the lines.
// Clears the log (unless told not to) and writes the playlist's bytes as read for
// "<path>_backup": flushed beside it, not yet in place. Reports a failure; a backup whose name
// would be longer than a file name can be fails before anything is written.
bool PrepareBackup(const RunContext& context, const std::wstring& playlistPath,
                   std::string_view playlistBytes, PendingFile& backup, bool clearLog = true);
// Writes the new bytes beside the playlist, then puts the backup in place, then the new bytes
// in place of the playlist, both provided it still carries readStamp (when given). Every write is
// done before anything is replaced: a run that fails on the way (a full disk) leaves the
// playlist and its previous backup as they were. Reports a failure.
RunOutcome WriteRewritten(const RunContext& context, const std::wstring& playlistPath,
                          std::string_view bytes, PendingFile& backup,
                          const FileStamp* readStamp = nullptr);
// The backup and the rewrite at once, for a run that has the new bytes before it needs the
// old ones no more.
RunOutcome WriteRewrittenWithBackup(const RunContext& context, const std::wstring& playlistPath,
                                    std::string_view oldBytes, std::string_view newBytes,
                                    const FileStamp* readStamp = nullptr);

// The system's code for "Not enough memory resources are available to process this command."
inline constexpr ErrorCode kNotEnoughMemory = 8;

// Runs run() (a whole operation on playlistPath). When memory runs out on the way, the
// memory already taken is given back as the run unwinds, before anything was written, and
// the run ends like any other failed one: reported, the playlist as it was.
template <typename Run>
RunOutcome FailingWhenOutOfMemory(const RunContext& context, const std::wstring& playlistPath,
                                  const Run& run) {
    try {
        return run();
    } catch (const std::bad_alloc&) {
        context.host.ReportFailure({L"Could not process the playlist", playlistPath, kNotEnoughMemory});
        return RunOutcome::Failed;
    }
}

template <typename MakeRule>
RunOutcome RewriteLineByLineUnguarded(const RunContext& context, const std::wstring& playlistPath,
                                      const MakeRule& makeRule);

// One run of a rewriting operation on playlistPath, taken once: path test, reading and
// refusal, busy indicator, cleared log, backup copy "<path>_backup", a rule applied to every
// line, and the atomic rewrite. makeRule(playlist) is called once the playlist is read and
// gives the rule: a callable rule(std::string_view line, PlaylistWriter& kept) that adds the
// line (or a new form of it) to kept, or drops it, logging through the host as it says.
// kept writes over the lines already read, so a rule reads earlier lines it kept from
// kept.Written(), never from the playlist's bytes; the line it is given is intact until it
// adds it. A template so that each operation's rule is called directly, not through a
// function object per line.
template <typename MakeRule>
RunOutcome RewriteLineByLine(const RunContext& context, const std::wstring& playlistPath,
                             const MakeRule& makeRule) {
    return FailingWhenOutOfMemory(context, playlistPath, [&] {
        return RewriteLineByLineUnguarded(context, playlistPath, makeRule);
    });
}

template <typename MakeRule>
RunOutcome RewriteLineByLineUnguarded(const RunContext& context, const std::wstring& playlistPath,
                                      const MakeRule& makeRule) {
    RunOutcome outcome = RunOutcome::Done;
    FileStamp readStamp;
    std::optional<PlaylistText> playlist = OpenPlaylist(context, playlistPath, outcome, &readStamp);
    if (!playlist) return outcome;
    const BusyIndicator busy(context.host);
    // Before the rule: kept writes over the bytes read.
    PendingFile backup(context.files);
    if (!PrepareBackup(context, playlistPath, playlist->bytes, backup)) return RunOutcome::Failed;

    const std::string_view body = playlist->Body();
    // Counting the lines costs a pass: only for a host that shows progress.
    EventPacer pacer(context.host, context.host.WantsProgress() ? CountLines(body) : 0);
    // A rule that takes the pacer has a first pass of its own, which may be stopped.
    auto rule = [&] {
        if constexpr (std::is_invocable_v<const MakeRule&, const PlaylistText&, EventPacer&>) {
            return makeRule(std::as_const(*playlist), pacer);
        } else {
            return makeRule(std::as_const(*playlist));
        }
    }();
    if (pacer.Cancelled()) return RunOutcome::Cancelled;
    PlaylistWriter kept(playlist->bytes, playlist->bomLength);
    LineReader reader(body);
    std::string_view line;
    while (reader.Next(line)) {
        rule(line, kept);
        pacer.Tick();
        if (pacer.Cancelled()) return RunOutcome::Cancelled;
    }
    pacer.Finish();
    if (context.host.Cancelled()) return RunOutcome::Cancelled;
    return WriteRewritten(context, playlistPath, kept.Written(), backup, &readStamp);
}

}  // namespace tallowmere::playlist
