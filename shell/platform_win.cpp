// Win32 platform services. TODO(foundation): replace these placeholders.
#include "shell/platform.h"

namespace tallowmere::shell {

BoxAnswer ShowMessageBox(HWND owner, std::wstring_view prompt, BoxButtons, BoxIcon,
                         std::wstring_view title, UINT extraFlags) {
    std::wstring p(prompt), t(title.empty() ? std::wstring_view(kApplicationTitle) : title);
    MessageBoxW(owner, p.c_str(), t.c_str(), MB_OK | extraFlags);
    return BoxAnswer::Ok;
}
std::wstring SystemErrorText(DWORD) { return {}; }
std::wstring RawCommandLine() { return GetCommandLineW(); }
std::wstring ProgramFolder() { return {}; }
void LetPendingEventsRun() {}
void EndProgram(UINT exitCode) { ExitProcess(exitCode); }

}  // namespace tallowmere::shell
