// The main window of another process: read its controls (class, text, place, style, font,
// state, tab order, focus, list items), act on them as a user would (click, select, keys,
// typing), and take a screenshot. Every command finds the window by --caption (or --title),
// waiting up to --timeout, and addresses a control by its id (--id=N).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "commands.h"

namespace driver {
namespace {

std::vector<HWND> ChildrenInOrder(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

HWND ControlById(HWND window, const Args& args) {
    const auto id = args.Required(L"id");
    if (!id) return nullptr;
    HWND control = GetDlgItem(window, static_cast<int>(std::wcstol(id->c_str(), nullptr, 10)));
    if (!control) Print(L"error", L"no control with id " + *id);
    return control;
}

long long IntOption(const Args& args, std::wstring_view name, long long fallback) {
    const auto value = args.Option(name);
    return value ? std::wcstoll(value->c_str(), nullptr, 10) : fallback;
}

std::wstring Hex(unsigned long long value) {
    wchar_t text[32];
    std::swprintf(text, 32, L"0x%08llX", value);
    return text;
}

RECT RectInClient(HWND window, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring RectText(const RECT& rect) {
    return std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," + std::to_wstring(rect.right - rect.left) +
           L"," + std::to_wstring(rect.bottom - rect.top);
}

// The font a control draws with, as face,weight,height,flags (1 italic, 2 underline,
// 4 strike-out). WM_GETFONT answers a handle of the other process, which GetObjectW can
// read on Windows but not under Wine; then the window is asked to describe the font itself
// (its registered message, answered by WM_COPYDATA to a window of ours).
constexpr wchar_t kDescribeControlFontMessage[] = L"Tallowmere.DescribeControlFont";
constexpr ULONG_PTR kControlFontReply = 0x544D4646;

std::optional<LOGFONTW> g_reply;

LRESULT CALLBACK ReplyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData == kControlFontReply && data->cbData == sizeof(LOGFONTW)) {
            LOGFONTW font;
            std::memcpy(&font, data->lpData, sizeof(font));
            g_reply = font;
        }
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND ReplyWindow() {
    static HWND window = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ReplyWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TallowmereDriverReply";
        RegisterClassW(&wc);
        return CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }();
    return window;
}

std::optional<LOGFONTW> ControlFont(HWND window, HWND control) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(control, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) && answer) {
        LOGFONTW font{};
        if (GetObjectW(reinterpret_cast<HFONT>(answer), sizeof(font), &font) == sizeof(font)) return font;
    }
    g_reply.reset();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, RegisterWindowMessageW(kDescribeControlFontMessage),
                        reinterpret_cast<WPARAM>(ReplyWindow()), GetDlgCtrlID(control), SMTO_ABORTIFHUNG, 5000,
                        &ignored);
    return g_reply;
}

std::wstring FontText(HWND window, HWND control) {
    const auto font = ControlFont(window, control);
    if (!font) return L"none";
    return std::wstring(font->lfFaceName) + L"," + std::to_wstring(font->lfWeight) + L"," +
           std::to_wstring(font->lfHeight) + L"," +
           std::to_wstring((font->lfItalic ? 1 : 0) + (font->lfUnderline ? 2 : 0) + (font->lfStrikeOut ? 4 : 0));
}

// A control's text as it answers WM_GETTEXT (an edit control keeps its own text, which
// GetWindowText cannot read from another process).
std::wstring ControlText(HWND control) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return WindowText(control);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    return text;
}

bool IsListBox(HWND control) { return ClassName(control) == L"ListBox"; }
bool IsComboBox(HWND control) { return ClassName(control) == L"ComboBox"; }

