#include "shell/cli_arguments.h"
#include "shell/cli_playlists.h"

#include <map>

#include <gtest/gtest.h>

namespace tallowmere::shell {
namespace {

using Kind = CliParse::Kind;

TEST(CliArguments, SubcommandsOptionsAndPlaylists) {
    const CliParse parse =
        ParseCliArguments({L"strip-missing", L"--dry-run", L"a.m3u", L"--quiet", L"D:\\Mixé 日本.m3u"});
    ASSERT_EQ(parse.kind, Kind::Run);
    EXPECT_EQ(parse.request.operation, CliOperation::StripMissing);
    EXPECT_TRUE(parse.request.dryRun);
    EXPECT_TRUE(parse.request.quiet);
    EXPECT_EQ(parse.request.playlists, (std::vector<std::wstring>{L"a.m3u", L"D:\\Mixé 日本.m3u"}));

    const std::pair<const wchar_t*, CliOperation> names[] = {
        {L"remove-tags", CliOperation::RemoveTags},
        {L"strip-missing", CliOperation::StripMissing},
        {L"strip-dupes", CliOperation::StripDupes},
        {L"copy-to-folder", CliOperation::CopyToFolder},
    };
    for (const auto& [name, operation] : names) {
        const CliParse one = ParseCliArguments({name, L"x.m3u"});
        ASSERT_EQ(one.kind, Kind::Run) << name;
        EXPECT_EQ(one.request.operation, operation) << name;
        EXPECT_FALSE(one.request.dryRun);
        EXPECT_FALSE(one.request.quiet);
    }

    // After "--" everything is a playlist, even names that look like options.
    const CliParse dashed = ParseCliArguments({L"strip-dupes", L"--", L"--dry-run"});
    ASSERT_EQ(dashed.kind, Kind::Run);
    EXPECT_FALSE(dashed.request.dryRun);
    EXPECT_EQ(dashed.request.playlists, (std::vector<std::wstring>{L"--dry-run"}));
}

TEST(CliArguments, HelpAndUsageErrors) {
    EXPECT_EQ(ParseCliArguments({L"--help"}).kind, Kind::Help);
    EXPECT_EQ(ParseCliArguments({L"strip-dupes", L"--help"}).kind, Kind::Help);
    EXPECT_EQ(ParseCliArguments({L"--version"}).kind, Kind::Version);
    const CliParse recursive = ParseCliArguments({L"remove-tags", L"-r", L"D:\\Music", L"--recursive"});
    ASSERT_EQ(recursive.kind, Kind::Run);
    EXPECT_TRUE(recursive.request.recursive);
    EXPECT_EQ(recursive.request.playlists, (std::vector<std::wstring>{L"D:\\Music"}));
    EXPECT_NE(CliUsage().find(L"remove-tags|strip-missing|strip-dupes|copy-to-folder"), std::wstring::npos);
    EXPECT_NE(CliUsage().find(L"WriteConsoleW"), std::wstring::npos);
    EXPECT_NE(CliUsage().find(L"UTF-8"), std::wstring::npos);

    const std::vector<std::vector<std::wstring>> wrong = {
        {},
        {L"strip"},
        {L"Strip-Dupes", L"a.m3u"},
        {L"strip-dupes"},
        {L"strip-dupes", L"--dry-run"},
        {L"strip-dupes", L"--force", L"a.m3u"},
        {L"a.m3u"},
    };
    for (const auto& arguments : wrong) {
        const CliParse parse = ParseCliArguments(arguments);
        EXPECT_EQ(parse.kind, Kind::UsageError) << (arguments.empty() ? L"" : arguments[0]).size();
        EXPECT_FALSE(parse.problem.empty());
    }
}

TEST(CliArguments, TheRepairSubcommandsAndTheLibraryFolders) {
    const CliParse relink = ParseCliArguments({L"relink", L"--in", L"D:\\Media\\Music", L"a.m3u", L"--in", L"E:\\More",
                                               L"--dry-run", L"b.m3u"});
    ASSERT_EQ(relink.kind, Kind::Run);
    EXPECT_EQ(relink.request.operation, CliOperation::Relink);
    EXPECT_EQ(relink.request.libraryFolders, (std::vector<std::wstring>{L"D:\\Media\\Music", L"E:\\More"}));
    EXPECT_EQ(relink.request.playlists, (std::vector<std::wstring>{L"a.m3u", L"b.m3u"}));
    EXPECT_TRUE(relink.request.dryRun);
    // After "--", "--in" is a playlist's name.
    EXPECT_EQ(ParseCliArguments({L"relink", L"--in", L"L", L"--", L"--in"}).request.playlists,
              (std::vector<std::wstring>{L"--in"}));

    EXPECT_EQ(ParseCliArguments({L"make-relative", L"x.m3u"}).request.operation, CliOperation::MakeRelative);
    EXPECT_EQ(ParseCliArguments({L"make-absolute", L"x.m3u"}).request.operation, CliOperation::MakeAbsolute);
    EXPECT_EQ(ParseCliArguments({L"restore", L"--quiet", L"x.m3u"}).request.operation, CliOperation::Restore);

    EXPECT_EQ(ParseCliArguments({L"relink", L"x.m3u"}).problem, L"relink needs --in FOLDER");
    EXPECT_EQ(ParseCliArguments({L"relink", L"x.m3u", L"--in"}).problem, L"--in needs a folder");
    EXPECT_EQ(ParseCliArguments({L"restore", L"--in", L"L", L"x.m3u"}).problem, L"--in is for relink only");
}

}  // namespace
}  // namespace tallowmere::shell

