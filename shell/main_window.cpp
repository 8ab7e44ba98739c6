// The main window: its controls built from the layout table, the drive, folder and file
// lists kept in step, the error log, the four buttons that run the playlist operations, and
// the file list's context menu with the repairs (relink, portable paths, restore).
//
// A run is synchronous but lets window events through (so the window repaints). While it
// is under way every input is disabled, a click that still arrives (a posted BM_CLICK
// reaches a disabled button) is ignored, and a close request waits until the run is over.
// Mouse and keyboard input still waiting in the queue when the run ends was made during it
// (a run that never lets events run leaves all of it there) and is dropped, so that it
// cannot start a second run once the buttons are enabled again.
#include "shell/main_window.h"

#include <windowsx.h>


#include <algorithm>
#include <exception>
#include <optional>

#include "playlist/operations.h"
#include "playlist/paths.h"
#include "playlist/relink.h"
#include "playlist/run.h"
#include "res/resource.h"
#include "shell/desktop.h"
#include "shell/folder_rules.h"
#include "shell/log_box.h"
#include "shell/platform.h"
#include "shell/watch_mode.h"
#include "shell/win_file_system.h"
#include "shell/window_operation_host.h"

namespace tallowmere::shell {

namespace {

constexpr wchar_t kWindowClass[] = L"TallowmereMain";
constexpr wchar_t kCaption[] = L"Kestrane - Tallowmere - Build 3";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser>;

// The visible subfolders and files of folder, by name. Hidden and system entries are left
// out, as the classic file dialogs do. Returns the system's error code when the folder
// cannot be listed; an empty folder is no error.
DWORD ListFolder(const std::wstring& folder, std::vector<std::wstring>& folders, std::vector<std::wstring>& files) {
    folders.clear();
    files.clear();
    WIN32_FIND_DATAW entry{};
    const std::wstring pattern = ChildFolderPath(folder, L"*");
    FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
        find.release();
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? ERROR_SUCCESS : error;
    }
    do {
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
        (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? folders : files).emplace_back(name);
    } while (FindNextFileW(find.get(), &entry));
    SortNames(folders);
    SortNames(files);
    return ERROR_SUCCESS;
}

std::wstring CurrentFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    if (length > folder.size()) {
        folder.resize(length);
        length = GetCurrentDirectoryW(length, folder.data());
    }
    folder.resize(length);
    return folder;
}

// The folder that choosing a drive ("D:") moves to: the drive's current folder as the
// system keeps it, which is its root unless the program has worked there.
std::wstring DriveFolder(const std::wstring& drive) {
    const std::wstring full = FullPath(drive);
    return full == drive ? drive + L"\\" : full;
}

bool SameDrive(std::wstring_view a, std::wstring_view b) {
    return a.size() >= 2 && b.size() >= 2 && a[1] == L':' && b[1] == L':' && towupper(a[0]) == towupper(b[0]);
}

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; text && *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

}  // namespace

// Disables the inputs for one run and puts everything back on every way out.
class frmMain::RunGuard {
public:
    explicit RunGuard(frmMain& window) : window_(window), focus_(GetFocus()) {
        window_.running_ = true;
        window_.EnableInputs(false);
    }
    ~RunGuard() {
        window_.DropInputMadeDuringRun();
        window_.EnableInputs(true);
        window_.running_ = false;
        if (focus_ && IsChild(window_.hwnd_, focus_)) {
            if (GetActiveWindow() == window_.hwnd_)
                SetFocus(focus_);
            else
                window_.focusToRestore_ = focus_;
        }
        if (window_.closeHeld_) {
            window_.closeHeld_ = false;
            PostMessageW(window_.hwnd_, WM_CLOSE, 0, 0);
        }
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    frmMain& window_;
    HWND focus_;
};

frmMain::frmMain() = default;
frmMain::~frmMain() = default;

bool frmMain::Create(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TALLOWMERE));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    if (!RegisterClassExW(&wc)) return false;
    // The size is set in WM_CREATE, once the window's DPI is known.
    CreateWindowExW(kWindowExStyle, kWindowClass, kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    return hwnd_ != nullptr;
}

void frmMain::Show(int showCommand) { ShowWindow(hwnd_, showCommand); }

