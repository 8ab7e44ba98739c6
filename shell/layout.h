#pragma once
// The main window's geometry as data: the client area and every control in twips, in tab
// order, with the font each one uses. Pixels come from one conversion at the window's DPI,
// so the same table serves 96, 120 and 144 DPI and a move between monitors.
// Window-free: builds and is tested natively.
#include <array>
#include <string_view>

namespace tallowmere::shell {

inline constexpr int kTwipsPerInch = 1440;

// MulDiv(twips, dpi, 1440): rounded to the nearest pixel, halves away from zero.
int TwipsToPixels(int twips, int dpi);

struct TwipsRect {
    int left, top, width, height;
};
struct PixelRect {
    int left, top, width, height;
    bool operator==(const PixelRect&) const = default;
};
PixelRect ToPixels(const TwipsRect& twips, int dpi);

inline constexpr int kClientWidthTwips = 6960;
inline constexpr int kClientHeightTwips = 3420;

enum class ControlKind {
    Label,          // left-aligned static text
    CenteredLabel,  // Label4
    RightLabel,     // lblStatus
    TextBox,        // Text1
    Button,
    DriveList,   // drop-down list of drives
    FolderList,  // folders along the path, then subfolders
    FileList,    // "*.m3u" files of the folder
    LogList,     // the error log, unsorted
};

enum class FontChoice {
    Dialog,       // the platform's standard dialog (message) font
    CaptionBold,  // "MS Sans Serif" 8.25 pt bold: Label1-Label3
    HeadingBold,  // "Arial" 8.25 pt bold: Label4
    BusyBold,     // "Tahoma" 9.75 pt bold: lblStatus
};

struct NamedFont {
    std::wstring_view face;
    int hundredthsOfPoint;
    int weight;
};
NamedFont FontOf(FontChoice choice);  // not for FontChoice::Dialog

// LOGFONT height (negative: character height) of a point size at a DPI.
int FontHeightPixels(int hundredthsOfPoint, int dpi);

// Control ids start at 100: ids 1 and 2 are IDOK and IDCANCEL, which IsDialogMessage
// sends for Enter and Esc.
enum ControlId : int {
    kLabel1 = 100,
    kText1,
    kCmdGo,
    kLabel2,
    kDrive,
    kDirectory,
    kFile,
    kLstErrorLog,
    kLabel3,
    kLabel4,
    kCmdRTagInfo,
    kCmdStrip,
    kLblStatus,
    kCmdStripDupes,
};

struct ControlPlacement {
    ControlId id;
    std::wstring_view name;
    ControlKind kind;
    std::wstring_view text;
    TwipsRect twips;
    FontChoice font;
    bool visibleAtStart;
};

// Creation order is tab order.
inline constexpr std::array<ControlPlacement, 14> kControls{{
    {kLabel1, L"Label1", ControlKind::Label, L"Path:", {120, 120, 615, 255}, FontChoice::CaptionBold, true},
    {kText1, L"Text1", ControlKind::TextBox, L"", {720, 120, 6015, 285}, FontChoice::Dialog, true},
    {kCmdGo, L"cmdGo", ControlKind::Button, L"Copy to One Folder", {4800, 480, 1935, 375}, FontChoice::Dialog, true},
    {kLabel2, L"Label2", ControlKind::Label, L"Drive:", {120, 480, 495, 255}, FontChoice::CaptionBold, true},
    {kDrive, L"Drive", ControlKind::DriveList, L"", {720, 480, 1935, 315}, FontChoice::Dialog, true},
    {kDirectory, L"Directory", ControlKind::FolderList, L"", {720, 840, 1935, 1890}, FontChoice::Dialog, true},
    {kFile, L"File", ControlKind::FileList, L"", {2760, 480, 1935, 2235}, FontChoice::Dialog, true},
    {kLstErrorLog, L"lstErrorLog", ControlKind::LogList, L"", {4800, 1200, 2055, 1425}, FontChoice::Dialog, true},
    {kLabel3, L"Label3", ControlKind::Label, L"Error Log:", {4800, 960, 1215, 255}, FontChoice::CaptionBold, true},
    {kLabel4, L"Label4", ControlKind::CenteredLabel, L"Other Playlist Modifications", {2400, 2760, 2415, 255}, FontChoice::HeadingBold, true},
    {kCmdRTagInfo, L"cmdRTagInfo", ControlKind::Button, L"Remove Tag Info", {120, 3120, 1935, 255}, FontChoice::Dialog, true},
    {kCmdStrip, L"cmdStrip", ControlKind::Button, L"Strip non-existant songs", {2160, 3120, 1935, 255}, FontChoice::Dialog, true},
    {kLblStatus, L"lblStatus", ControlKind::RightLabel, L"Busy", {6240, 3120, 615, 255}, FontChoice::BusyBold, false},
    {kCmdStripDupes, L"cmdStripDupes", ControlKind::Button, L"Strip Duplicates", {4200, 3120, 1695, 255}, FontChoice::Dialog, true},
}};

const ControlPlacement& PlacementOf(ControlId id);

}  // namespace tallowmere::shell
