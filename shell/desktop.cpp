// The per-user settings, the folder picker and Explorer.
#include "shell/desktop.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "shell/platform.h"

namespace tallowmere::shell {

namespace {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }
    HKEY* put() { return &key_; }

private:
    HKEY key_ = nullptr;
};

// Holds one reference to a COM object.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* get() const { return object_; }
    Interface* operator->() const { return object_; }
    Interface** put() {
        reset();
        return &object_;
    }
    void reset() {
        if (object_) object_->Release();
        object_ = nullptr;
    }

private:
    Interface* object_ = nullptr;
};

// COM on this (the window's) thread for the lifetime of the object.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

// A text the shell hands out (CoTaskMemAlloc), as a string.
std::wstring TakeShellText(wchar_t* text) {
    std::wstring copy = text ? text : L"";
    CoTaskMemFree(text);
    return copy;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// "D:\Music\Rock" -> "D:\Music"; a root stays itself ("D:\").
std::wstring ParentFolder(std::wstring folder) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    const std::size_t slash = folder.rfind(L'\\');
    if (slash == std::wstring::npos) return folder;
    return slash <= 2 ? folder.substr(0, slash + 1) : folder.substr(0, slash);
}

std::wstring LeafName(std::wstring folder) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    const std::size_t slash = folder.rfind(L'\\');
    return slash == std::wstring::npos ? folder : folder.substr(slash + 1);
}

std::wstring PathOfItem(IShellItem* item) {
    wchar_t* path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return {};
    return TakeShellText(path);
}

// One showing of the picker, starting in the parent of the preset folders with their names
// in the name box (quoted when several), so that OK alone takes them again.
HRESULT ShowPicker(HWND owner, const std::wstring& title, const std::vector<std::wstring>& preset, bool several,
                   std::vector<std::wstring>& picked) {
    ComRef<IFileOpenDialog> dialog;
    HRESULT result = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                      reinterpret_cast<void**>(dialog.put()));
    if (FAILED(result)) return result;
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR;
    if (several) options |= FOS_ALLOWMULTISELECT;
    if (FAILED(result = dialog->SetOptions(options))) return result;
    dialog->SetTitle(title.c_str());
    // Wine's picker keeps the labels of a file picker otherwise.
    dialog->SetFileNameLabel(L"Folder:");
    dialog->SetOkButtonLabel(L"Select Folder");
    if (!preset.empty()) {
        const std::wstring parent = ParentFolder(preset.front());
        ComRef<IShellItem> start;
        if (SUCCEEDED(SHCreateItemFromParsingName(parent.c_str(), nullptr, IID_IShellItem,
                                                  reinterpret_cast<void**>(start.put())))) {
            dialog->SetFolder(start.get());
        }
        std::wstring names;
        for (const std::wstring& folder : preset) {
            // A folder beside the first is named by itself, any other by its full path.
            const std::wstring name = SameFolder(ParentFolder(folder), parent) ? LeafName(folder) : folder;
            if (preset.size() == 1) names = name;
            else names += (names.empty() ? L"\"" : L" \"") + name + L"\"";
        }
        dialog->SetFileName(names.c_str());
    }
    if (FAILED(result = dialog->Show(owner))) return result;

    picked.clear();
    if (several) {
        ComRef<IShellItemArray> items;
        if (FAILED(result = dialog->GetResults(items.put()))) return result;
        DWORD count = 0;
        items->GetCount(&count);
        for (DWORD i = 0; i < count; ++i) {
            ComRef<IShellItem> item;
            if (SUCCEEDED(items->GetItemAt(i, item.put()))) picked.push_back(PathOfItem(item.get()));
        }
    } else {
        ComRef<IShellItem> item;
        if (FAILED(result = dialog->GetResult(item.put()))) return result;
        picked.push_back(PathOfItem(item.get()));
    }
    std::erase(picked, std::wstring());
    return picked.empty() ? E_FAIL : S_OK;
}

void AddOnce(std::vector<std::wstring>& folders, const std::vector<std::wstring>& more) {
    for (const std::wstring& folder : more) {
        if (std::none_of(folders.begin(), folders.end(), [&](const std::wstring& f) { return SameFolder(f, folder); }))
            folders.push_back(folder);
    }
}

std::wstring AddAnotherPrompt(const std::vector<std::wstring>& folders) {
    std::wstring prompt = L"Library folders:";
    for (const std::wstring& folder : folders) prompt += L"\r\n" + folder;
    return prompt + L"\r\n\r\nAdd another folder?";
}