int frmMain::RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsEnterOnButton(msg)) continue;
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

// Enter starts nothing: the window has no default button, but IsDialogMessage would press
// a push button that has the focus (Tab makes it look like the default one).
bool frmMain::IsEnterOnButton(const MSG& msg) const {
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_CHAR) return false;
    if (msg.wParam != VK_RETURN || GetParent(msg.hwnd) != hwnd_) return false;
    const int id = GetDlgCtrlID(msg.hwnd);
    return id == kCmdGo || id == kCmdRTagInfo || id == kCmdStrip || id == kCmdStripDupes;
}

LRESULT CALLBACK frmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<frmMain*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<frmMain*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

// No exception may cross into the system's window procedure code.
LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Dispatch(message, wParam, lParam);
    } catch (const std::exception& error) {
        ShowMessageBox(hwnd_, L"Unexpected error: " + Widen(error.what()), BoxButtons::Ok, BoxIcon::Critical);
    } catch (...) {
        ShowMessageBox(hwnd_, L"Unexpected error.", BoxButtons::Ok, BoxIcon::Critical);
    }
    return 0;
}

LRESULT frmMain::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_MEASUREITEM:
        if (wParam == kDirectory) {
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(folderRowHeight_);
            return TRUE;
        }
        break;
    case WM_DRAWITEM:
        if (wParam == kDirectory) {
            DrawFolderRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == lblStatus_.Handle()) {
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(255, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == file_.Handle()) {
            File_ContextMenu(lParam);
            return 0;
        }
        break;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_ACTIVATE:
        // Keep the focused control across a switch to another window and back.
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) focusToRestore_ = focus;
        }
        break;  // activation sets the focus on the window; WM_SETFOCUS passes it on
    case WM_SETFOCUS: {
        HWND target = focusToRestore_ && IsWindowEnabled(focusToRestore_) ? focusToRestore_ : nullptr;
        if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
        if (target) SetFocus(target);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kWatchTimerId) tmrWatchFile_Timer();
        return 0;
    case WM_CLOSE:
        if (running_) {
            closeHeld_ = true;  // closed when the run is over
            return 0;
        }
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    if (message == describeFontMessage_ && message != 0) {
        DescribeControlFont(reinterpret_cast<HWND>(wParam), static_cast<int>(lParam));
        return TRUE;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// ---- Building -------------------------------------------------------------------------

void frmMain::OnCreate() {
    describeFontMessage_ = RegisterWindowMessageW(kDescribeControlFontMessage);
    dpi_ = GetDpiForWindow(hwnd_);
    if (dpi_ == 0) dpi_ = USER_DEFAULT_SCREEN_DPI;
    MakeFonts();
    FitClientArea(nullptr);
    CreateControls();
    ApplyLayout();
    DragAcceptFiles(hwnd_, TRUE);

    // The three lists start at the program's working folder; no Change handler runs now.
    directoryPath_ = CurrentFolder();
    FillDriveList();
    if (SetFolderListPath(directoryPath_) != ERROR_SUCCESS) SetFileListPath(directoryPath_);
    focusToRestore_ = text1_.Handle();
}

void frmMain::CreateControls() {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    for (const ControlPlacement& placement : kControls) {
        const wchar_t* className = L"Static";
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD exStyle = 0;
        // Every control that takes the focus starts its own group, so the arrow keys stay
        // inside it instead of walking the window (IsDialogMessage).
        constexpr DWORD kInput = WS_TABSTOP | WS_GROUP;
        switch (placement.kind) {
        case ControlKind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
        case ControlKind::CenteredLabel: style |= SS_CENTER | SS_NOPREFIX; break;
        case ControlKind::RightLabel: style |= SS_RIGHT | SS_NOPREFIX; break;
        case ControlKind::TextBox:
            className = L"Edit";
            style |= kInput | ES_LEFT | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Button:
            className = L"Button";
            style |= kInput | BS_PUSHBUTTON;
            break;
        case ControlKind::DriveList:
            className = L"ComboBox";
            style |= kInput | CBS_DROPDOWNLIST | WS_VSCROLL;
            break;
        case ControlKind::FolderList:
            className = L"ListBox";
            style |= kInput | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | WS_VSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::FileList:
        case ControlKind::LogList:
            className = L"ListBox";
            style |= kInput | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        }
        if (placement.visibleAtStart) style |= WS_VISIBLE;
        const std::wstring text(placement.text);
        const HWND control = CreateWindowExW(exStyle, className, text.c_str(), style, 0, 0, 0, 0, hwnd_,
                                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id)), instance, nullptr);
        switch (placement.id) {
        case kText1: text1_ = Edit(control); break;
        case kCmdGo: cmdGo_ = Button(control); break;
        case kCmdRTagInfo: cmdRTagInfo_ = Button(control); break;
        case kCmdStrip: cmdStrip_ = Button(control); break;
        case kCmdStripDupes: cmdStripDupes_ = Button(control); break;
        case kDrive: drive_ = ComboBox(control); break;
        case kDirectory: directory_ = ListBox(control); break;
        case kFile: file_ = ListBox(control); break;
        case kLstErrorLog: lstErrorLog_ = ListBox(control); break;
        case kLblStatus: lblStatus_ = Static(control); break;
        default: break;
        }
        // Labels lie under the other controls where they touch (Label3 reaches one pixel into
        // the error log's frame): the control is drawn whole and the label is clipped.
        if (className == std::wstring_view(L"Static"))
            SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

// The named fonts and the dialog font, at the window's DPI.
void frmMain::MakeFonts() {
    auto make = [this](FontChoice choice) {
        const NamedFont named = FontOf(choice);
        LOGFONTW font{};
        font.lfHeight = FontHeightPixels(named.hundredthsOfPoint, static_cast<int>(dpi_));
        font.lfWeight = named.weight;
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = DEFAULT_QUALITY;
        std::copy(named.face.begin(), named.face.end(), font.lfFaceName);
        return FontHandle(CreateFontIndirectW(&font));
    };
    captionFont_ = make(FontChoice::CaptionBold);
    headingFont_ = make(FontChoice::HeadingBold);
    busyFont_ = make(FontChoice::BusyBold);

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi_)) {
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi_), GetDpiForSystem());
    }
    dialogFont_ = FontHandle(CreateFontIndirectW(&metrics.lfMessageFont));

    // A folder row is as high as a plain list box row in the dialog font.
    if (const HDC dc = GetDC(hwnd_)) {
        const HGDIOBJ previous = SelectObject(dc, dialogFont_.get());
        TEXTMETRICW metricsOfText{};
        if (GetTextMetricsW(dc, &metricsOfText)) folderRowHeight_ = metricsOfText.tmHeight;
        SelectObject(dc, previous);
        ReleaseDC(hwnd_, dc);
    }
}

