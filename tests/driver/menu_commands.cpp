// Popup menus of another process. A menu's items cannot be read from outside the process
// that owns it (under Wine its handle answers nothing here), so the items are read from the
// menu resource the program loads, and the menu on screen is watched as a window (#32768).
#include "commands.h"

namespace driver {
namespace {

bool IsPopupMenu(HWND window) { return ClassName(window) == L"#32768"; }

// menu-wait [--gone] [--exe=NAME]: waits until a popup menu of the program shows (or, with
// --gone, until none does).
int MenuWait(const Args& args) {
    auto filter = WindowFilter(args, false);
    if (!filter) return kBadUsage;
    auto shown = [&](HWND window) { return IsPopupMenu(window) && IsWindowVisible(window) && (*filter)(window); };
    if (args.Option(L"gone")) return WaitUntilNone(shown, args);
    HWND menu = WaitForTopLevel(shown, args.TimeoutMs());
    if (!menu) {
        Print(L"found", 0);
        return kNotSo;
    }
    RECT rect{};
    GetWindowRect(menu, &rect);
    Print(L"found", 1);
    Print(L"rect", std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
                       std::to_wstring(rect.right - rect.left) + L"," + std::to_wstring(rect.bottom - rect.top));
    Print(L"pid", static_cast<long long>(ProcessIdOf(menu)));
    return kDone;
}

void PrintItems(HMENU menu, const std::wstring& prefix) {
    const int count = GetMenuItemCount(menu);
    Print(prefix + L"count", count);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_SUBMENU;
        item.dwTypeData = text;
        item.cch = 255;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
        const std::wstring key = prefix + L"item." + std::to_wstring(i);
        if (item.fType & MFT_SEPARATOR) {
            Print(key, L"-");
            continue;
        }
        Print(key, text);
        Print(key + L".id", static_cast<long long>(item.wID));
        Print(key + L".enabled", (item.fState & MFS_DISABLED) ? 0 : 1);
        if (item.hSubMenu) PrintItems(item.hSubMenu, key + L".");
    }
}

// menu-resource --file=EXE --id=N: the items of a menu resource in an executable on disk, as
// item.I=text (with its & access-key marker), item.I.id, item.I.enabled; "-" for a separator.
int MenuResource(const Args& args) {
    const auto file = args.Required(L"file");
    const auto id = args.Required(L"id");
    if (!file || !id) return kBadUsage;
    HMODULE module = LoadLibraryExW(file->c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) {
        Print(L"error", L"cannot open " + *file + L", error " + std::to_wstring(GetLastError()));
        return kNotSo;
    }
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(std::wcstol(id->c_str(), nullptr, 10)));
    if (!menu) {
        Print(L"found", 0);
        FreeLibrary(module);
        return kNotSo;
    }
    Print(L"found", 1);
    PrintItems(menu, L"");
    DestroyMenu(menu);
    FreeLibrary(module);
    return kDone;
}

const RegisterCommand kMenuWait{
    {L"menu-wait", L"[--gone] [--exe=NAME] [--timeout=MS]: wait for a popup menu of the program (or for none)", MenuWait}};
const RegisterCommand kMenuResource{
    {L"menu-resource", L"--file=EXE --id=N: the items of a menu resource of an executable", MenuResource}};

}  // namespace
}  // namespace driver
