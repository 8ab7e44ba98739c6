#include "shell/cli_arguments.h"

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
