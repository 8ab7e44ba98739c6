// Path text of the repairs: "." and ".." steps, relative paths, volume roots (no files).
#include <gtest/gtest.h>

#include "playlist/relative_paths.h"

namespace tallowmere::playlist {
namespace {

TEST(RelativePaths, NormalizeResolvesStepsAndKeepsTheRoot) {
    EXPECT_EQ(NormalizePath(L"D:\\Lists\\..\\Music\\.\\a.mp3"), L"D:\\Music\\a.mp3");
    EXPECT_EQ(NormalizePath(L"D:\\..\\..\\a.mp3"), L"D:\\a.mp3");
    EXPECT_EQ(NormalizePath(L"D:\\Lists\\\\Sub\\"), L"D:\\Lists\\Sub\\");
    EXPECT_EQ(NormalizePath(L"\\\\box\\share\\x\\..\\a.mp3"), L"\\\\box\\share\\a.mp3");
    EXPECT_EQ(NormalizePath(L"D:\\Lists\\c:/music/../a.mp3"), L"D:\\Lists\\c:/music/../a.mp3");
    EXPECT_EQ(NormalizePath(L"Music\\..\\a.mp3"), L"Music\\..\\a.mp3");  // no root: as it is
    EXPECT_EQ(NormalizePath(L"D:\\a..b\\...\\a.mp3"), L"D:\\a..b\\...\\a.mp3");
}

TEST(RelativePaths, RelativePathsGoUpAndDownIgnoringCase) {
    EXPECT_EQ(RelativePathFrom(L"D:\\Lists\\", L"D:\\Lists\\Songs\\a.mp3"), L"Songs\\a.mp3");
    EXPECT_EQ(RelativePathFrom(L"D:\\Media\\Lists\\", L"d:\\MEDIA\\Music\\a.mp3"), L"..\\Music\\a.mp3");
    EXPECT_EQ(RelativePathFrom(L"D:\\A\\B\\C\\", L"D:\\a.mp3"), L"..\\..\\..\\a.mp3");
    // A file named like the folder is not taken for it.
    EXPECT_EQ(RelativePathFrom(L"D:\\Lists\\", L"D:\\Lists"), L"..\\Lists");
    EXPECT_EQ(RelativePathFrom(L"D:\\", L"D:\\a.mp3"), L"a.mp3");

    EXPECT_TRUE(SameVolumeRoot(L"D:\\Lists\\", L"d:\\Music\\a.mp3"));
    EXPECT_TRUE(SameVolumeRoot(L"\\\\Box\\Share\\x", L"\\\\box\\share\\y"));
    EXPECT_FALSE(SameVolumeRoot(L"D:\\Lists\\", L"E:\\Lists\\a.mp3"));
    EXPECT_FALSE(SameVolumeRoot(L"\\\\box\\share\\", L"\\\\box\\other\\a.mp3"));
    EXPECT_FALSE(SameVolumeRoot(L"Lists\\", L"Lists\\a.mp3"));
}

}  // namespace
}  // namespace tallowmere::playlist