// window-inspect: the window, then every child control as ctl.<id>.<key>=value, then the
// tab order and the focus.
int Inspect(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    Print(L"found", 1);
    RECT client{};
    GetClientRect(window, &client);
    Print(L"window.caption", WindowText(window));
    Print(L"window.client", std::to_wstring(client.right) + L"," + std::to_wstring(client.bottom));
    Print(L"window.style", Hex(static_cast<unsigned long long>(GetWindowLongPtrW(window, GWL_STYLE))));
    Print(L"window.dpi", static_cast<long long>(GetDpiForWindow(window)));
    Print(L"window.menu", GetMenu(window) ? 1 : 0);
    Print(L"window.children", static_cast<long long>(ChildrenInOrder(window).size()));
    for (HWND control : ChildrenInOrder(window)) {
        const std::wstring key = L"ctl." + std::to_wstring(GetDlgCtrlID(control)) + L".";
        Print(key + L"class", ClassName(control));
        Print(key + L"text", ControlText(control));
        Print(key + L"rect", RectText(RectInClient(window, control)));
        Print(key + L"style", Hex(static_cast<unsigned long long>(GetWindowLongPtrW(control, GWL_STYLE))));
        Print(key + L"exstyle", Hex(static_cast<unsigned long long>(GetWindowLongPtrW(control, GWL_EXSTYLE))));
        Print(key + L"font", FontText(window, control));
        Print(key + L"visible", IsWindowVisible(control) ? 1 : 0);
        Print(key + L"enabled", IsWindowEnabled(control) ? 1 : 0);
    }
    std::wstring order;
    HWND first = GetNextDlgTabItem(window, nullptr, FALSE);
    HWND item = first;
    for (int guard = 0; item && guard < 64; ++guard) {
        if (!order.empty()) order += L",";
        order += std::to_wstring(GetDlgCtrlID(item));
        item = GetNextDlgTabItem(window, item, FALSE);
        if (item == first) break;
    }
    Print(L"taborder", order);
    GUITHREADINFO thread{};
    thread.cbSize = sizeof(thread);
    const DWORD threadId = GetWindowThreadProcessId(window, nullptr);
    const bool known = GetGUIThreadInfo(threadId, &thread) != FALSE;
    Print(L"focus", known && thread.hwndFocus ? static_cast<long long>(GetDlgCtrlID(thread.hwndFocus)) : -1LL);
    return kDone;
}

