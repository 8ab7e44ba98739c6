#pragma once
// tallowmere-driver: a console program that drives tallowmere.exe from a second process
// under Wine, for the end-to-end tests. Each command is a function in its own source file
// that adds itself to the one command table with a RegisterCommand object:
//
//     static const RegisterCommand kWaitBox{{L"wait-box", L"--title=T [--timeout=MS]", WaitBox}};
//
// Output is machine-readable: one key=value per line, UTF-8, values escaped by Escape()
// (backslash, CR, LF and tab as \\ \r \n \t). Exit status: 0 done, 1 the expected thing did
// not happen (timeout, not found), 2 bad usage.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace driver {

inline constexpr int kDone = 0;
inline constexpr int kNotSo = 1;
inline constexpr int kBadUsage = 2;

// The command's arguments: --name=value options and bare words, in order.
class Args {
public:
    explicit Args(std::vector<std::wstring> words) : words_(std::move(words)) {}
    // The value of --name=value (or of a bare --name: empty string); nullopt when absent.
    std::optional<std::wstring> Option(std::wstring_view name) const;
    // Like Option, but prints "error=missing --name" when absent.
    std::optional<std::wstring> Required(std::wstring_view name) const;
    // --timeout=MS, or the default. Every wait is bounded by it.
    DWORD TimeoutMs(DWORD defaultMs = 10000) const;
    const std::vector<std::wstring>& Words() const { return words_; }

private:
    std::vector<std::wstring> words_;
};

struct Command {
    std::wstring_view name;
    std::wstring_view usage;
    int (*run)(const Args&);
};

struct RegisterCommand {
    explicit RegisterCommand(Command command);
};

const std::vector<Command>& AllCommands();

// ---- output -----------------------------------------------------------------------------
std::wstring Escape(std::wstring_view text);
// Writes key=value (value escaped) and a line feed to stdout as UTF-8.
void Print(std::wstring_view key, std::wstring_view value);
void Print(std::wstring_view key, long long value);

// ---- windows ----------------------------------------------------------------------------
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
bool IsMessageBoxWindow(HWND window);  // dialog class #32770
DWORD ProcessIdOf(HWND window);
// File name (no folder) of a process's executable; empty when it cannot be asked.
std::wstring ProcessFileName(DWORD pid);

// Top-level windows (hidden ones included) for which `match` answers yes.
std::vector<HWND> TopLevelWindows(const std::function<bool(HWND)>& match);

// Polls TopLevelWindows until one matches or timeoutMs passes; nullptr on timeout.
HWND WaitForTopLevel(const std::function<bool(HWND)>& match, DWORD timeoutMs);

// The filter most commands share: --title=T / --caption=C (exact window text),
// --class=NAME, --box (class #32770), --pid=N, --exe=NAME (the owning process's file name,
// e.g. tallowmere.exe, so the tests' own boxes are never taken for the program's). Prints an error and answers nullopt when
// none of title/caption is given and `needText` is true.
std::optional<std::function<bool(HWND)>> WindowFilter(const Args& args, bool needText = true);

// The visible top-level window (not a message box) that WindowFilter matches, waited for up
// to --timeout; prints found=0 when there is none.
HWND FindMainWindow(const Args& args);

// Polls until no top-level window matches or --timeout passes; prints gone=1 or gone=0 and
// answers kDone or kNotSo.
int WaitUntilNone(const std::function<bool(HWND)>& match, const Args& args);

// Sleeps a little between polls.
void PollPause();

}  // namespace driver
