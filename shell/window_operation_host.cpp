#include "shell/window_operation_host.h"

#include "shell/failure_text.h"
#include "shell/platform.h"

namespace tallowmere::shell {

void WindowOperationHost::ClearLog() { errorLog_.Clear(); }

void WindowOperationHost::AppendLog(const std::wstring& line) { errorLog_.Add(line); }

std::size_t WindowOperationHost::LogCount() const {
    const int count = errorLog_.Count();
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

void WindowOperationHost::ShowBusy(bool visible) {
    busyLabel_.Show(visible);
    // Paint now: the operation may not let events run before its first line is done.
    RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void WindowOperationHost::SetCaption(const std::wstring& caption) { SetWindowTextW(window_, caption.c_str()); }

void WindowOperationHost::ShowMessage(const std::wstring& prompt) {
    ShowMessageBox(window_, prompt, BoxButtons::Ok, BoxIcon::None);
}

void WindowOperationHost::ReportFailure(const playlist::FileFailure& failure) {
    ShowMessageBox(window_, FailurePrompt(failure), BoxButtons::Ok, BoxIcon::Critical);
}

void WindowOperationHost::LetEventsRun() { LetPendingEventsRun(window_); }

}  // namespace tallowmere::shell
