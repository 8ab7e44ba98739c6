// The system's folder picker (the common item dialog picking folders) and Explorer, as the
// program opens them. Under Wine the picker is a dialog (#32770) of the program's process
// whose name box is the edit control edt1 (1152); on Windows it is the edit inside the combo
// box cmb13 (1148). A user types a folder's path into the name box and presses the OK button,
// or presses Cancel: so does the driver.
#include "commands.h"

#include <commctrl.h>

namespace driver {
namespace {

constexpr int kNameEdit = 1152;   // edt1
constexpr int kNameCombo = 1148;  // cmb13
constexpr int kNameLabel = 1090;  // stc3

HWND NameBox(HWND dialog) {
    if (HWND edit = GetDlgItem(dialog, kNameEdit); edit && IsWindowVisible(edit)) return edit;
    if (HWND combo = GetDlgItem(dialog, kNameCombo)) return FindWindowExW(combo, nullptr, L"Edit", nullptr);
    return nullptr;
}

std::wstring TextOf(HWND control) {
    if (!control) return {};
    wchar_t text[2048] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
    return std::wstring(text, copied);
}

// picker --title=T [--folder=PATH] [--cancel]: prints the picker's name box, its label and its
// OK button; types PATH into the name box when given; presses OK (or Cancel); waits until the
// picker has closed (closed=0 when it stays, say for a message of its own).
int Picker(const Args& args) {
    auto filter = WindowFilter(args);
    if (!filter) return kBadUsage;
    HWND dialog = WaitForTopLevel(
        [&](HWND window) { return IsMessageBoxWindow(window) && IsWindowVisible(window) && (*filter)(window); },
        args.TimeoutMs());
    if (!dialog) {
        Print(L"found", 0);
        return kNotSo;
    }
    // The picker fills its view after it shows; give it that moment.
    HWND nameBox = nullptr;
    for (int waited = 0; waited < 5000 && !(nameBox = NameBox(dialog)); waited += 50) Sleep(50);
    Sleep(300);
    Print(L"found", 1);
    Print(L"name", TextOf(nameBox));
    Print(L"label", TextOf(GetDlgItem(dialog, kNameLabel)));
    Print(L"ok", TextOf(GetDlgItem(dialog, IDOK)));
    if (const auto folder = args.Option(L"folder")) {
        if (!nameBox) {
            Print(L"error", L"the picker has no name box");
            return kNotSo;
        }
        SendMessageTimeoutW(nameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder->c_str()), SMTO_ABORTIFHUNG, 5000,
                            nullptr);
    }
    const int button = args.Option(L"cancel") ? IDCANCEL : IDOK;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
    Print(L"pressed", button == IDOK ? L"ok" : L"cancel");
    for (int waited = 0; waited < 10000 && IsWindow(dialog); waited += 20) Sleep(20);
    const bool closed = !IsWindow(dialog);
    Print(L"closed", closed ? 1 : 0);
    return closed ? kDone : kNotSo;
}

// explorer-selection --title=FOLDER --exe=explorer.exe: the item list of an Explorer window:
// how many items it shows, how many are selected, and the first selected one's place.
int ExplorerSelection(const Args& args) {
    auto filter = WindowFilter(args);
    if (!filter) return kBadUsage;
    HWND window = WaitForTopLevel([&](HWND w) { return IsWindowVisible(w) && (*filter)(w); }, args.TimeoutMs());
    if (!window) {
        Print(L"found", 0);
        return kNotSo;
    }
    HWND list = nullptr;
    const ULONGLONG deadline = GetTickCount64() + args.TimeoutMs();
    for (;;) {
        EnumChildWindows(
            window,
            [](HWND child, LPARAM found) -> BOOL {
                if (ClassName(child) != WC_LISTVIEWW) return TRUE;
                *reinterpret_cast<HWND*>(found) = child;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&list));
        // The selection is made once the folder's items are listed.
        if (list && SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) > 0) break;
        if (GetTickCount64() >= deadline) break;
        PollPause();
    }
    Print(L"found", list ? 1 : 0);
    if (!list) return kNotSo;
    Print(L"items", static_cast<long long>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)));
    Print(L"selected", static_cast<long long>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)));
    Print(L"first_selected",
          static_cast<long long>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
    return kDone;
}

const RegisterCommand kPicker{{L"picker",
                               L"--title=T [--folder=PATH] [--cancel]: the folder picker: read it, type a folder, press OK or Cancel",
                               Picker}};
const RegisterCommand kExplorerSelection{
    {L"explorer-selection", L"--title=FOLDER --exe=explorer.exe: items and selection of an Explorer window", ExplorerSelection}};

}  // namespace
}  // namespace driver
