#include "shell/window_operation_host.h"

#include "shell/failure_text.h"
#include "shell/platform.h"

namespace tallowmere::shell {

void WindowOperationHost::ClearLog() {
    pending_.clear();
    errorLog_.Clear();
}

void WindowOperationHost::AppendLog(const std::wstring& line) { pending_.push_back(line); }

std::size_t WindowOperationHost::LogCount() const {
    const int count = errorLog_.Count();
    return (count > 0 ? static_cast<std::size_t>(count) : 0) + pending_.size();
}

void WindowOperationHost::ShowPending() {
    if (pendingCaption_) {
        SetWindowTextW(window_, pendingCaption_->c_str());
        captionShownAt_ = std::chrono::steady_clock::now();
        pendingCaption_.reset();
    }
    if (pending_.empty()) return;
    std::size_t characters = 0;
    for (const std::wstring& line : pending_) characters += line.size() + 1;
    errorLog_.SetRedraw(false);
    // Room for the whole batch at once rather than a few items at a time.
    errorLog_.ReserveStorage(pending_.size(), characters * sizeof(wchar_t));
    for (const std::wstring& line : pending_) errorLog_.Add(line);
    errorLog_.SetRedraw(true);
    InvalidateRect(errorLog_.Handle(), nullptr, TRUE);
    pending_.clear();
}

void WindowOperationHost::ShowBusy(bool visible) {
    if (!visible) ShowPending();
    busyLabel_.Show(visible);
    // Paint now when a run begins: it may not let events run before its first line is done.
    // At its end the window's own loop paints, as soon as the run returns to it.
    if (visible) RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void WindowOperationHost::SetCaption(const std::wstring& caption) {
    const auto now = std::chrono::steady_clock::now();
    if (now - captionShownAt_ < EventInterval()) {
        pendingCaption_ = caption;
        return;
    }
    pendingCaption_.reset();
    SetWindowTextW(window_, caption.c_str());
    captionShownAt_ = now;
}

void WindowOperationHost::ShowMessage(const std::wstring& prompt) {
    ShowPending();
    ShowMessageBox(window_, prompt, BoxButtons::Ok, BoxIcon::None);
}

void WindowOperationHost::ReportFailure(const playlist::FileFailure& failure) {
    ShowPending();
    ShowMessageBox(window_, FailurePrompt(failure), BoxButtons::Ok, BoxIcon::Critical);
}

void WindowOperationHost::ReportFilesFound(std::size_t found) {
    SetCaption(L"Relink Moved Songs: " + std::to_wstring(found) + (found == 1 ? L" file found" : L" files found"));
}

bool WindowOperationHost::ConfirmChanges(std::size_t changes) {
    if (!ask_) return true;
    ShowPending();  // the whole plan is in the log before the question
    return ask_(changes);
}

void WindowOperationHost::LetEventsRun() {
    ShowPending();
    LetPendingEventsRun(window_);
}

}  // namespace tallowmere::shell
