// Message boxes of another process: wait for one, read it, press a button, or check that
// none shows up.
#include <algorithm>

#include "commands.h"

namespace driver {
namespace {

struct BoxButton {
    HWND window;
    std::wstring text;  // without the & of the mnemonic
    bool isDefault;
};

std::wstring WithoutMnemonic(std::wstring text) {
    std::erase(text, L'&');
    return text;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM context) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

bool IsIconStatic(HWND child) {
    return ClassName(child) == L"Static" &&
           (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

std::vector<BoxButton> VisibleButtons(HWND box) {
    std::vector<BoxButton> buttons;
    for (HWND child : Children(box)) {
        if (!IsWindowVisible(child) || ClassName(child) != L"Button") continue;
        const auto style = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
        buttons.push_back({child, WithoutMnemonic(WindowText(child)), style == BS_DEFPUSHBUTTON});
    }
    // Left to right, as the user reads them.
    std::sort(buttons.begin(), buttons.end(), [](const BoxButton& a, const BoxButton& b) {
        RECT ra{}, rb{};
        GetWindowRect(a.window, &ra);
        GetWindowRect(b.window, &rb);
        return ra.left < rb.left;
    });
    return buttons;
}

std::wstring BoxText(HWND box) {
    // The prompt is the static control with id 0xFFFF (-1), on Windows and under Wine.
    for (HWND child : Children(box)) {
        if (ClassName(child) == L"Static" && !IsIconStatic(child) &&
            (GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF) {
            return WindowText(child);
        }
    }
    return {};
}

// Pixels of a window as shown on screen, 32 bits each.
std::vector<COLORREF> CaptureWindow(HWND window, int width, int height) {
    std::vector<COLORREF> pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT rect{};
    GetWindowRect(window, &rect);
    if (BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY)) {
        pixels.reserve(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The same size drawn here: a system icon on the captured background colour.
std::vector<COLORREF> RenderIcon(LPCWSTR iconId, COLORREF background, int width, int height) {
    std::vector<COLORREF> pixels;
    HICON icon = LoadIconW(nullptr, iconId);
    if (!icon) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    pixels.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory, x, y));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Which system icon the box shows: its icon control is hidden when it has none; otherwise
// the icon's pixels on screen are compared with each system icon drawn here (icon handles
// of another process cannot be read directly).
std::wstring IconKind(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child : Children(box)) {
        if (IsIconStatic(child)) iconControl = child;
    }
    // A box without icon hides its icon control (Windows) or shrinks it to nothing and
    // leaves it empty (Wine).
    if (!iconControl || !IsWindowVisible(iconControl)) return L"none";
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(iconControl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
    RECT rect{};
    GetWindowRect(iconControl, &rect);
    const int width = std::min<int>(rect.right - rect.left, GetSystemMetrics(SM_CXICON));
    const int height = std::min<int>(rect.bottom - rect.top, GetSystemMetrics(SM_CYICON));
    if (!icon || width <= 0 || height <= 0) return L"none";
    const auto shown = CaptureWindow(iconControl, width, height);
    if (shown.empty()) return L"unknown";
    const COLORREF background = shown.front();  // icons leave their corner transparent
    struct Candidate {
        const wchar_t* kind;
        LPCWSTR id;
    };
    const Candidate candidates[] = {{L"critical", IDI_HAND},
                                    {L"question", IDI_QUESTION},
                                    {L"exclamation", IDI_EXCLAMATION},
                                    {L"information", IDI_ASTERISK}};
    std::wstring best = L"unknown";
    size_t fewestDifferences = shown.size() / 10 + 1;  // nearly identical, or no answer
    for (const auto& candidate : candidates) {
        const auto drawn = RenderIcon(candidate.id, background, width, height);
        if (drawn.size() != shown.size()) continue;
        size_t differences = 0;
        for (size_t i = 0; i < drawn.size(); ++i) differences += drawn[i] != shown[i];
        if (differences < fewestDifferences) {
            fewestDifferences = differences;
            best = candidate.kind;
        }
    }
    return best;
}

std::optional<std::function<bool(HWND)>> VisibleBoxFilter(const Args& args, bool needTitle) {
    auto filter = WindowFilter(args, needTitle);
    if (!filter) return std::nullopt;
    return [match = *filter](HWND window) {
        return IsMessageBoxWindow(window) && IsWindowVisible(window) && match(window);
    };
}

void PrintBox(HWND box) {
    Print(L"title", WindowText(box));
    Print(L"text", BoxText(box));
    std::wstring names, defaultName;
    for (const auto& button : VisibleButtons(box)) {
        if (!names.empty()) names += L"|";
        names += button.text;
        if (button.isDefault) defaultName = button.text;
    }
    Print(L"buttons", names);
    Print(L"default", defaultName);
    Print(L"icon", IconKind(box));
    Print(L"pid", static_cast<long long>(ProcessIdOf(box)));
}

HWND WaitForBox(const Args& args) {
    auto filter = VisibleBoxFilter(args, true);
    if (!filter) return nullptr;
    HWND box = WaitForTopLevel(*filter, args.TimeoutMs());
    if (!box) {
        Print(L"found", 0);
        return nullptr;
    }
    // A box is visible a moment before its buttons are: wait for them (bounded), then give
    // it time to finish drawing before its pixels are read.
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (VisibleButtons(box).empty() && IsWindow(box) && GetTickCount64() < deadline) PollPause();
    RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    Print(L"found", 1);
    return box;
}

int WaitBox(const Args& args) {
    HWND box = WaitForBox(args);
    if (!box) return kNotSo;
    PrintBox(box);
    return kDone;
}

// What the press led to, timed from the press in this process (so the time is the program's
// and not a driver's round trip): --then-box, the next box of the same program;
// --then-enabled=ID, the box owner's control ID enabled again (the run is over). closed_ms
// says when the box itself was gone.
int WhatFollows(const Args& args, HWND box, HWND owner, ULONGLONG pressedAt) {
    const auto enabledId = args.Option(L"then-enabled");
    const bool nextBox = args.Option(L"then-box").has_value();
    if (!enabledId && !nextBox) return kDone;
    // The box itself has gone by now: its share of the time.
    Print(L"closed_ms", static_cast<long long>(GetTickCount64() - pressedAt));
    const DWORD processId = ProcessIdOf(owner ? owner : box);
    HWND control = enabledId && owner ? GetDlgItem(owner, static_cast<int>(std::wcstol(enabledId->c_str(), nullptr, 10)))
                                      : nullptr;
    const ULONGLONG deadline = pressedAt + args.TimeoutMs(600000);
    while (GetTickCount64() < deadline) {
        if (nextBox) {
            const auto boxes = TopLevelWindows([&](HWND w) {
                return w != box && IsMessageBoxWindow(w) && IsWindowVisible(w) && ProcessIdOf(w) == processId &&
                       !VisibleButtons(w).empty();
            });
            if (!boxes.empty()) {
                Print(L"then_ms", static_cast<long long>(GetTickCount64() - pressedAt));
                return kDone;
            }
        } else if (control && IsWindowEnabled(control)) {
            Print(L"then_ms", static_cast<long long>(GetTickCount64() - pressedAt));
            return kDone;
        }
        Sleep(2);
    }
    Print(L"then_ms", -1);
    return kNotSo;
}

int Press(const Args& args) {
    const auto wanted = args.Required(L"button");
    if (!wanted) return kBadUsage;
    HWND box = WaitForBox(args);
    if (!box) return kNotSo;
    PrintBox(box);
    for (const auto& button : VisibleButtons(box)) {
        if (CompareStringOrdinal(button.text.c_str(), -1, WithoutMnemonic(*wanted).c_str(), -1,
                                 TRUE) == CSTR_EQUAL) {
            const HWND owner = GetWindow(box, GW_OWNER);
            const ULONGLONG pressedAt = GetTickCount64();
            // What a click does, without depending on where the pointer is.
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button.window), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button.window));
            Print(L"pressed", button.text);
            // Returns once the box has gone, so that a following check does not meet it.
            for (int waited = 0; IsWindow(box) && waited < 5000; waited += 2) Sleep(2);
            return WhatFollows(args, box, owner, pressedAt);
        }
    }
    Print(L"error", L"no button " + *wanted);
    return kNotSo;
}

int NoBox(const Args& args) {
    auto filter = VisibleBoxFilter(args, false);
    if (!filter) return kBadUsage;
    const auto forText = args.Option(L"for");
    const DWORD watchMs = forText ? static_cast<DWORD>(std::wcstoul(forText->c_str(), nullptr, 10)) : 1000;
    if (HWND box = WaitForTopLevel(*filter, watchMs)) {
        Print(L"boxes", 1);
        PrintBox(box);
        return kNotSo;
    }
    Print(L"boxes", 0);
    return kDone;
}

const RegisterCommand kWaitBox{{L"wait-box", L"--title=T [--pid=N] [--exe=NAME] [--timeout=MS]: wait for a message box, print it",
                                WaitBox}};
const RegisterCommand kPress{{L"press", L"--title=T --button=TEXT [--pid=N] [--exe=NAME] [--timeout=MS] [--then-box|--then-enabled=ID]: print the box, press a button",
                              Press}};
const RegisterCommand kNoBox{{L"no-box", L"[--title=T] [--pid=N] [--exe=NAME] [--for=MS]: fail if a message box shows up within MS",
                              NoBox}};

}  // namespace
}  // namespace driver
