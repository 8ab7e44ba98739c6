// Entry resolution and the path text the repairs write: forms with either separator, "." and
// ".." steps, drive sources, relative entries, volume roots (no files).
#include <gtest/gtest.h>

#include "playlist/paths.h"

namespace tallowmere::playlist {
namespace {

TEST(EntryResolution, EveryFormWithEitherSeparator) {
    // The playlist in D:\Lists\, root-relative entries on E: (the drive source a run gives).
    const EntryResolver resolver(L"D:\\Lists\\", L"E:");
    struct Row {
        const wchar_t* entry;
        EntryForm form;
        const wchar_t* path;  // empty: names no file
    };
    const Row rows[] = {
        {L"C:\\Music\\a.mp3", EntryForm::Absolute, L"C:\\Music\\a.mp3"},
        {L"C:/Music/a.mp3", EntryForm::Absolute, L"C:\\Music\\a.mp3"},
        {L"c:/music\\sub/../a.mp3", EntryForm::Absolute, L"c:\\music\\a.mp3"},
        {L"1:\\a.mp3", EntryForm::Absolute, L"1:\\a.mp3"},
        {L"\\\\box\\share\\a.mp3", EntryForm::Network, L"\\\\box\\share\\a.mp3"},
        {L"//nas/music/./a.mp3", EntryForm::Network, L"\\\\nas\\music\\a.mp3"},
        {L"\\\\nas\\music\\..\\..\\a.mp3", EntryForm::Network, L"\\\\nas\\music\\a.mp3"},  // the share is the root
        {L"\\\\?\\C:\\Music\\x\\..\\a.mp3", EntryForm::Network, L"\\\\?\\C:\\Music\\x\\..\\a.mp3"},  // taken literally
        {L"\\Music\\a.mp3", EntryForm::RootRelative, L"E:\\Music\\a.mp3"},
        {L"/Music/a.mp3", EntryForm::RootRelative, L"E:\\Music\\a.mp3"},
        {L"Music\\a.mp3", EntryForm::Relative, L"D:\\Lists\\Music\\a.mp3"},
        {L"sub/..\\..\\music\\a.mp3", EntryForm::Relative, L"D:\\music\\a.mp3"},
        {L"..\\..\\..\\a.mp3", EntryForm::Relative, L"D:\\a.mp3"},
        {L"Music//a.mp3", EntryForm::Relative, L"D:\\Lists\\Music\\a.mp3"},
        {L" a.mp3", EntryForm::Relative, L"D:\\Lists\\ a.mp3"},  // never trimmed
        {L" C:\\a.mp3", EntryForm::NotAFile, L""},  // a ":" inside a name: no file has it
        {L"Music\\", EntryForm::Relative, L"D:\\Lists\\Music\\"},
        {L"#1 Hit.mp3", EntryForm::Relative, L"D:\\Lists\\#1 Hit.mp3"},
        {L"a..b\\...\\a.mp3", EntryForm::Relative, L"D:\\Lists\\a..b\\...\\a.mp3"},
        // No file: a drive without a separator, a scheme, a stream.
        {L"C:a.mp3", EntryForm::NotAFile, L""},
        {L"C:", EntryForm::NotAFile, L""},
        {L"spotify:track:x", EntryForm::NotAFile, L""},
        {L"http://radio.example/stream", EntryForm::NotAFile, L""},
        {L"C://x", EntryForm::Absolute, L"C:\\x"},
        {L"C:\\a.mp3:stream", EntryForm::NotAFile, L""},
        {L"Artist: Title.mp3", EntryForm::NotAFile, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.entry)));
        std::wstring path = L"left over";
        EXPECT_EQ(resolver.Resolve(row.entry, path), row.form);
        EXPECT_EQ(path, row.path);
        EXPECT_EQ(FormOf(row.entry), row.form);
    }
    EXPECT_EQ(resolver.PrefixFor(EntryForm::Relative), L"D:\\Lists\\");
    EXPECT_EQ(resolver.PrefixFor(EntryForm::RootRelative), L"E:");
    EXPECT_EQ(resolver.PrefixFor(EntryForm::Absolute), L"");

    // The drive sources: the program's or the playlist's first two characters (two
    // backslashes for a share, so "\Music" names no file there), or the playlist's volume.
    EXPECT_EQ(EntryResolver(L"D:\\Lists\\", DriveOfPath(L"\\\\srv\\apps")).Resolve(L"\\Music\\a.mp3"),
              L"\\\\\\Music\\a.mp3");
    EXPECT_EQ(VolumeOfPlaylist(L"\\\\srv\\share\\Lists\\a.m3u"), L"\\\\srv\\share");
    EXPECT_EQ(VolumeOfPlaylist(L"D:\\Lists\\a.m3u"), L"D:");
    EXPECT_EQ(EntryResolver(L"\\\\srv\\share\\Lists\\", VolumeOfPlaylist(L"\\\\srv\\share\\Lists\\a.m3u"))
                  .Resolve(L"\\Music\\a.mp3"),
              L"\\\\srv\\share\\Music\\a.mp3");

