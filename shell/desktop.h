#pragma once
// Services of the Windows desktop beyond files and boxes: the per-user settings in the
// registry, the system's folder picker and Explorer.
#include <windows.h>

#include <string>
#include <vector>

namespace tallowmere::shell {

// ---- per-user settings ------------------------------------------------------------------

// Under HKEY_CURRENT_USER. The program keeps nothing else there.
inline constexpr wchar_t kSettingsKey[] = L"Software\\Kestrane\\Tallowmere";
// The library folders last chosen for Relink Moved Songs (REG_MULTI_SZ).
inline constexpr wchar_t kLibraryFoldersValue[] = L"LibraryFolders";

// A list of texts kept as a REG_MULTI_SZ value of the settings key; empty when there is none
// or it cannot be read (a value of another type, say).
std::vector<std::wstring> ReadSettingList(const wchar_t* name);
// Writes the list (empty texts left out), making the key where needed. The system's code.
DWORD WriteSettingList(const wchar_t* name, const std::vector<std::wstring>& items);

// ---- the folder picker ------------------------------------------------------------------

struct FolderChoice {
    enum class Result { Chosen, Cancelled, Failed } result = Result::Cancelled;
    std::vector<std::wstring> folders;  // Chosen: full paths, each once, in the order chosen
    HRESULT error = S_OK;               // Failed: why the picker could not be shown
};

// Asks for the folders of a music library with the system's folder picker (IFileOpenDialog
// picking folders), modal to owner, titled title. It offers suggested (the last choice) as
// its starting point. Where the picker takes several folders at once, one pick gives them all;
// where it takes one (Wine), a question after each pick offers to add another, and Cancel in a
// later picker keeps the folders chosen before it. Cancelled in the first picker: nothing.
FolderChoice PickFolders(HWND owner, const std::wstring& title, const std::vector<std::wstring>& suggested);

// Whether the system's folder picker returns several folders picked at once. Wine's (8.0)
// returns the first of them right and some other folder for each of the rest.
bool PickerTakesSeveralFolders();

// ---- Explorer ---------------------------------------------------------------------------

// Opens the file's folder in Explorer with the file selected. S_OK, or the failure.
HRESULT ShowInExplorer(const std::wstring& file);

}  // namespace tallowmere::shell