// window-items: the lines of a list box or drop-down list and the selected index.
int Items(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    HWND control = ControlById(window, args);
    if (!control) return kBadUsage;
    const bool combo = IsComboBox(control);
    const auto count = SendMessageW(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    Print(L"count", static_cast<long long>(count));
    Print(L"selected", static_cast<long long>(SendMessageW(control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0)));
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[1024] = {};
        const auto length = SendMessageW(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length >= 0 && length < 1024)
            SendMessageW(control, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        Print(L"item." + std::to_wstring(i), text);
        if (!combo)
            Print(L"data." + std::to_wstring(i),
                  static_cast<long long>(SendMessageW(control, LB_GETITEMDATA, static_cast<WPARAM>(i), 0)));
    }
    return kDone;
}

void PostMouse(HWND control, UINT message, WPARAM keys, POINT at) {
    PostMessageW(control, message, keys, MAKELPARAM(at.x, at.y));
}

// window-select --id=N --index=I [--double]: a list box row clicked (or double-clicked)
// with the mouse, as the list box sees it; a drop-down list's item chosen as its own
// selection change reports it.
int Select(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    HWND control = ControlById(window, args);
    if (!control) return kBadUsage;
    const auto index = IntOption(args, L"index", -1);
    if (IsComboBox(control)) {
        if (SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) {
            Print(L"error", L"no such item");
            return kNotSo;
        }
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
        Print(L"selected", index);
        return kDone;
    }
    if (!IsListBox(control)) {
        Print(L"error", L"not a list");
        return kBadUsage;
    }
    SendMessageW(control, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    RECT row{};
    if (SendMessageW(control, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&row)) == LB_ERR) {
        Print(L"error", L"no such item");
        return kNotSo;
    }
    const POINT at{(row.left + row.right) / 2, (row.top + row.bottom) / 2};
    PostMouse(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMouse(control, WM_LBUTTONUP, 0, at);
    if (args.Option(L"double")) {
        PostMouse(control, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMouse(control, WM_LBUTTONUP, 0, at);
    }
    Print(L"selected", index);
    return kDone;
}

// window-key --id=N --key=down|up|return|escape|space|tab: a key pressed on a control, posted
// to it as the keyboard would (through the program's own message loop).
int Key(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    HWND control = ControlById(window, args);
    const auto key = args.Required(L"key");
    if (!control || !key) return kBadUsage;
    struct Named {
        std::wstring_view name;
        WPARAM code;
    };
    constexpr Named kKeys[] = {{L"down", VK_DOWN}, {L"up", VK_UP},       {L"return", VK_RETURN},
                               {L"escape", VK_ESCAPE}, {L"space", VK_SPACE}, {L"tab", VK_TAB}};
    const auto found = std::find_if(std::begin(kKeys), std::end(kKeys), [&](const Named& k) { return k.name == *key; });
    if (found == std::end(kKeys)) {
        Print(L"error", L"unknown key " + *key);
        return kBadUsage;
    }
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(found->code), MAPVK_VK_TO_VSC);
    PostMessageW(control, WM_KEYDOWN, found->code, static_cast<LPARAM>(1 | (scan << 16)));
    if (found->code == VK_RETURN || found->code == VK_ESCAPE || found->code == VK_SPACE)
        PostMessageW(control, WM_CHAR, found->code == VK_SPACE ? L' ' : found->code, static_cast<LPARAM>(1 | (scan << 16)));
    PostMessageW(control, WM_KEYUP, found->code, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
    Print(L"key", *key);
    return kDone;
}

// window-click --id=N: a button pressed (BM_CLICK, posted so a box it opens does not block).
int Click(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    HWND control = ControlById(window, args);
    if (!control) return kBadUsage;
    const ULONGLONG clickedAt = GetTickCount64();
    PostMessageW(control, BM_CLICK, 0, 0);
    Print(L"clicked", static_cast<long long>(GetDlgCtrlID(control)));
    if (!args.Option(L"until-idle")) return kDone;
    // The run the click starts disables the button and enables it again at its end, or ends
    // in a message box; this process watches closely, so the time is the run's and not a
    // driver's round trip.
    const ULONGLONG deadline = clickedAt + args.TimeoutMs(600000);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    auto boxShown = [processId] {
        struct Search {
            DWORD processId;
            bool found;
        } search{processId, false};
        EnumWindows(
            [](HWND candidate, LPARAM context) -> BOOL {
                auto& search = *reinterpret_cast<Search*>(context);
                DWORD owner = 0;
                GetWindowThreadProcessId(candidate, &owner);
                if (owner == search.processId && IsWindowVisible(candidate) && IsMessageBoxWindow(candidate)) {
                    search.found = true;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    };
    bool seenBusy = false;
    while (GetTickCount64() < deadline && IsWindow(control)) {
        const bool enabled = IsWindowEnabled(control) != FALSE;
        if (!enabled) seenBusy = true;
        const bool box = seenBusy && boxShown();
        if (seenBusy && (enabled || box)) {
            Print(L"idle_after_ms", static_cast<long long>(GetTickCount64() - clickedAt));
            Print(L"box", box ? 1 : 0);
            return kDone;
        }
        Sleep(5);
    }
    Print(L"idle_after_ms", -1);
    return kNotSo;
}

// window-wait-state --id=N [--visible=0|1] [--enabled=0|1]: waits until a control is in that
// state. Reads the state the system keeps, without sending the window a message, so it
// answers while the window is busy.
int WaitState(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    HWND control = ControlById(window, args);
    if (!control) return kBadUsage;
    const auto visible = args.Option(L"visible");
    const auto enabled = args.Option(L"enabled");
    auto matches = [&] {
        return (!visible || (IsWindowVisible(control) != FALSE) == (*visible == L"1")) &&
               (!enabled || (IsWindowEnabled(control) != FALSE) == (*enabled == L"1"));
    };
    const ULONGLONG deadline = GetTickCount64() + args.TimeoutMs();
    while (!matches() && GetTickCount64() < deadline) Sleep(2);
    const bool reached = matches();
    Print(L"reached", reached ? 1 : 0);
    return reached ? kDone : kNotSo;
}

// window-set-text --id=N --text=T: replaces a control's text, as typing it would.
int SetText(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    HWND control = ControlById(window, args);
    const auto text = args.Option(L"text");
    if (!control || !text) return kBadUsage;
    SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text->c_str()));
    Print(L"text", ControlText(control));
    return kDone;
}

// window-screenshot --file=F.bmp: the window as shown on screen, frame included, as a
// 24-bit BMP.
int Screenshot(const Args& args) {
    HWND window = FindMainWindow(args);
    if (!window) return kNotSo;
    const auto file = args.Required(L"file");
    if (!file) return kBadUsage;
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(300);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageBytes;
    bool written = false;
    if (copied) {
        if (FILE* out = _wfopen(file->c_str(), L"wb")) {
            written = std::fwrite(&header, sizeof(header), 1, out) == 1 &&
                      std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
                      std::fwrite(bits, 1, imageBytes, out) == imageBytes;
            written = std::fclose(out) == 0 && written;
        }
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    Print(L"written", written ? 1 : 0);
    Print(L"size", std::to_wstring(width) + L"x" + std::to_wstring(height));
    return written ? kDone : kNotSo;
}

// define-drive --drive=Q: --target=PATH / remove-drive --drive=Q:: a drive letter for a
// test. Under Wine the drive list comes from the object namespace, which a running
// wineserver does not refresh from the prefix's dosdevices folder; DefineDosDeviceW adds the
// letter there (file access still goes through the dosdevices link the test makes).
int DefineDrive(const Args& args) {
    const auto drive = args.Required(L"drive");
    const auto target = args.Required(L"target");
    if (!drive || !target) return kBadUsage;
    const bool defined = DefineDosDeviceW(0, drive->c_str(), target->c_str()) || GetLastError() == ERROR_ALREADY_EXISTS;
    Print(L"defined", defined ? 1 : 0);
    return defined ? kDone : kNotSo;
}

int RemoveDrive(const Args& args) {
    const auto drive = args.Required(L"drive");
    if (!drive) return kBadUsage;
    const bool removed = DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive->c_str(), nullptr) != FALSE;
    Print(L"removed", removed ? 1 : 0);
    return removed ? kDone : kNotSo;
}

const RegisterCommand kInspect{{L"window-inspect", L"--caption=C", Inspect}};
const RegisterCommand kItems{{L"window-items", L"--caption=C --id=N", Items}};
const RegisterCommand kSelect{{L"window-select", L"--caption=C --id=N --index=I [--double]", Select}};
const RegisterCommand kKey{{L"window-key", L"--caption=C --id=N --key=down|up|return|escape|space|tab", Key}};
const RegisterCommand kClick{{L"window-click", L"--caption=C --id=N [--until-idle] [--timeout=MS]", Click}};
const RegisterCommand kWaitState{
    {L"window-wait-state", L"--caption=C --id=N [--visible=0|1] [--enabled=0|1] [--timeout=MS]", WaitState}};
const RegisterCommand kSetText{{L"window-set-text", L"--caption=C --id=N --text=T", SetText}};
const RegisterCommand kScreenshot{{L"window-screenshot", L"--caption=C --file=F.bmp", Screenshot}};
const RegisterCommand kDefineDrive{{L"define-drive", L"--drive=Q: --target=PATH", DefineDrive}};
const RegisterCommand kRemoveDrive{{L"remove-drive", L"--drive=Q:", RemoveDrive}};

}  // namespace
}  // namespace driver