    EXPECT_EQ(EntryFileName(L"C:/Music\\Sub/a.mp3"), L"a.mp3");
    EXPECT_EQ(EntryFileName(L"a.mp3"), L"a.mp3");
    EXPECT_EQ(EntryFileName(L"Music/"), L"");
}

TEST(EntryResolution, RelativeEntriesGoUpAndDownAndNeverReadAsTags) {
    EXPECT_EQ(RelativeEntryText(L"D:\\Lists\\", L"D:\\Lists\\Songs\\a.mp3"), L"Songs\\a.mp3");
    EXPECT_EQ(RelativeEntryText(L"D:\\Media\\Lists\\", L"d:\\MEDIA\\Music\\a.mp3"), L"..\\Music\\a.mp3");
    EXPECT_EQ(RelativeEntryText(L"D:\\A\\B\\C\\", L"D:\\a.mp3"), L"..\\..\\..\\a.mp3");
    EXPECT_EQ(RelativeEntryText(L"D:\\Lists\\", L"D:\\Lists"), L"..\\Lists");  // a file named like the folder
    EXPECT_EQ(RelativeEntryText(L"D:\\", L"D:\\a.mp3"), L"a.mp3");
    // A song whose name begins with "#" would become a tag line.
    EXPECT_EQ(RelativeEntryText(L"D:\\Lists\\", L"D:\\Lists\\#1 Hit.mp3"), L".\\#1 Hit.mp3");
    EXPECT_EQ(RelativeEntryText(L"D:\\Lists\\", L"D:\\Lists\\#Best\\a.mp3"), L".\\#Best\\a.mp3");
    EXPECT_EQ(RelativeEntryText(L"D:\\Lists\\Sub\\", L"D:\\Lists\\#1 Hit.mp3"), L"..\\#1 Hit.mp3");
    // ".\#1 Hit.mp3" resolves back to the same song.
    EXPECT_EQ(EntryResolver(L"D:\\Lists\\", L"D:").Resolve(L".\\#1 Hit.mp3"), L"D:\\Lists\\#1 Hit.mp3");

    EXPECT_TRUE(SameVolumeRoot(L"D:\\Lists\\", L"d:\\Music\\a.mp3"));
    EXPECT_TRUE(SameVolumeRoot(L"\\\\Box\\Share\\x", L"\\\\box\\share\\y"));
    EXPECT_FALSE(SameVolumeRoot(L"D:\\Lists\\", L"E:\\Lists\\a.mp3"));
    EXPECT_FALSE(SameVolumeRoot(L"\\\\box\\share\\", L"\\\\box\\other\\a.mp3"));
    EXPECT_FALSE(SameVolumeRoot(L"Lists\\", L"Lists\\a.mp3"));
}

TEST(EntryResolution, VolumeRoots) {
    struct Row {
        const wchar_t* path;
        const wchar_t* root;
    };
    const Row rows[] = {
        {L"E:\\Music\\a.mp3", L"E:\\"},
        {L"e:\\a.mp3", L"e:\\"},
        {L"\\\\server\\share\\dir\\a.mp3", L"\\\\server\\share\\"},
        {L"\\\\\\Music\\a.mp3", L""},  // three backslashes: no volume
        {L"\\\\server\\share", L""},
        {L"\\\\server\\\\a.mp3", L""},
        {L"1:\\a.mp3", L""},
        {L"a.mp3", L""},
        // Long-path and device spellings keep the whole volume, not just their prefix.
        {L"\\\\?\\UNC\\server\\share\\x\\a.mp3", L"\\\\?\\UNC\\server\\share\\"},
        {L"\\\\?\\unc\\server\\share\\a.mp3", L"\\\\?\\unc\\server\\share\\"},
        {L"\\\\?\\UNC\\server\\a.mp3", L""},
        {L"\\\\?\\C:\\Music\\a.mp3", L"\\\\?\\C:\\"},
        {L"\\\\.\\C:\\Music\\a.mp3", L"\\\\.\\C:\\"},
        {L"\\\\?\\Volume{1234}\\a.mp3", L"\\\\?\\Volume{1234}\\"},
        {L"\\\\?\\a.mp3", L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(row.path)));
        EXPECT_EQ(VolumeRootOf(row.path), row.root);
    }
}

}  // namespace
}  // namespace tallowmere::playlist
