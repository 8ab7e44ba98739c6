#pragma once
// The main window as the host of a playlist operation: the error log, the busy label, the
// caption and message boxes. Non-owning; lives for one run.
#include <windows.h>

#include "playlist/operation_host.h"
#include "shell/controls.h"

namespace tallowmere::shell {

class WindowOperationHost final : public playlist::OperationHost {
public:
    WindowOperationHost(HWND window, ListBox errorLog, Static busyLabel)
        : window_(window), errorLog_(errorLog), busyLabel_(busyLabel) {}

    void ClearLog() override;
    void AppendLog(const std::wstring& line) override;
    std::size_t LogCount() const override;
    void ShowBusy(bool visible) override;
    void SetCaption(const std::wstring& caption) override;
    void ShowMessage(const std::wstring& prompt) override;
    void ReportFailure(const playlist::FileFailure& failure) override;
    void LetEventsRun() override;

private:
    HWND window_;
    ListBox errorLog_;
    Static busyLabel_;
};

}  // namespace tallowmere::shell