namespace tallowmere::shell {
namespace {

// A folder tree in memory: folder path -> entries (name, is folder, is link).
class TreeSource final : public FolderSource {
public:
    struct Entry {
        std::wstring name;
        bool folder = false;
        bool link = false;
    };
    std::map<std::wstring, std::vector<Entry>> folders;

    bool IsFolder(const std::wstring& path) override { return folders.count(Trimmed(path)) != 0; }
    playlist::ErrorCode ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) override {
        const auto found = folders.find(Trimmed(folder));
        if (found == folders.end()) return 3;  // ERROR_PATH_NOT_FOUND
        for (const Entry& entry : found->second) visit({entry.name, entry.folder, entry.link});
        return 0;
    }

private:
    static std::wstring Trimmed(std::wstring path) {
        if (path.size() > 1 && path.back() == L'\\') path.pop_back();
        return path;
    }
};

TEST(CliPlaylists, WildcardsMatchLongNamesIgnoringCase) {
    EXPECT_TRUE(MatchesWildcard(L"Mix One.M3U", L"*.m3u"));
    EXPECT_FALSE(MatchesWildcard(L"Mix One.m3u8", L"*.m3u"));  // no 8.3-alias match on .m3u8
    EXPECT_FALSE(MatchesWildcard(L"Mix.m3u_backup", L"*.m3u"));
    EXPECT_TRUE(MatchesWildcard(L"Mixé 日本.m3u8", L"MIXÉ*"));
    EXPECT_TRUE(MatchesWildcard(L"a1.m3u", L"a?.m3u"));
    EXPECT_FALSE(MatchesWildcard(L"a.m3u", L"a?.m3u"));
    EXPECT_TRUE(MatchesWildcard(L"abcabd", L"*ab?"));
    EXPECT_TRUE(MatchesWildcard(L"README", L"*.*"));
    EXPECT_TRUE(MatchesWildcard(L"Mix", L"Mix.*"));
    EXPECT_FALSE(MatchesWildcard(L"Mixer", L"Mix.*"));
}

TEST(CliPlaylists, ExpansionOrderBackupsFoldersAndProblems) {
    TreeSource tree;
    tree.folders[L"."] = {{L"b.m3u"}, {L"A.m3u"}, {L"a.m3u_backup"}, {L"Mix.m3u Copy", true}};
    tree.folders[L"D:\\Music"] = {{L"z.M3U8"}, {L"Sub", true}, {L"y.m3u"}, {L"cover.jpg"},
                                  {L"y.m3u_backup"}, {L"Loop", true, true}, {L"Empty", true}};
    tree.folders[L"D:\\Music\\Sub"] = {{L"inner.m3u"}};
    tree.folders[L"D:\\Music\\Loop"] = {{L"never.m3u"}};
    tree.folders[L"D:\\Music\\Empty"] = {};

    const ExpandedPlaylists flat =
        ExpandPlaylistArguments(tree, {L"*.m3u*", L"D:\\Music", L"plain.m3u", L"D:\\Music\\Empty", L"none*"}, false);
    EXPECT_EQ(flat.playlists, (std::vector<std::wstring>{L"A.m3u", L"b.m3u", L"D:\\Music\\y.m3u",
                                                          L"D:\\Music\\z.M3U8", L"plain.m3u"}));
    EXPECT_EQ(flat.problems, (std::vector<std::wstring>{L"D:\\Music\\Empty: no .m3u or .m3u8 playlist in this folder",
                                                         L"none*: no file matches this pattern"}));

    const ExpandedPlaylists deep = ExpandPlaylistArguments(tree, {L"D:\\Music\\"}, true);
    EXPECT_EQ(deep.playlists, (std::vector<std::wstring>{L"D:\\Music\\y.m3u", L"D:\\Music\\z.M3U8",
                                                          L"D:\\Music\\Sub\\inner.m3u"}));
    EXPECT_TRUE(deep.problems.empty());

    // A wildcard in a folder part names no folder.
    EXPECT_EQ(ExpandPlaylistArguments(tree, {L"D:\\*\\y.m3u"}, false).problems.size(), 1u);
}

}  // namespace
}  // namespace tallowmere::shell