HFONT frmMain::FontFor(FontChoice choice) const {
    switch (choice) {
    case FontChoice::CaptionBold: return captionFont_.get();
    case FontChoice::HeadingBold: return headingFont_.get();
    case FontChoice::BusyBold: return busyFont_.get();
    case FontChoice::Dialog: break;
    }
    return dialogFont_.get();
}

// Sizes the window so its client area is exactly the table's, at the window's DPI.
void frmMain::FitClientArea(const RECT* suggested) {
    const int width = TwipsToPixels(kClientWidthTwips, static_cast<int>(dpi_));
    const int height = TwipsToPixels(kClientHeightTwips, static_cast<int>(dpi_));
    RECT frame{0, 0, width, height};
    AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, kWindowExStyle, dpi_);
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!suggested) flags |= SWP_NOMOVE;
    const int x = suggested ? suggested->left : 0;
    const int y = suggested ? suggested->top : 0;
    SetWindowPos(hwnd_, nullptr, x, y, outerWidth, outerHeight, flags);
    // Correct for a frame that the calculation got wrong (window managers differ).
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (client.right != width || client.bottom != height) {
        outerWidth += width - client.right;
        outerHeight += height - client.bottom;
        SetWindowPos(hwnd_, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
}

void frmMain::ApplyLayout() {
    const int dpi = static_cast<int>(dpi_);
    for (const ControlPlacement& placement : kControls) {
        const HWND control = GetDlgItem(hwnd_, placement.id);
        const PixelRect place = ToPixels(placement.twips, dpi);
        Control(control).SetFont(FontFor(placement.font));
        // A drop-down list's window height is its dropped height; the closed height is
        // set through its selection field below.
        const int height = placement.kind == ControlKind::DriveList ? place.height + MulDiv(160, dpi, 96) : place.height;
        SetWindowPos(control, nullptr, place.left, place.top, place.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (placement.kind == ControlKind::DriveList) FitDriveListHeight(place.height);
    }
    directory_.SetItemHeight(folderRowHeight_);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// Sets the selection field so the closed drop-down list is closedHeight pixels high. The
// frame around the field differs between systems, so measure and correct.
void frmMain::FitDriveListHeight(int closedHeight) {
    int field = closedHeight - 6;
    for (int attempt = 0; attempt < 3 && field > 0; ++attempt) {
        drive_.SetItemHeight(-1, field);
        RECT box{};
        GetWindowRect(drive_.Handle(), &box);
        const int difference = closedHeight - (box.bottom - box.top);
        if (difference == 0) break;
        field += difference;
    }
}

void frmMain::OnDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    FontHandle oldDialog = std::move(dialogFont_), oldCaption = std::move(captionFont_),
               oldHeading = std::move(headingFont_), oldBusy = std::move(busyFont_);
    MakeFonts();
    FitClientArea(&suggested);
    ApplyLayout();  // the controls take the new fonts before the old ones are deleted
}

// ---- Commands ---------------------------------------------------------------------------

void frmMain::OnCommand(int id, int code) {
    switch (id) {
    case IDOK:
        // Enter (IsDialogMessage): opens the selected folder in the folder list, and
        // nothing else, since the window has no default button.
        if (GetFocus() == directory_.Handle()) OpenFolderRow(directory_.Selected());
        return;
    case IDCANCEL: return;  // Esc starts nothing
    case kDrive:
        if (code == CBN_SELCHANGE) Drive_Change();
        return;
    case kDirectory:
        if (code == LBN_DBLCLK) OpenFolderRow(directory_.Selected());
        return;
    case kFile:
        if (code == LBN_SELCHANGE) File_Click();
        return;
    case kLstErrorLog:
        if (code == LBN_SELCHANGE) lstErrorLog_Click();
        return;
    case kCmdGo:
        if (code == BN_CLICKED) cmdGo_Click();
        return;
    case kCmdRTagInfo:
        if (code == BN_CLICKED) cmdRTagInfo_Click();
        return;
    case kCmdStrip:
        if (code == BN_CLICKED) cmdStrip_Click();
        return;
    case kCmdStripDupes:
        if (code == BN_CLICKED) cmdStripDupes_Click();
        return;
    }
}

void frmMain::OnDropFiles(HDROP drop) {
    // A playlist dropped from Explorer is selected as a click in the file list would.
    if (!running_ && DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (!path.empty() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            text1_.SetText(path);
    }
    DragFinish(drop);
}

void frmMain::DescribeControlFont(HWND replyTo, int controlId) const {
    const HWND control = GetDlgItem(hwnd_, controlId);
    if (!control || !IsWindow(replyTo)) return;
    LOGFONTW font{};
    const auto handle = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (!handle || GetObjectW(handle, sizeof(font), &font) != sizeof(font)) return;
    COPYDATASTRUCT reply{kControlFontReply, sizeof(font), &font};
    SendMessageW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd_), reinterpret_cast<LPARAM>(&reply));
}

// ---- Drive, folder and file lists -----------------------------------------------------------

void frmMain::FillDriveList() {
    drive_.Clear();
    std::wstring buffer(GetLogicalDriveStringsW(0, nullptr) + 1, L'\0');
    buffer.resize(GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data()));
    for (std::size_t start = 0; start < buffer.size();) {
        const std::size_t end = buffer.find(L'\0', start);
        std::wstring root = buffer.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (root.size() >= 2) {
            const int index = drive_.Add(root.substr(0, 2));  // "C:"
            if (SameDrive(root, directoryPath_)) drive_.Select(index);
        }
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
}

void frmMain::Drive_Change() {
    const int index = drive_.Selected();
    if (index < 0) return;
    const DWORD error = SetFolderListPath(DriveFolder(drive_.ItemText(index)));
    if (error != ERROR_SUCCESS)
        // The drive list keeps showing the chosen drive; the folder and file lists keep theirs.
        ShowMessageBox(hwnd_, L"Can't access drive: " + SystemErrorText(error), BoxButtons::Ok, BoxIcon::None);
}

DWORD frmMain::SetFolderListPath(const std::wstring& folder) {
    std::vector<std::wstring> subfolders, files;
    if (const DWORD error = ListFolder(folder, subfolders, files); error != ERROR_SUCCESS) return error;
    const std::vector<FolderStep> chain = FolderChain(folder);
    if (chain.empty()) return ERROR_BAD_PATHNAME;

    directory_.SetRedraw(false);
    directory_.Clear();
    folderRowPaths_.clear();
    auto addRow = [this](const std::wstring& name, const std::wstring& path, std::size_t depth) {
        const int row = directory_.Add(name);
        directory_.SetItemData(row, static_cast<LPARAM>(depth));
        folderRowPaths_.push_back(path);
    };
    for (std::size_t depth = 0; depth < chain.size(); ++depth) addRow(chain[depth].name, chain[depth].path, depth);
    for (const std::wstring& name : subfolders) addRow(name, ChildFolderPath(chain.back().path, name), chain.size());
    const int current = static_cast<int>(chain.size()) - 1;
    directory_.Select(current);
    directory_.SetTopIndex(std::max(0, current - 2));
    directory_.SetRedraw(true);
    InvalidateRect(directory_.Handle(), nullptr, TRUE);

    directoryPath_ = chain.back().path;
    Directory_Change();
    return ERROR_SUCCESS;
}

void frmMain::OpenFolderRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= folderRowPaths_.size()) return;
    // A folder that cannot be listed is not entered; the list stays where it was.
    if (SetFolderListPath(folderRowPaths_[static_cast<std::size_t>(row)]) != ERROR_SUCCESS)
        MessageBeep(MB_ICONWARNING);
}

