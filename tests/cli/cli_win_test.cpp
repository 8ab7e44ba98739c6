// tallowmere-cli on real files under Wine, compared byte for byte with the window's code path:
// the same operation run in this process through a recording host.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "playlist/operations.h"
#include "shell/win_file_system.h"
#include "tests/cli/cli_process_win.h"
#include "tests/playlist/test_support.h"

namespace tallowmere::shell {
namespace {

using namespace cli_testing;
using playlist::testing::RecordingHost;

class CliTest : public CliFolderTest {
protected:
    // A playlist folder: tag lines, a repeat in another case, a missing song, relative
    // entries, an empty line, mixed line ends.
    fs::path MakeLibrary(const std::wstring& name, const std::wstring& playlistName = L"Mix One.m3u") {
        const fs::path folder = root_ / name;
        WriteBytes(folder / L"Songs" / L"a.mp3", "song a");
        WriteBytes(folder / L"Songs" / L"b.mp3", "song b!");
        WriteBytes(folder / L"c.mp3", "song c");
        WriteBytes(folder / playlistName,
                   "#EXTM3U\r\n#EXTINF:1,A\r\nSongs\\a.mp3\r\n\r\nSONGS\\A.MP3\n#EXTINF:2,B\rSongs\\b.mp3\r\n"
                   "missing.mp3\r\nc.mp3\r\n#EXTINF:1,A\r\n");
        return folder;
    }