// Whether the shell's list of windows holds an Explorer window on folder.
bool ExplorerShows(PCIDLIST_ABSOLUTE folder) {
    ComRef<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(windows.put())))) {
        return false;
    }
    const UINT size = ILGetSize(folder);
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, size);
    if (!bytes) return false;
    std::memcpy(bytes->pvData, folder, size);
    VARIANT location, none;
    VariantInit(&location);
    VariantInit(&none);
    location.vt = VT_ARRAY | VT_UI1;
    location.parray = bytes;
    long window = 0;
    ComRef<IDispatch> dispatch;
    const HRESULT found = windows->FindWindowSW(&location, &none, SWC_EXPLORER, &window, 0, dispatch.put());
    VariantClear(&location);
    return found == S_OK;
}

}  // namespace

std::vector<std::wstring> ReadSettingList(const wchar_t* name) {
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return {};
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_MULTI_SZ)
        return {};
    // Room for the terminators the value may lack.
    std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return {};
    data.resize(size / sizeof(wchar_t));
    std::vector<std::wstring> items;
    for (std::size_t start = 0; start < data.size();) {
        std::size_t end = data.find(L'\0', start);
        if (end == std::wstring::npos) end = data.size();
        if (end > start) items.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

DWORD WriteSettingList(const wchar_t* name, const std::vector<std::wstring>& items) {
    RegistryKey key;
    if (const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                               key.put(), nullptr);
        status != ERROR_SUCCESS) {
        return static_cast<DWORD>(status);
    }
    std::wstring data;
    for (const std::wstring& item : items) {
        if (item.empty()) continue;
        data += item;
        data += L'\0';
    }
    data += L'\0';
    return static_cast<DWORD>(RegSetValueExW(key.get(), name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                             static_cast<DWORD>(data.size() * sizeof(wchar_t))));
}

bool PickerTakesSeveralFolders() {
    // Wine's ntdll carries its version; Windows' does not.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
}

FolderChoice PickFolders(HWND owner, const std::wstring& title, const std::vector<std::wstring>& suggested) {
    ComApartment com;
    std::vector<std::wstring> existing;
    for (const std::wstring& folder : suggested)
        if (IsFolder(folder)) existing.push_back(folder);

    FolderChoice choice;
    const HRESULT cancelled = HRESULT_FROM_WIN32(ERROR_CANCELLED);
    if (PickerTakesSeveralFolders()) {
        const HRESULT result = ShowPicker(owner, title, existing, true, choice.folders);
        if (result == cancelled) return choice;
        choice.result = SUCCEEDED(result) ? FolderChoice::Result::Chosen : FolderChoice::Result::Failed;
        choice.error = result;
        return choice;
    }
    // One folder a pick: each picker starts at the next folder of the last choice, and the
    // question's default is the answer that gives the last choice again.
    for (std::size_t round = 0;; ++round) {
        std::vector<std::wstring> picked;
        const std::vector<std::wstring> preset =
            round < existing.size() ? std::vector<std::wstring>{existing[round]} : std::vector<std::wstring>{};
        const HRESULT result = ShowPicker(owner, title, preset, false, picked);
        if (result == cancelled) {
            if (!choice.folders.empty()) choice.result = FolderChoice::Result::Chosen;
            return choice;
        }
        if (FAILED(result)) {
            choice.result = FolderChoice::Result::Failed;
            choice.error = result;
            return choice;
        }
        AddOnce(choice.folders, picked);
        const bool moreSuggested = round + 1 < existing.size();
        if (ShowMessageBox(owner, AddAnotherPrompt(choice.folders), BoxButtons::YesNo, BoxIcon::Question, {},
                           moreSuggested ? 0u : static_cast<UINT>(MB_DEFBUTTON2)) != BoxAnswer::Yes) {
            choice.result = FolderChoice::Result::Chosen;
            return choice;
        }
    }
}

HRESULT ShowInExplorer(const std::wstring& file) {
    ComApartment com;
    PIDLIST_ABSOLUTE item = nullptr;
    HRESULT result = SHParseDisplayName(file.c_str(), nullptr, &item, 0, nullptr);
    if (SUCCEEDED(result)) {
        result = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        if (result == S_FALSE) {
            // Wine gives the Explorer window it starts a second to appear, then leaves it without
            // the selection (S_FALSE). Asked again once the window is there, it selects.
            if (PIDLIST_ABSOLUTE folder = ILClone(item)) {
                ILRemoveLastID(folder);
                for (int waited = 0; waited < 5000 && !ExplorerShows(folder); waited += 100) Sleep(100);
                if (ExplorerShows(folder)) result = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
                ILFree(folder);
            }
        }
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(result)) return result;
    // Where the shell cannot do it itself: Explorer's own switch.
    const std::wstring parameters = L"/select,\"" + file + L"\"";
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    execute.lpFile = L"explorer.exe";
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&execute) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

}  // namespace tallowmere::shell
