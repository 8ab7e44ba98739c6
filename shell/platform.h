#pragma once
// Win32 platform services the shell relies on: message boxes, system error text, the
// command line, the program's folder, letting pending window events run, ending the program.
#include <windows.h>

#include <string>
#include <string_view>

namespace tallowmere::shell {

inline constexpr wchar_t kApplicationTitle[] = L"Tallowmere";

enum class BoxButtons { Ok, YesNo };  // YesNo: Yes is the default button
enum class BoxIcon { None, Question, Critical };
enum class BoxAnswer { Ok, Yes, No };

// A modal box. An empty title gives "Tallowmere". extraFlags adds MB_* flags
// (for example MB_SETFOREGROUND for boxes without a visible owner).
BoxAnswer ShowMessageBox(HWND owner, std::wstring_view prompt, BoxButtons buttons, BoxIcon icon,
                         std::wstring_view title = {}, UINT extraFlags = 0);

// The system's description of a Win32 error code (FormatMessageW), without the trailing
// line break; a hexadecimal fallback when the system has none.
std::wstring SystemErrorText(DWORD code);

// The raw command line of the process (GetCommandLineW).
std::wstring RawCommandLine();

// The folder of the running executable, without a trailing backslash.
std::wstring ProgramFolder();

// Handles the window events waiting in the queue, then returns. A WM_QUIT met here is
// posted again so the main loop still sees it.
void LetPendingEventsRun();

// Ends the process at once.
[[noreturn]] void EndProgram(UINT exitCode = 0);

}  // namespace tallowmere::shell
