#include "cli/cli_arguments.h"
#include "cli/cli_playlists.h"

#include <cwctype>
#include <map>

#include <gtest/gtest.h>

namespace tallowmere::cli {
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
}  // namespace tallowmere::cli

namespace tallowmere::cli {
namespace {

// A folder tree in memory: folder path -> entries (name, is folder, is link). Paths name the
// same file when they are equal ignoring case, or when sameAs says one is the other (a link
// the file system does not mark).
class TreeSource final : public FolderSource {
public:
    struct Entry {
        std::wstring name;
        bool folder = false;
        bool link = false;
    };
    std::map<std::wstring, std::vector<Entry>> folders;
    std::map<std::wstring, std::wstring> sameAs;

    bool IsFolder(const std::wstring& path) override { return folders.count(Trimmed(path)) != 0; }
    playlist::ErrorCode ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) override {
        const auto found = folders.find(Trimmed(folder));
        if (found == folders.end()) return 3;  // ERROR_PATH_NOT_FOUND
        for (const Entry& entry : found->second) visit({entry.name, entry.folder, entry.link});
        return 0;
    }
    std::optional<std::wstring> IdentityKey(const std::wstring& path) override {
        std::wstring key = Trimmed(path);
        if (key.starts_with(L".\\")) key = key.substr(2);
        if (const auto alias = sameAs.find(key); alias != sameAs.end()) key = alias->second;
        for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(c));
        return key;
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

TEST(CliPlaylists, ExpansionTakesEachPlaylistOnceAndNothingElse) {
    TreeSource tree;
    tree.folders[L"."] = {{L"b.m3u"},        {L"A.m3u"},       {L"a.m3u_backup"}, {L"Mix.m3u Copy", true},
                          {L"notes.txt"},    {L"album.cue"},   {L"winamp.m3u"},   {L"winamp.m3u.bak"},
                          {L"winamp.m3u.bak.14.6.12"}, {L"winamp.m3u.bak.9.1.3.2"}, {L"~tm0a1b2c3d.tmp"}};
    tree.folders[L"D:\\Music"] = {{L"z.M3U8"}, {L"Sub", true}, {L"y.m3u"}, {L"cover.jpg"},
                                  {L"y.m3u_backup"}, {L"Loop", true, true}, {L"Again", true}, {L"Empty", true}};
    tree.folders[L"D:\\Music\\Sub"] = {{L"inner.m3u"}};
    tree.folders[L"D:\\Music\\Loop"] = {{L"never.m3u"}};
    tree.folders[L"D:\\Music\\Again"] = {{L"y.m3u"}};  // a link no flag shows, back to D:\Music
    tree.sameAs[L"D:\\Music\\Again"] = L"D:\\Music";
    tree.sameAs[L"D:\\Music\\Again\\y.m3u"] = L"D:\\Music\\y.m3u";
    tree.folders[L"D:\\Music\\Empty"] = {};
    using Names = std::vector<std::wstring>;
    struct Case {
        const char* what;
        Names arguments;
        bool recursive;
        Names playlists;
        Names problems;
    };
    const Case cases[] = {
        {"a file named twice, in two letter cases, through a folder and a pattern",
         {L"a.m3u", L"A.M3U", L".", L"*.m3u", L".\\a.m3u"}, false,
         {L"a.m3u", L".\\b.m3u", L".\\winamp.m3u"}, {}},
        {"patterns take playlists only: no notes, cue sheets, backups, archives or temporary files",
         {L"*.*", L"winamp.m3u*", L"*.tmp", L"*_backup", L"none*"}, false,
         {L"A.m3u", L"b.m3u", L"winamp.m3u"},
         {L"*.tmp: no .m3u or .m3u8 playlist matches this pattern",
          L"*_backup: no .m3u or .m3u8 playlist matches this pattern",
          L"none*: no .m3u or .m3u8 playlist matches this pattern"}},
        {"a name given whole is taken as given, but never a file of the program's own",
         {L"notes.txt", L"a.m3u_backup", L"winamp.m3u.bak.14.6.12", L"winamp.m3u.bak", L"~tm0a1b2c3d.tmp",
          L"plain.m3u"},
         false, {L"notes.txt", L"plain.m3u"},
         {L"a.m3u_backup: a backup, temporary or watch-mode file of this program, not a playlist",
          L"winamp.m3u.bak.14.6.12: a backup, temporary or watch-mode file of this program, not a playlist",
          L"winamp.m3u.bak: a backup, temporary or watch-mode file of this program, not a playlist",
          L"~tm0a1b2c3d.tmp: a backup, temporary or watch-mode file of this program, not a playlist"}},
        {"folders in name order, an empty one is a problem",
         {L"D:\\Music", L"D:\\Music\\Empty"}, false, {L"D:\\Music\\y.m3u", L"D:\\Music\\z.M3U8"},
         {L"D:\\Music\\Empty: no .m3u or .m3u8 playlist in this folder"}},
        {"-r enters each folder once, never a marked link nor a folder met again by identity",
         {L"D:\\Music\\"}, true, {L"D:\\Music\\y.m3u", L"D:\\Music\\z.M3U8", L"D:\\Music\\Sub\\inner.m3u"}, {}},
        {"a folder whose one playlist was named before, a folder named twice: no problem",
         {L"D:\\Music\\Sub\\inner.m3u", L"D:\\Music\\Sub", L"D:\\Music\\Sub\\"}, false,
         {L"D:\\Music\\Sub\\inner.m3u"}, {}},
        {"a wildcard in a folder part names no folder", {L"D:\\*\\y.m3u"}, false, {},
         {L"D:\\*\\y.m3u: no .m3u or .m3u8 playlist matches this pattern"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ExpandedPlaylists expanded = ExpandPlaylistArguments(tree, c.arguments, c.recursive);
        EXPECT_EQ(expanded.playlists, c.playlists);
        EXPECT_EQ(expanded.problems, c.problems);
        EXPECT_FALSE(expanded.stopped);
    }

    // Ctrl+C during a walk: no further folder is entered.
    int asked = 0;
    const ExpandedPlaylists stopped =
        ExpandPlaylistArguments(tree, {L"D:\\Music", L"a.m3u"}, true, [&] { return ++asked > 1; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.playlists.empty());
}

}  // namespace
}  // namespace tallowmere::cli