void frmMain::Directory_Change() { SetFileListPath(directoryPath_); }

void frmMain::SetFileListPath(const std::wstring& folder) {
    filePath_ = folder;
    std::vector<std::wstring> subfolders, files;
    // A folder that cannot be listed shows no files; there is nothing more to say.
    ListFolder(folder, subfolders, files);
    file_.SetRedraw(false);
    file_.Clear();
    for (const std::wstring& name : files)
        if (MatchesPlaylistPattern(name)) file_.Add(name);
    file_.SetRedraw(true);
    InvalidateRect(file_.Handle(), nullptr, TRUE);
}

void frmMain::File_Click() {
    const int index = file_.Selected();
    if (index < 0) return;
    text1_.SetText(SelectedPlaylistPath(directoryPath_, file_.ItemText(index)));
}

void frmMain::DrawFolderRow(const DRAWITEMSTRUCT& item) const {
    if (item.itemID == static_cast<UINT>(-1)) return;
    const bool selected = item.itemState & ODS_SELECTED;
    const bool enabled = !(item.itemState & ODS_DISABLED);
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(!enabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const int depth = static_cast<int>(item.itemData);
    RECT text = item.rcItem;
    text.left += MulDiv(2 + 8 * depth, static_cast<int>(dpi_), 96);
    const std::wstring name = directory_.ItemText(static_cast<int>(item.itemID));
    DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

// ---- Error log -------------------------------------------------------------------------------

void frmMain::lstErrorLog_Click() {
    const int index = lstErrorLog_.Selected();
    if (index < 0) return;
    ShowMessageBox(hwnd_, LogLineForBox(lstErrorLog_.ItemText(index)), BoxButtons::Ok, BoxIcon::None);
}

// ---- Playlist operations -------------------------------------------------------------------

void frmMain::cmdGo_Click() { RunOperation(&playlist::CopyToOneFolder); }
void frmMain::cmdRTagInfo_Click() { RunOperation(&playlist::RemoveTagInfo); }
void frmMain::cmdStrip_Click() { RunOperation(&playlist::StripMissingSongs); }
void frmMain::cmdStripDupes_Click() { RunOperation(&playlist::StripDuplicates); }

void frmMain::RunOperation(Operation operation) {
    if (running_) return;  // a click that reached a disabled button
    const std::wstring playlistPath = text1_.Text();  // read once: the run works on this path
    RunGuard guard(*this);
    WindowOperationHost host(hwnd_, lstErrorLog_, lblStatus_);
    WinFileSystem files;
    operation(playlist::RunContext{host, files, ProgramFolder()}, playlistPath);
}

void frmMain::DropInputMadeDuringRun() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        // Alt+F4 is a close request, which waits for the run rather than being lost.
        if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4 && (message.lParam & (1 << 29)))
            closeHeld_ = true;
    }
    // Client-area mouse messages only: a click on the frame (the close box) is kept and acts
    // now that the run is over, as a close request during it does.
    while (PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

// ---- The file list's context menu ------------------------------------------------------------

namespace {

struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using MenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

std::wstring RelinkQuestion(std::size_t songs, const std::wstring& playlistPath) {
    // One text for every count, as "Finished with 1 errors" has it.
    return L"Relink " + std::to_wstring(songs) + L" songs in " + playlistPath + L"?";
}

}  // namespace

// Opened by a right-click on the file list (screenPoint: where) or from the keyboard
// (Shift+F10, the context-menu key: screenPoint -1). A right-click on a playlist selects it
// as a left click does. Not while a run is under way.
void frmMain::File_ContextMenu(LPARAM screenPoint) {
    if (running_) return;
    POINT at{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
    if (screenPoint == -1) {
        // Below the selected row, or at the list's corner when none is selected.
        RECT place{};
        const int selected = file_.Selected();
        if (selected < 0 || SendMessageW(file_.Handle(), LB_GETITEMRECT, static_cast<WPARAM>(selected),
                                         reinterpret_cast<LPARAM>(&place)) == LB_ERR) {
            GetClientRect(file_.Handle(), &place);
            place.bottom = place.top;
        }
        at = {place.left + MulDiv(8, static_cast<int>(dpi_), 96), place.bottom};
        ClientToScreen(file_.Handle(), &at);
    } else {
        POINT inList = at;
        ScreenToClient(file_.Handle(), &inList);
        const LRESULT hit = SendMessageW(file_.Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(inList.x, inList.y));
        if (HIWORD(hit) == 0) {  // on a row
            SetFocus(file_.Handle());
            file_.Select(LOWORD(hit));
            File_Click();
        }
    }
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    const MenuHandle menu(LoadMenuW(instance, MAKEINTRESOURCEW(IDM_FILE_CONTEXT)));
    if (!menu) return;
    // The menu takes the keyboard only from the window in front.
    SetForegroundWindow(hwnd_);
    // The item picked comes back here rather than as a message, so it runs at once.
    const int command = TrackPopupMenuEx(GetSubMenu(menu.get(), 0),
                                         TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y,
                                         hwnd_, nullptr);
    switch (command) {
    case IDM_RELINK: mnuRelink_Click(); break;
    case IDM_MAKE_RELATIVE: mnuMakeRelative_Click(); break;
    case IDM_MAKE_ABSOLUTE: mnuMakeAbsolute_Click(); break;
    case IDM_RESTORE_BACKUP: mnuRestoreBackup_Click(); break;
    case IDM_OPEN_CONTAINING_FOLDER: mnuOpenContainingFolder_Click(); break;
    default: break;  // the menu was closed
    }
}

// The path test of the menu's items that run no operation of their own before they act: the
// operations' own box when the playlist is not there.
bool frmMain::PlaylistFound(playlist::FileSystem& files, const std::wstring& playlistPath) {
    if (playlist::FileExists(files, playlistPath)) return true;
    ShowMessageBox(hwnd_, playlist::kLocateMessage, BoxButtons::Ok, BoxIcon::None);
    return false;
}

void frmMain::mnuMakeRelative_Click() { RunOperation(&playlist::MakeRelative); }
void frmMain::mnuMakeAbsolute_Click() { RunOperation(&playlist::MakeAbsolute); }

// Asks for the library folders, shows what relinking would do (the error log, the files found
// in the caption) and asks before it writes.
void frmMain::mnuRelink_Click() {
    if (running_) return;
    const std::wstring playlistPath = text1_.Text();
    WinFileSystem files;
    // The path test before the library is asked for.
    if (!PlaylistFound(files, playlistPath)) return;
    const FolderChoice library =
        PickFolders(hwnd_, L"Relink Moved Songs: Music Library", ReadSettingList(kLibraryFoldersValue));
    if (library.result == FolderChoice::Result::Cancelled) return;
    if (library.result == FolderChoice::Result::Failed) {
        ShowMessageBox(hwnd_, L"The folder picker could not be shown.\r\n\r\n" + SystemErrorText(library.error),
                       BoxButtons::Ok, BoxIcon::Critical);
        return;
    }
    // A choice that cannot be remembered is no reason not to relink.
    WriteSettingList(kLibraryFoldersValue, library.folders);

    RunGuard guard(*this);
    // The files found are shown for this run only: the caption is put back on every way out,
    // after the host has shown its last one.
    struct CaptionBack {
        HWND window;
        std::wstring caption;
        ~CaptionBack() { SetWindowTextW(window, caption.c_str()); }
    } captionBack{hwnd_, Control(hwnd_).Text()};
    WindowOperationHost host(hwnd_, lstErrorLog_, lblStatus_);
    bool asked = false;
    host.AskBeforeChanges([&](std::size_t songs) {
        asked = true;
        return ShowMessageBox(hwnd_, RelinkQuestion(songs, playlistPath), BoxButtons::YesNo, BoxIcon::Question) ==
               BoxAnswer::Yes;
    });
    const playlist::RunContext context{host, files, ProgramFolder()};
    playlist::RunOutcome outcome = playlist::RunOutcome::Done;
    {
        // "Busy" from the first folder walked; the run itself shows it again over its part.
        struct Busy {
            WindowOperationHost& host;
            explicit Busy(WindowOperationHost& h) : host(h) { host.ShowBusy(true); }
            ~Busy() { host.ShowBusy(false); }
        } busy(host);
        host.ClearLog();
        const std::optional<playlist::LibraryIndex> index = playlist::FailingWhenOutOfMemory(
            host, playlistPath, [&] { return playlist::LibraryIndex::Build(context, library.folders); });
        outcome = index ? playlist::Relink(context, *index, playlistPath) : playlist::RunOutcome::Failed;
    }
    // Relink asks only when something is to be written.
    if (outcome == playlist::RunOutcome::Done && !asked) host.ShowMessage(L"No song to relink in " + playlistPath + L".");
}

// Puts the backup back after a question; without a playlist or a backup, the restore itself
// says so.
void frmMain::mnuRestoreBackup_Click() {
    if (running_) return;
    const std::wstring playlistPath = text1_.Text();
    RunGuard guard(*this);
    WindowOperationHost host(hwnd_, lstErrorLog_, lblStatus_);
    WinFileSystem files;
    const std::wstring backupPath = playlistPath + L"_backup";
    if (playlist::FileExists(files, playlistPath) && playlist::FileExists(files, backupPath)) {
        if (ShowMessageBox(hwnd_, L"Put " + backupPath + L" back? The current playlist becomes the backup.",
                           BoxButtons::YesNo, BoxIcon::Question) != BoxAnswer::Yes) {
            return;
        }
        host.ClearLog();
    }
    playlist::RestoreBackup(playlist::RunContext{host, files, ProgramFolder()}, playlistPath);
}

void frmMain::mnuOpenContainingFolder_Click() {
    if (running_) return;
    const std::wstring playlistPath = text1_.Text();
    WinFileSystem files;
    if (!PlaylistFound(files, playlistPath)) return;
    if (const HRESULT result = ShowInExplorer(playlistPath); FAILED(result)) {
        ShowMessageBox(hwnd_, L"Could not open the folder of " + playlistPath + L"\r\n\r\n" + SystemErrorText(result),
                       BoxButtons::Ok, BoxIcon::Critical);
    }
}

void frmMain::EnableInputs(bool enabled) {
    for (const Control& control : {Control(text1_), Control(cmdGo_), Control(cmdRTagInfo_), Control(cmdStrip_),
                                   Control(cmdStripDupes_), Control(drive_), Control(directory_), Control(file_)})
        control.Enable(enabled);
}

}  // namespace tallowmere::shell
