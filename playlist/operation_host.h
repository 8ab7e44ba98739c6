#pragma once
// What the playlist operations need from whoever runs them: the main window, the
// command-line tool, or a recording stand-in in the tests. The operations never see a
// window handle; everything they show or log goes through this interface.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tallowmere::playlist {

// Win32 error code of a failed file-system call (ERROR_SUCCESS, 0, when it worked).
using ErrorCode = std::uint32_t;

// A failure that ends a run, kept as data; the host turns it into text (system reason
// included) at its own edge.
struct FileFailure {
    std::wstring doing;  // what was being done, e.g. L"Could not make the backup copy"
    std::wstring file;   // the file it was done to
    ErrorCode code = 0;  // the system's reason
};

class OperationHost {
public:
    virtual ~OperationHost() = default;

    // The error log.
    virtual void ClearLog() = 0;
    virtual void AppendLog(const std::wstring& line) = 0;
    virtual std::size_t LogCount() const = 0;

    // The busy indicator ("Busy").
    virtual void ShowBusy(bool visible) = 0;

    // The window caption (Copy to One Folder only).
    virtual void SetCaption(const std::wstring& caption) = 0;

    // A message box: OK only, no icon, title "Tallowmere".
    virtual void ShowMessage(const std::wstring& prompt) = 0;

    // A failure that ends the run: a box naming the file and the system's reason.
    virtual void ReportFailure(const FileFailure& failure) = 0;

    // Let pending window events run (repaint, busy label). The operations call this
    // at most about once every EventInterval() of work, and before a step that can take
    // long by itself (copying a song), so that the window shows what it is doing.
    virtual void LetEventsRun() = 0;
    virtual std::chrono::milliseconds EventInterval() const { return std::chrono::milliseconds(30); }

    // Whether the host shows progress. Only then do the operations count the playlist's
    // lines (a pass over the file) and call ReportProgress: with LetEventsRun, and once
    // more at the end with done == total.
    virtual bool WantsProgress() const { return false; }
    // Progress of a run: lines handled so far of all lines.
    virtual void ReportProgress(std::size_t /*done*/, std::size_t /*total*/) {}

    // Whether the user asked to stop (Ctrl+C on the console tool). Asked with LetEventsRun's
    // pacing and once more right before a playlist is replaced: a stopped run ends there
    // (RunOutcome::Cancelled) and leaves the playlist as it was.
    virtual bool Cancelled() const { return false; }

    // Progress of a walk through a music library: files found so far, about once every
    // EventInterval() of the walk.
    virtual void ReportFilesFound(std::size_t /*found*/) {}

    // Asked once a run has planned its changes (changes > 0 entries or lines to change) and
    // before anything is written: whether to write them. The window asks the user where an
    // operation wants it (relink); every other host writes at once.
    virtual bool ConfirmChanges(std::size_t /*changes*/) { return true; }

    // The closing summary of a repair (counts of what was done, or that nothing was
    // written): a line on the console tool's standard error; the window shows none.
    virtual void ReportSummary(const std::wstring& /*summary*/) {}
};

}  // namespace tallowmere::playlist
