#pragma once
// The main window as the host of a playlist operation: the error log, the busy label, the
// caption and message boxes. Non-owning; lives for one run.
//
// Log lines wait here and reach the list box in batches where the window's events run (at
// most every 30 ms), with the list's redrawing held meanwhile: one line added to a visible
// list box costs milliseconds, a batch of thousands about as much. Before a box is shown and
// when the run ends the list box holds every line.
#include <windows.h>

#include <string>
#include <vector>

#include "playlist/operation_host.h"
#include "shell/controls.h"

namespace tallowmere::shell {

class WindowOperationHost final : public playlist::OperationHost {
public:
    WindowOperationHost(HWND window, ListBox errorLog, Static busyLabel)
        : window_(window), errorLog_(errorLog), busyLabel_(busyLabel) {}
    ~WindowOperationHost() override { AddPendingLines(); }
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

private:
    // Moves the waiting lines into the list box in one batch.
    void AddPendingLines();

    HWND window_;
    ListBox errorLog_;
    Static busyLabel_;
    std::vector<std::wstring> pending_;  // logged, not yet in the list box
};

}  // namespace tallowmere::shell
