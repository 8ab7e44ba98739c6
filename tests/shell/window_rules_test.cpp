// The main window's geometry and the path rules of its drive, folder and file lists.
#include <gtest/gtest.h>

#include <set>

#include "shell/folder_rules.h"
#include "shell/layout.h"
#include "shell/log_box.h"

namespace tallowmere::shell {
namespace {

TEST(TwipsToPixels, ConvertsAtTheCommonDpis) {
    // 96 DPI: 15 twips a pixel, so every value of the table is exact.
    EXPECT_EQ(TwipsToPixels(6960, 96), 464);
    EXPECT_EQ(TwipsToPixels(3420, 96), 228);
    EXPECT_EQ(TwipsToPixels(315, 96), 21);
    EXPECT_EQ(TwipsToPixels(1890, 96), 126);
    // 120 DPI: 12 twips a pixel; rounded to nearest, a half upwards.
    EXPECT_EQ(TwipsToPixels(6960, 120), 580);
    EXPECT_EQ(TwipsToPixels(255, 120), 21);   // 21.25
    EXPECT_EQ(TwipsToPixels(285, 120), 24);   // 23.75
    EXPECT_EQ(TwipsToPixels(1890, 120), 158); // 157.5
    // 144 DPI: 10 twips a pixel.
    EXPECT_EQ(TwipsToPixels(3420, 144), 342);
    EXPECT_EQ(TwipsToPixels(615, 144), 62);   // 61.5
    EXPECT_EQ(TwipsToPixels(255, 144), 26);   // 25.5
    EXPECT_EQ(TwipsToPixels(0, 144), 0);
}

TEST(Layout, EveryControlLandsOnItsPixelsAt96Dpi) {
    struct Expected {
        ControlId id;
        PixelRect pixels;
    };
    const Expected expected[] = {
        {kLabel1, {8, 8, 41, 17}},          {kText1, {48, 8, 401, 19}},
        {kCmdGo, {320, 32, 129, 25}},       {kLabel2, {8, 32, 33, 17}},
        {kDrive, {48, 32, 129, 21}},        {kDirectory, {48, 56, 129, 126}},
        {kFile, {184, 32, 129, 149}},       {kLstErrorLog, {320, 80, 137, 95}},
        {kLabel3, {320, 64, 81, 17}},       {kLabel4, {160, 184, 161, 17}},
        {kCmdRTagInfo, {8, 208, 129, 17}},  {kCmdStrip, {144, 208, 129, 17}},
        {kLblStatus, {416, 208, 41, 17}},   {kCmdStripDupes, {280, 208, 113, 17}},
    };
    for (const Expected& e : expected) EXPECT_EQ(ToPixels(PlacementOf(e.id).twips, 96), e.pixels) << int(e.id);
}

TEST(Layout, ScaledControlsStayInsideTheClientAreaAndKeepSharedEdges) {
    for (int dpi : {96, 120, 144, 192}) {
        const int width = TwipsToPixels(kClientWidthTwips, dpi);
        const int height = TwipsToPixels(kClientHeightTwips, dpi);
        for (const ControlPlacement& placement : kControls) {
            const PixelRect r = ToPixels(placement.twips, dpi);
            EXPECT_GT(r.width, 0);
            EXPECT_GT(r.height, 0);
            EXPECT_LE(r.left + r.width, width) << dpi;
            EXPECT_LE(r.top + r.height, height) << dpi;
        }
        // Label2 and the drive list start on the same row; the drive list and the folder list
        // share their left edge.
        EXPECT_EQ(ToPixels(PlacementOf(kLabel2).twips, dpi).top, ToPixels(PlacementOf(kDrive).twips, dpi).top);
        EXPECT_EQ(ToPixels(PlacementOf(kDrive).twips, dpi).left, ToPixels(PlacementOf(kDirectory).twips, dpi).left);
    }
}

TEST(Layout, TableHoldsFourteenWindowsWithIdsThatEnterAndEscCannotReach) {
    std::set<int> ids;
    for (const ControlPlacement& placement : kControls) {
        EXPECT_NE(placement.id, 1);  // IDOK
        EXPECT_NE(placement.id, 2);  // IDCANCEL
        ids.insert(placement.id);
    }
    EXPECT_EQ(ids.size(), 14u);
    EXPECT_FALSE(PlacementOf(kLblStatus).visibleAtStart);
    EXPECT_EQ(PlacementOf(kCmdStrip).text, L"Strip non-existant songs");
}

TEST(Fonts, NamedFontsAndHeightsPerDpi) {
    EXPECT_EQ(FontOf(FontChoice::CaptionBold).face, L"MS Sans Serif");
    EXPECT_EQ(FontOf(FontChoice::HeadingBold).face, L"Arial");
    EXPECT_EQ(FontOf(FontChoice::BusyBold).face, L"Tahoma");
    EXPECT_EQ(FontOf(FontChoice::BusyBold).weight, 700);
    EXPECT_EQ(FontHeightPixels(825, 96), -11);
    EXPECT_EQ(FontHeightPixels(975, 96), -13);
    EXPECT_EQ(FontHeightPixels(825, 144), -17);  // 16.5
    EXPECT_EQ(FontHeightPixels(975, 120), -16);  // 16.25
}

TEST(FileClick, SelectedPathIsFolderBackslashName) {
    EXPECT_EQ(SelectedPlaylistPath(L"C:\\Music\\Rock", L"best.m3u"), L"C:\\Music\\Rock\\best.m3u");
    // A drive's root already ends in a backslash: two in a row, as the program always did.
    EXPECT_EQ(SelectedPlaylistPath(L"C:\\", L"all.m3u"), L"C:\\\\all.m3u");
    EXPECT_EQ(SelectedPlaylistPath(L"\\\\server\\share\\lists", L"a b.M3U"), L"\\\\server\\share\\lists\\a b.M3U");
}

TEST(FolderChain, RootThenEachFolderDownToTheCurrentOne) {
    auto chain = FolderChain(L"C:\\Music\\Rock");
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[0].name, L"C:\\");
    EXPECT_EQ(chain[0].path, L"C:\\");
    EXPECT_EQ(chain[1].name, L"Music");
    EXPECT_EQ(chain[1].path, L"C:\\Music");
    EXPECT_EQ(chain[2].name, L"Rock");
    EXPECT_EQ(chain[2].path, L"C:\\Music\\Rock");