    // The window's code path: the operation itself with a recording host.
    RecordingHost RunInProcess(playlist::RunOutcome (*operation)(const playlist::RunContext&, const std::wstring&),
                               const fs::path& playlistPath) {
        RecordingHost host;
        WinFileSystem files;
        const playlist::RunContext context{host, files, fs::path(CliExePath()).parent_path().wstring()};
        operation(context, playlistPath.wstring());
        return host;
    }
};

TEST_F(CliTest, EachSubcommandMatchesTheWindowsCodePathByteForByte) {
    const struct {
        const wchar_t* subcommand;
        playlist::RunOutcome (*operation)(const playlist::RunContext&, const std::wstring&);
    } cases[] = {
        {L"remove-tags", &playlist::RemoveTagInfo},
        {L"strip-missing", &playlist::StripMissingSongs},
        {L"strip-dupes", &playlist::StripDuplicates},
        {L"copy-to-folder", &playlist::CopyToOneFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.subcommand);
        // Both runs use the same folder, one after the other, since resolved paths name it.
        const fs::path folder = MakeLibrary(c.subcommand);
        const auto before = Snapshot(folder);
        const RecordingHost host = RunInProcess(c.operation, folder / L"Mix One.m3u");
        const auto afterWindow = Snapshot(folder);
        fs::remove_all(folder);
        MakeLibrary(c.subcommand);

        const CliResult cli = RunCli(std::wstring(c.subcommand) + L" " + Quoted(folder / L"Mix One.m3u"), folder);

        EXPECT_EQ(cli.exitCode, 0u) << cli.err;
        EXPECT_EQ(Snapshot(folder), afterWindow);
        EXPECT_NE(afterWindow, before) << "the run changed nothing";
        EXPECT_EQ(Lines(cli.out), host.log);
        // What the window would show in a box goes to standard error, after the playlist's path.
        std::vector<std::wstring> messages;
        for (const std::wstring& message : host.messages) {
            messages.push_back((folder / L"Mix One.m3u").wstring() + L": " + message);
        }
        EXPECT_EQ(Lines(cli.err), messages);
    }
}

TEST_F(CliTest, TheLogLinesOfEachOperationReachStandardOutput) {
    const fs::path folder = MakeLibrary(L"lines");
    const fs::path playlist = folder / L"Mix One.m3u";

    const CliResult dupes = RunCli(L"strip-dupes " + Quoted(playlist), folder);
    EXPECT_EQ(dupes.exitCode, 0u);
    EXPECT_EQ(Lines(dupes.out), (std::vector<std::wstring>{L"Duplicate SONGS\\A.MP3", L"Duplicate #EXTINF:1,A"}));
    EXPECT_TRUE(dupes.err.empty()) << dupes.err;

    const CliResult missing = RunCli(L"strip-missing " + Quoted(playlist), folder);
    EXPECT_EQ(missing.exitCode, 0u);
    EXPECT_EQ(Lines(missing.out), (std::vector<std::wstring>{L"Missing: missing.mp3"}));

    const fs::path copyFolder = MakeLibrary(L"copy");
    const CliResult copy = RunCli(L"copy-to-folder " + Quoted(copyFolder / L"Mix One.m3u"), copyFolder);
    EXPECT_EQ(copy.exitCode, 0u);
    EXPECT_EQ(Lines(copy.out), (std::vector<std::wstring>{L"Couldn't Copy missing.mp3"}));
    EXPECT_EQ(Lines(copy.err),
              (std::vector<std::wstring>{(copyFolder / L"Mix One.m3u").wstring() + L": Finished with 1 errors"}));
}

TEST_F(CliTest, AMissingPlaylistAmongThreeGivesExitOneAndTheOthersAreProcessed) {
    const fs::path first = MakeLibrary(L"three", L"First.m3u");
    WriteBytes(first / L"Third.m3u", ReadBytes(first / L"First.m3u"));
    const std::string original = ReadBytes(first / L"First.m3u");

    const CliResult cli = RunCli(L"remove-tags First.m3u Gone.m3u " + Quoted(first / L"Third.m3u"), first);

    EXPECT_EQ(cli.exitCode, 1u);
    EXPECT_EQ(Lines(cli.err), (std::vector<std::wstring>{
                                  L"Gone.m3u: Unable to locate Winamp playlist. Please reselect it if the file still exists."}));
    const std::string expected = "#EXTM3U\r\nSongs\\a.mp3\r\nSONGS\\A.MP3\r\nSongs\\b.mp3\r\nmissing.mp3\r\nc.mp3\r\n";
    EXPECT_EQ(ReadBytes(first / L"First.m3u"), expected);
    EXPECT_EQ(ReadBytes(first / L"Third.m3u"), expected);
    EXPECT_EQ(ReadBytes(first / L"First.m3u_backup"), original);
    EXPECT_FALSE(fs::exists(first / L"Gone.m3u_backup"));
}

TEST_F(CliTest, DryRunPrintsTheLogAndWritesNothing) {
    for (const wchar_t* subcommand : {L"remove-tags", L"strip-missing", L"strip-dupes", L"copy-to-folder"}) {
        SCOPED_TRACE(subcommand);
        const fs::path dry = MakeLibrary(std::wstring(L"dry-") + subcommand);
        const fs::path real = MakeLibrary(std::wstring(L"real-") + subcommand);
        const auto before = Snapshot(dry);

        const CliResult dryRun = RunCli(std::wstring(subcommand) + L" --dry-run \"Mix One.m3u\"", dry);
        const CliResult realRun = RunCli(std::wstring(subcommand) + L" \"Mix One.m3u\"", real);

        EXPECT_EQ(dryRun.exitCode, 0u);
        EXPECT_EQ(Snapshot(dry), before);
        EXPECT_EQ(dryRun.out, realRun.out);
        EXPECT_EQ(dryRun.err, realRun.err);
    }
}

TEST_F(CliTest, QuietUsageHelpAndNonAsciiNames) {
    const fs::path folder = MakeLibrary(L"quiet", L"Mixé 日本.m3u");
    const CliResult quiet = RunCli(L"strip-dupes --quiet \"Mixé 日本.m3u\"", folder);
    EXPECT_EQ(quiet.exitCode, 0u);
    EXPECT_TRUE(quiet.out.empty()) << quiet.out;
    EXPECT_TRUE(fs::exists(folder / L"Mixé 日本.m3u_backup"));

    for (const wchar_t* wrong : {L"", L"strip", L"strip-dupes", L"strip-dupes --force x.m3u"}) {
        const CliResult usage = RunCli(wrong, folder);
        EXPECT_EQ(usage.exitCode, 2u) << wrong;
        EXPECT_TRUE(usage.out.empty()) << wrong;
        EXPECT_NE(usage.err.find(L"Usage: tallowmere-cli"), std::wstring::npos) << wrong;
    }

    const CliResult help = RunCli(L"--help", folder);
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.out.find(L"remove-tags|strip-missing|strip-dupes|copy-to-folder"), std::wstring::npos);
}

// Wildcards, folders and --recursive, expanded by the program on real names, and the output
// labelled by playlist.
TEST_F(CliTest, WildcardsAndFoldersExpandToThePlaylistsInNameOrder) {
    const fs::path library = root_ / L"Lib Dir";
    const std::string playlist = "#EXTM3U\r\ngone.mp3\r\n";
    for (const wchar_t* name : {L"Mix One.m3u", L"b.M3U", L"Mixé 日本.m3u8", L"Mix One.m3u_backup", L"notes.txt",
                                L"Sub Dir\\Inner.m3u", L"Sub Dir\\Deeper\\Last.m3u8"}) {
        WriteBytes(library / name, playlist);
    }
    const auto labelled = [](const std::vector<std::wstring>& paths) {
        std::vector<std::wstring> lines;
        for (const std::wstring& path : paths) lines.push_back(path + L"\tMissing: gone.mp3");
        return lines;
    };

    // "*.m3u" takes .m3u in any case, not .m3u8 nor the backup; a pattern matching nothing
    // is named on standard error and the others still run.
    const CliResult pattern = RunCli(L"strip-missing --dry-run \"Lib Dir\\*.m3u\" \"Lib Dir\\Nothing*.m3u\"", root_);
    EXPECT_EQ(pattern.exitCode, 1u);
    EXPECT_EQ(Lines(pattern.out), labelled({L"Lib Dir\\b.M3U", L"Lib Dir\\Mix One.m3u"}));
    EXPECT_EQ(Lines(pattern.err),
              (std::vector<std::wstring>{L"Lib Dir\\Nothing*.m3u: no .m3u or .m3u8 playlist matches this pattern"}));

    const CliResult question = RunCli(L"strip-missing --dry-run \"Mix?*\"", library);
    EXPECT_EQ(question.exitCode, 0u) << question.err;
    EXPECT_EQ(Lines(question.out), labelled({L"Mix One.m3u", L"Mixé 日本.m3u8"}));

    const CliResult folder = RunCli(L"strip-missing --dry-run \"Lib Dir\"", root_);
    EXPECT_EQ(folder.exitCode, 0u) << folder.err;
    EXPECT_EQ(Lines(folder.out), labelled({L"Lib Dir\\b.M3U", L"Lib Dir\\Mix One.m3u", L"Lib Dir\\Mixé 日本.m3u8"}));

    const CliResult recursive = RunCli(L"strip-missing --dry-run -r \"Lib Dir\\\\\"", root_);
    EXPECT_EQ(recursive.exitCode, 0u) << recursive.err;
    EXPECT_EQ(Lines(recursive.out),
              labelled({L"Lib Dir\\b.M3U", L"Lib Dir\\Mix One.m3u", L"Lib Dir\\Mixé 日本.m3u8",
                        L"Lib Dir\\Sub Dir\\Inner.m3u", L"Lib Dir\\Sub Dir\\Deeper\\Last.m3u8"}));

    // One playlist from a pattern: the log lines stand alone, as ever.
    const CliResult one = RunCli(L"strip-missing \"Lib Dir\\b.*\"", root_);
    EXPECT_EQ(one.exitCode, 0u) << one.err;
    EXPECT_EQ(Lines(one.out), (std::vector<std::wstring>{L"Missing: gone.mp3"}));
    EXPECT_EQ(ReadBytes(library / L"b.M3U"), "#EXTM3U\r\n");
}

TEST_F(CliTest, TwoPlaylistsOneMissingEveryLineNamesItsPlaylist) {
    const fs::path folder = MakeLibrary(L"two", L"First.m3u");
    const CliResult cli = RunCli(L"strip-missing First.m3u \"Gone Mix.m3u\"", folder);
    EXPECT_EQ(cli.exitCode, 1u);
    EXPECT_EQ(Lines(cli.out), (std::vector<std::wstring>{L"First.m3u\tMissing: missing.mp3"}));
    EXPECT_EQ(Lines(cli.err),
              (std::vector<std::wstring>{
                  L"Gone Mix.m3u: Unable to locate Winamp playlist. Please reselect it if the file still exists."}));

    const CliResult version = RunCli(L"--version", folder);
    EXPECT_EQ(version.exitCode, 0u);
    EXPECT_EQ(Lines(version.out), (std::vector<std::wstring>{L"Kestrane - Tallowmere 1.00"}));
}

// Ctrl+C sent to a CLI running strip-missing on a long playlist (every entry a missing
// song, so each line asks the file system): the run stops before the rewrite, the playlist
// keeps its bytes, nothing temporary is left, the next playlist is not started.
TEST_F(CliTest, CtrlCStopsTheRunWithoutAHalfWrittenPlaylist) {
    const fs::path folder = root_ / L"break";
    std::string big = "#EXTM3U\r\n";
    for (int i = 0; i < 200000; ++i) big += "Gone\\Song " + std::to_string(i) + ".mp3\r\n";
    WriteBytes(folder / L"Big.m3u", big);
    const std::string small = "#EXTM3U\r\nGone\\one.mp3\r\n";
    WriteBytes(folder / L"Later.m3u", small);

    // How long the whole run takes here, on a copy: the break then comes halfway through it.
    WriteBytes(root_ / L"break-timing.m3u", big);
    const ULONGLONG timed = GetTickCount64();
    EXPECT_EQ(RunCli(L"strip-missing --quiet break-timing.m3u", root_).exitCode, 0u);
    const ULONGLONG whole = GetTickCount64() - timed;

    const BrokenRun run = RunAndBreak(L"strip-missing Big.m3u Later.m3u", folder, root_ / L"break-out.txt",
                                      root_ / L"break-err.txt", static_cast<DWORD>(whole / 2));
    const CliResult& result = run.result;
    EXPECT_TRUE(run.runningAtBreak) << "the run ended before the break; make the playlist longer";

    EXPECT_EQ(result.exitCode, 130u) << run.breakToEndMs << " ms after the break";
    EXPECT_TRUE(ReadBytes(folder / L"Big.m3u") == big) << "the playlist was changed";
    EXPECT_EQ(ReadBytes(folder / L"Later.m3u"), small);
    // Nothing written by the stopped run is left: not its backup, not a temporary file.
    EXPECT_EQ(NamesIn(folder), (std::vector<std::wstring>{L"Big.m3u", L"Later.m3u"}));
    EXPECT_EQ(Lines(result.err),
              (std::vector<std::wstring>{L"Big.m3u: interrupted; the playlist was left as it was"}));
}

TEST_F(CliTest, RelinkDryRunPrintsWhatARealRunDoesAndWritesNothing) {
    for (const wchar_t* name : {L"dry", L"real"}) {
        WriteBytes(root_ / name / L"Media" / L"Music" / L"Abba" / L"Waterloo.mp3", "song");
        WriteBytes(root_ / name / L"Lists" / L"Party.m3u", "#EXTM3U\r\nQ:\\Music\\Abba\\Waterloo.mp3\r\nGone.mp3\r\n");
    }
    const fs::path dry = root_ / L"dry";
    // The output files land beside Lists: the snapshots leave them out.
    const auto lists = Snapshot(dry / L"Lists");
    const auto media = Snapshot(dry / L"Media");

    const CliResult dryRun = RunCli(L"relink --dry-run --in ..\\Media Party.m3u", dry / L"Lists");
    const CliResult realRun = RunCli(L"relink --in ..\\Media Party.m3u", root_ / L"real" / L"Lists");

    EXPECT_EQ(dryRun.exitCode, 0u) << dryRun.err;
    EXPECT_EQ(Snapshot(dry / L"Lists"), lists);
    EXPECT_EQ(Snapshot(dry / L"Media"), media);
    const std::wstring relinked = L"Relinked: Q:\\Music\\Abba\\Waterloo.mp3 -> ";
    EXPECT_EQ(Lines(dryRun.out), (std::vector<std::wstring>{
                                     relinked + (dry / L"Media" / L"Music" / L"Abba" / L"Waterloo.mp3").wstring(),
                                     L"Not found: Gone.mp3"}));
    EXPECT_EQ(Lines(realRun.out).size(), 2u);
    EXPECT_EQ(Lines(dryRun.err),
              (std::vector<std::wstring>{L"Party.m3u: dry run, nothing was written: 1 to relink, 0 ambiguous, 0 unsure, 1 not found, 0 can't encode"}));
    EXPECT_TRUE(fs::exists(root_ / L"real" / L"Lists" / L"Party.m3u_backup"));
}

TEST_F(CliTest, RestoreWithoutABackupAndTheNewUsageErrors) {
    WriteBytes(root_ / L"Party.m3u", "a.mp3\r\n");
    const CliResult restore = RunCli(L"restore Party.m3u", root_);
    EXPECT_EQ(restore.exitCode, 1u);
    EXPECT_EQ(Lines(restore.err), (std::vector<std::wstring>{L"Party.m3u: There is no backup to restore: " +
                                                             (root_ / L"Party.m3u").wstring() + L"_backup"}));
    EXPECT_EQ(ReadBytes(root_ / L"Party.m3u"), "a.mp3\r\n");

    for (const wchar_t* wrong : {L"relink Party.m3u", L"relink --in", L"make-relative --in . Party.m3u"}) {
        const CliResult usage = RunCli(wrong, root_);
        EXPECT_EQ(usage.exitCode, 2u) << wrong;
        EXPECT_NE(usage.err.find(L"Usage: tallowmere-cli"), std::wstring::npos) << wrong;
    }
    const CliResult help = RunCli(L"--help", root_);
    for (const wchar_t* subcommand : {L"relink --in FOLDER", L"make-relative", L"make-absolute", L"restore"}) {
        EXPECT_NE(help.out.find(subcommand), std::wstring::npos) << subcommand;
    }
}

}  // namespace
}  // namespace tallowmere::shell
