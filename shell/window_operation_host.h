#pragma once
// The main window as the host of a playlist operation: the error log, the busy label, the
// caption and message boxes. Non-owning; lives for one run.
//
// Log lines wait here and reach the list box in batches where the window's events run (at
// most every 30 ms), with the list's redrawing held meanwhile: one line added to a visible
// list box costs milliseconds, a batch of thousands about as much. Before a box is shown and
// when the run ends the list box holds every line. Captions are shown at most once an event
// interval the same way.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "playlist/operation_host.h"
#include "shell/controls.h"

namespace tallowmere::shell {

class WindowOperationHost final : public playlist::OperationHost {
public:
    WindowOperationHost(HWND window, ListBox errorLog, Static busyLabel)
        : window_(window), errorLog_(errorLog), busyLabel_(busyLabel) {}
    ~WindowOperationHost() override { ShowPending(); }
    WindowOperationHost(const WindowOperationHost&) = delete;
    WindowOperationHost& operator=(const WindowOperationHost&) = delete;

    void ClearLog() override;
    void AppendLog(const std::wstring& line) override;
    std::size_t LogCount() const override;
    void ShowBusy(bool visible) override;
    void SetCaption(const std::wstring& caption) override;
    void ShowMessage(const std::wstring& prompt) override;
    void ReportFailure(const playlist::FileFailure& failure) override;
    void LetEventsRun() override;
    // The caption: "Relink Moved Songs: N files found" (a library walk).
    void ReportFilesFound(std::size_t found) override;
    // Asks through the given question; without one, every change is written.
    bool ConfirmChanges(std::size_t changes) override;

    // The question a run asks before it writes a planned change (every line of the plan is
    // in the error log by then).
    void AskBeforeChanges(std::function<bool(std::size_t changes)> ask) { ask_ = std::move(ask); }

private:
    // Moves the waiting lines into the list box in one batch, and shows a waiting caption.
    void ShowPending();

    HWND window_;
    ListBox errorLog_;
    Static busyLabel_;
    std::vector<std::wstring> pending_;  // logged, not yet in the list box
    // A caption set less than an event interval after the last one shown waits here: each
    // costs a repaint of the frame (under Wine about half a millisecond), and one a line
    // would cost more than the run.
    std::optional<std::wstring> pendingCaption_;
    std::chrono::steady_clock::time_point captionShownAt_{};
    std::function<bool(std::size_t)> ask_;
};

}  // namespace tallowmere::shell
