// Real input, as a user makes it: mouse clicks and key presses through SendInput. Unlike a
// posted message, such input waits in the program's queue while the program is busy and is
// routed to the window under the pointer (or with the keyboard focus) only when the program
// reads it, and the system's key state (Shift) goes with it.
#include <algorithm>
#include <cwctype>

#include "commands.h"

namespace driver {
namespace {

// --when-visible=ID: waits until the window's control ID is visible (read from the state the
// system keeps, so a busy window answers), then acts at once: input made early in a run.
// ReportStillVisible then says whether it was still visible once the input was made.
bool WaitWhenVisible(HWND window, const Args& args) {
    const auto id = args.Option(L"when-visible");
    if (!id) return true;
    HWND control = GetDlgItem(window, static_cast<int>(std::wcstol(id->c_str(), nullptr, 10)));
    const ULONGLONG deadline = GetTickCount64() + args.TimeoutMs();
    while (control && !IsWindowVisible(control) && GetTickCount64() < deadline) Sleep(1);
    if (control && IsWindowVisible(control)) return true;
    Print(L"error", L"control " + *id + L" did not show");
    return false;
}

void ReportStillVisible(HWND window, const Args& args) {
    const auto id = args.Option(L"when-visible");
    if (!id) return;
    HWND control = GetDlgItem(window, static_cast<int>(std::wcstol(id->c_str(), nullptr, 10)));
    Print(L"still_visible", control && IsWindowVisible(control) ? 1 : 0);
}

bool SendAll(std::vector<INPUT>& inputs) {
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

// Puts the pointer on a point of the screen. SetCursorPos lands exactly (a move through
// SendInput goes through the 0-65535 scale and may round to the next pixel).
bool MovePointer(POINT to) {
    POINT at{};
    return SetCursorPos(to.x, to.y) && GetCursorPos(&at) && at.x == to.x && at.y == to.y;
}

bool ClickAt(POINT at, bool right) {
    if (!MovePointer(at)) return false;
    std::vector<INPUT> click(2);
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    return SendAll(click);
}

// user-click --caption=C --id=N [--index=I] [--right] [--when-visible=ID]: a mouse click at
// the centre of a control, or of row I of a list box, with the left (or right) button.
int UserClick(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    const auto id = args.Required(L"id");
    if (!id) return kBadUsage;
    HWND control = GetDlgItem(window, static_cast<int>(std::wcstol(id->c_str(), nullptr, 10)));
    if (!control) {
        Print(L"error", L"no control with id " + *id);
        return kBadUsage;
    }
    RECT target{};
    if (const auto index = args.Option(L"index")) {
        const auto row = static_cast<WPARAM>(std::wcstol(index->c_str(), nullptr, 10));
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(control, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&target), SMTO_ABORTIFHUNG,
                                 5000, &answer) ||
            static_cast<LRESULT>(answer) == LB_ERR) {
            Print(L"error", L"no row " + *index);
            return kNotSo;
        }
        MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&target), 2);
    } else {
        GetWindowRect(control, &target);
    }
    const POINT centre{(target.left + target.right) / 2, (target.top + target.bottom) / 2};
    if (!WaitWhenVisible(window, args)) return kNotSo;
    // A click on a window brings it to the front, as the desktop does for a user (the tests'
    // X server has no window manager to do it).
    SetForegroundWindow(window);
    const bool right = args.Option(L"right").has_value();
    if (!ClickAt(centre, right)) {
        Print(L"error", L"the system took no input, error " + std::to_wstring(GetLastError()));
        return kNotSo;
    }
    ReportStillVisible(window, args);
    Print(L"clicked", std::to_wstring(centre.x) + L"," + std::to_wstring(centre.y));
    return kDone;
}

struct NamedKey {
    std::wstring_view name;
    WORD code;
};
constexpr NamedKey kNamedKeys[] = {
    {L"shift", VK_SHIFT},   {L"ctrl", VK_CONTROL}, {L"alt", VK_MENU},     {L"f10", VK_F10},
    {L"apps", VK_APPS},     {L"return", VK_RETURN}, {L"escape", VK_ESCAPE}, {L"tab", VK_TAB},
    {L"down", VK_DOWN},     {L"up", VK_UP},         {L"space", VK_SPACE},   {L"f4", VK_F4},
};

// A key by name, or a letter or digit by itself.
std::optional<WORD> KeyCode(std::wstring_view name) {
    for (const NamedKey& key : kNamedKeys)
        if (key.name == name) return key.code;
    if (name.size() == 1 && std::iswalnum(name[0])) return static_cast<WORD>(std::towupper(name[0]));
    return std::nullopt;
}

INPUT KeyInput(WORD code, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = code;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(code, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (code == VK_APPS || code == VK_UP || code == VK_DOWN) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

// user-keys --keys=K[ K...] [--caption=C [--when-visible=ID]]: key presses as the keyboard
// makes them, to whatever window has the keyboard focus (the window of --caption brought to
// the front first, unless it is to be busy). Each K is one key ("r", "escape") or a chord
// ("shift+f10"): its keys go down in order and come up in reverse.
int UserKeys(const Args& args) {
    const auto keys = args.Required(L"keys");
    if (!keys) return kBadUsage;
    HWND window = nullptr;
    if (args.Option(L"when-visible")) {
        window = FindMainWindow(args);
        if (!window || !WaitWhenVisible(window, args)) return kNotSo;
    } else if (args.Option(L"caption")) {
        // The keys are for this window: it is brought to the front first, as a user would.
        window = FindMainWindow(args);
        if (!window) return kNotSo;
        SetForegroundWindow(window);
    }
    std::vector<INPUT> inputs;
    std::size_t start = 0;
    while (start < keys->size()) {
        std::size_t end = keys->find(L' ', start);
        if (end == std::wstring::npos) end = keys->size();
        const std::wstring chord = keys->substr(start, end - start);
        start = end + 1;
        if (chord.empty()) continue;
        std::vector<WORD> codes;
        for (std::size_t part = 0; part <= chord.size();) {
            std::size_t plus = chord.find(L'+', part);
            if (plus == std::wstring::npos) plus = chord.size();
            const auto code = KeyCode(std::wstring_view(chord).substr(part, plus - part));
            if (!code) {
                Print(L"error", L"unknown key in " + chord);
                return kBadUsage;
            }
            codes.push_back(*code);
            part = plus + 1;
        }
        for (WORD code : codes) inputs.push_back(KeyInput(code, false));
        for (auto code = codes.rbegin(); code != codes.rend(); ++code) inputs.push_back(KeyInput(*code, true));
    }
    if (!SendAll(inputs)) {
        Print(L"error", L"the system took no input, error " + std::to_wstring(GetLastError()));
        return kNotSo;
    }
    if (window) ReportStillVisible(window, args);
    Print(L"keys", *keys);
    return kDone;
}

const RegisterCommand kUserClick{{L"user-click", L"--caption=C --id=N [--index=I] [--right] [--when-visible=ID]: a real mouse click on a control or a list row",
                                  UserClick}};
const RegisterCommand kUserKeys{{L"user-keys", L"--keys=K[ K...] (e.g. shift+f10, r, escape) [--caption=C [--when-visible=ID]]: real key presses to the focus",
                                 UserKeys}};

}  // namespace
}  // namespace driver