    chain = FolderChain(L"Z:\\");
    ASSERT_EQ(chain.size(), 1u);
    EXPECT_EQ(chain[0].path, L"Z:\\");

    chain = FolderChain(L"D:\\lists\\");  // a trailing backslash adds no row
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[1].path, L"D:\\lists");

    chain = FolderChain(L"\\\\server\\share\\a");
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0].name, L"\\\\server\\share\\");
    EXPECT_EQ(chain[1].path, L"\\\\server\\share\\a");

    EXPECT_TRUE(FolderChain(L"relative\\path").empty());
}

TEST(FolderChain, ChildPathsNeverDoubleTheBackslash) {
    EXPECT_EQ(ChildFolderPath(L"C:\\", L"Music"), L"C:\\Music");
    EXPECT_EQ(ChildFolderPath(L"C:\\Music", L"Rock"), L"C:\\Music\\Rock");
}

TEST(FileList, PatternMatchesM3uIgnoringCaseOnly) {
    EXPECT_TRUE(MatchesPlaylistPattern(L"a.m3u"));
    EXPECT_TRUE(MatchesPlaylistPattern(L"MIX.M3U"));
    EXPECT_TRUE(MatchesPlaylistPattern(L"x.M3u"));
    EXPECT_TRUE(MatchesPlaylistPattern(L".m3u"));
    EXPECT_TRUE(MatchesPlaylistPattern(L"two.dots.m3u"));
    EXPECT_FALSE(MatchesPlaylistPattern(L"a.m3u8"));  // would match through an 8.3 name
    EXPECT_FALSE(MatchesPlaylistPattern(L"a.m3u.bak"));
    EXPECT_FALSE(MatchesPlaylistPattern(L"m3u"));
    EXPECT_FALSE(MatchesPlaylistPattern(L"a.pls"));
}

TEST(FileList, NamesSortIgnoringCase) {
    std::vector<std::wstring> names{L"b.m3u", L"C.m3u", L"a.m3u", L"B2.m3u"};
    SortNames(names);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.m3u", L"b.m3u", L"B2.m3u", L"C.m3u"}));
}

TEST(LogBox, LinesUpTo32767CharactersWholeLongerOnesCutWithDots) {
    const std::wstring longest(32767, L'a');
    EXPECT_EQ(LogLineForBox(longest), longest);
    EXPECT_EQ(LogLineForBox(L"Missing: a.mp3"), L"Missing: a.mp3");

    const std::wstring shown = LogLineForBox(L"Missing: " + std::wstring(10 * 1024 * 1024, L'b'));
    EXPECT_EQ(shown.size(), 32767u);
    EXPECT_EQ(shown.substr(0, 10), L"Missing: b");
    EXPECT_TRUE(shown.ends_with(L"b..."));

    // A character outside the basic plane straddling the cut is left out whole.
    std::wstring pairs(32763, L'c');
    for (int note = 0; note < 3; ++note) pairs += {wchar_t(0xD83C), wchar_t(0xDFB5)};  // a musical note
    const std::wstring cut = LogLineForBox(pairs);
    EXPECT_EQ(cut, std::wstring(32763, L'c') + L"...");
}

}  // namespace
}  // namespace tallowmere::shell
