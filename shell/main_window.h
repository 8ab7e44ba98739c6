#pragma once
// frmMain: the program's one window. Its methods are spread over a few sources:
//   main_window.cpp  the window, its controls, the interactive handlers
//   form_load.cpp    Form_Load: the start-up decision
//   watch_mode.cpp   watch mode: StartWatchMode (WatchMode::CheckFile, the main backup),
//                    tmrWatchFile_Timer
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "playlist/operations.h"
#include "shell/controls.h"
#include "shell/layout.h"

namespace tallowmere::shell {

class WatchMode;  // watch_mode.cpp

class frmMain {
public:
    frmMain();
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window and its controls, hidden.
    bool Create(HINSTANCE instance);

    // Start-up, before the window is first shown. Returns true when the window is to be
    // shown (interactive mode); false in watch mode (window hidden). Ends the program
    // itself after the help box or when watch mode cannot start.
    bool Form_Load(std::wstring_view argumentText);

    void Show(int showCommand);

    // The main loop (IsDialogMessage for Tab); returns the exit code.
    int RunMessageLoop();

    HWND Handle() const { return hwnd_; }

private:
    // Watch mode (watch_mode.cpp). StartWatchMode makes the main backup and enables the
    // timer; when watch mode cannot start it shows why and ends the program itself.
    void StartWatchMode();
    void tmrWatchFile_Timer();
    std::unique_ptr<WatchMode> watch_;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool IsEnterOnButton(const MSG& msg) const;

    // The window's handlers.
    void Drive_Change();
    void Directory_Change();
    void File_Click();
    void lstErrorLog_Click();
    void cmdGo_Click();
    void cmdRTagInfo_Click();
    void cmdStrip_Click();
    void cmdStripDupes_Click();

    // The file list's context menu and its items.
    void File_ContextMenu(LPARAM screenPoint);
    void mnuRelink_Click();
    void mnuMakeRelative_Click();
    void mnuMakeAbsolute_Click();
    void mnuRestoreBackup_Click();
    void mnuOpenContainingFolder_Click();
    bool PlaylistFound(playlist::FileSystem& files, const std::wstring& playlistPath);

    // Building and laying out.
    void OnCreate();
    void CreateControls();
    void MakeFonts();
    void ApplyLayout();
    void FitClientArea(const RECT* suggested);
    void FitDriveListHeight(int closedHeight);
    void OnCommand(int id, int code);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnDropFiles(HDROP drop);
    void DescribeControlFont(HWND replyTo, int controlId) const;
    void DrawFolderRow(const DRAWITEMSTRUCT& item) const;
    HFONT FontFor(FontChoice choice) const;

    // The drive, folder and file lists.
    void FillDriveList();
    // Moves the folder list to folder and runs Directory_Change. Returns the system's error
    // code, leaving the list where it was, when the folder cannot be listed.
    DWORD SetFolderListPath(const std::wstring& folder);
    void OpenFolderRow(int row);
    void SetFileListPath(const std::wstring& folder);

    // Playlist operations: one at a time, inputs disabled, close requests held.
    using Operation = playlist::RunOutcome (*)(const playlist::RunContext&, const std::wstring&);
    void RunOperation(Operation operation);
    void EnableInputs(bool enabled);
    void DropInputMadeDuringRun();
    class RunGuard;

    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };
    using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

    HWND hwnd_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    UINT describeFontMessage_ = 0;
    FontHandle dialogFont_, captionFont_, headingFont_, busyFont_;
    int folderRowHeight_ = 16;

    Edit text1_;
    Button cmdGo_, cmdRTagInfo_, cmdStrip_, cmdStripDupes_;
    ComboBox drive_;
    ListBox directory_, file_, lstErrorLog_;
    Static lblStatus_;

    std::wstring directoryPath_;                // the folder list's Path
    std::vector<std::wstring> folderRowPaths_;  // what each folder row opens
    std::wstring filePath_;                     // the file list's folder

    bool running_ = false;     // an operation is under way
    bool closeHeld_ = false;   // a close request arrived during it
    HWND focusToRestore_ = nullptr;
};

// A registered message another process (the test driver) sends to learn the font a control
// draws with: wParam is a window that receives the LOGFONTW through WM_COPYDATA (dwData
// kControlFontReply), lParam the control's id. Needed because a font handle cannot be read
// from another process under Wine.
inline constexpr wchar_t kDescribeControlFontMessage[] = L"Tallowmere.DescribeControlFont";
inline constexpr ULONG_PTR kControlFontReply = 0x544D4646;  // 'TMFF'

// Id of the tmrWatchFile timer (SetTimer on the main window).
inline constexpr UINT_PTR kWatchTimerId = 1;
inline constexpr UINT kWatchTimerIntervalMs = 5000;

}  // namespace tallowmere::shell
