// The driver's command table, argument parsing, output and window search.
#include <cstdio>

#include "commands.h"

namespace driver {

namespace {

std::vector<Command>& Table() {
    static std::vector<Command> table;  // filled by RegisterCommand before wmain runs
    return table;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

void WriteOut(const std::string& bytes) {
    // Raw bytes to whatever stdout is (a pipe under the tests): no console code page involved.
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

}  // namespace

RegisterCommand::RegisterCommand(Command command) { Table().push_back(command); }

const std::vector<Command>& AllCommands() { return Table(); }

std::optional<std::wstring> Args::Option(std::wstring_view name) const {
    const std::wstring prefix = L"--" + std::wstring(name);
    for (const auto& word : words_) {
        if (word == prefix) return std::wstring();
        if (word.size() > prefix.size() && word.compare(0, prefix.size(), prefix) == 0 &&
            word[prefix.size()] == L'=') {
            return word.substr(prefix.size() + 1);
        }
    }
    return std::nullopt;
}

std::optional<std::wstring> Args::Required(std::wstring_view name) const {
    auto value = Option(name);
    if (!value) Print(L"error", L"missing --" + std::wstring(name));
    return value;
}

DWORD Args::TimeoutMs(DWORD defaultMs) const {
    const auto value = Option(L"timeout");
    if (!value || value->empty()) return defaultMs;
    return static_cast<DWORD>(std::wcstoul(value->c_str(), nullptr, 10));
}

std::wstring Escape(std::wstring_view text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': escaped += L"\\\\"; break;
        case L'\r': escaped += L"\\r"; break;
        case L'\n': escaped += L"\\n"; break;
        case L'\t': escaped += L"\\t"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

void Print(std::wstring_view key, std::wstring_view value) {
    WriteOut(Utf8(std::wstring(key) + L"=" + Escape(value) + L"\n"));
}

void Print(std::wstring_view key, long long value) { Print(key, std::to_wstring(value)); }

std::wstring WindowText(HWND window) {
    // GetWindowTextW reads the stored text of another process's windows without sending it
    // a message, so a busy or hung process cannot stall the search.
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

bool IsMessageBoxWindow(HWND window) { return ClassName(window) == L"#32770"; }

DWORD ProcessIdOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::wstring ProcessFileName(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return {};
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = MAX_PATH * 4;
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    if (!ok) return {};
    const std::wstring full(path, size);
    const auto slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

std::vector<HWND> TopLevelWindows(const std::function<bool(HWND)>& match) {
    struct Search {
        const std::function<bool(HWND)>* match;
        std::vector<HWND> found;
    } search{&match, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if ((*s->match)(window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PollPause() { Sleep(50); }

HWND WaitForTopLevel(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const auto found = TopLevelWindows(match);
        if (!found.empty()) return found.front();
        if (GetTickCount64() >= deadline) return nullptr;
        PollPause();
    }
}

std::optional<std::function<bool(HWND)>> WindowFilter(const Args& args, bool needText) {
    auto text = args.Option(L"title");
    if (!text) text = args.Option(L"caption");
    if (!text && needText) {
        Print(L"error", L"missing --title or --caption");
        return std::nullopt;
    }
    const auto className = args.Option(L"class");
    const bool box = args.Option(L"box").has_value();
    const auto exe = args.Option(L"exe");
    const auto pidText = args.Option(L"pid");
    const DWORD pid = pidText ? static_cast<DWORD>(std::wcstoul(pidText->c_str(), nullptr, 10)) : 0;
    return [=](HWND window) {
        if (box && !IsMessageBoxWindow(window)) return false;
        if (className && ClassName(window) != *className) return false;
        if (pid && ProcessIdOf(window) != pid) return false;
        if (exe && CompareStringOrdinal(ProcessFileName(ProcessIdOf(window)).c_str(), -1, exe->c_str(), -1,
                                        TRUE) != CSTR_EQUAL) {
            return false;
        }
        if (text && WindowText(window) != *text) return false;
        return true;
    };
}

HWND FindMainWindow(const Args& args) {
    auto filter = WindowFilter(args);
    if (!filter) return nullptr;
    HWND window = WaitForTopLevel(
        [&](HWND candidate) { return !IsMessageBoxWindow(candidate) && IsWindowVisible(candidate) && (*filter)(candidate); },
        args.TimeoutMs());
    if (!window) Print(L"found", 0);
    return window;
}

int WaitUntilNone(const std::function<bool(HWND)>& match, const Args& args) {
    const ULONGLONG deadline = GetTickCount64() + args.TimeoutMs();
    while (!TopLevelWindows(match).empty()) {
        if (GetTickCount64() >= deadline) {
            Print(L"gone", 0);
            return kNotSo;
        }
        PollPause();
    }
    Print(L"gone", 1);
    return kDone;
}

}  // namespace driver
