// tallowmere-cli batches on real files under Wine: the same playlist named twice, patterns beside
// files that are no playlists, kills and breaks in the middle of a run, the program on another
// drive, and relink's report of what it did.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/cli/cli_process_win.h"
#include "tests/playlist/real_files_win.h"

namespace tallowmere::cli_testing {
namespace {

using playlist::testing::RunUnixProgram;
using playlist::testing::UnixNameOf;
using Texts = std::vector<std::wstring>;

class CliBatchTest : public CliFolderTest {};

// A playlist named twice in one call, in any way, is run once: the same files, the same output,
// as naming it once, and its backup holds what it held before the call.
TEST_F(CliBatchTest, APlaylistNamedTwiceIsRunOnce) {
    const std::string original = "#EXTM3U\r\n#EXTINF:1,Gone\r\ngone.mp3\r\n#EXTINF:2,Here\r\nhere.mp3\r\n";
    const std::string earlier = "#EXTM3U\r\nearlier.mp3\r\n";
    const struct {
        const wchar_t* subcommand;
        const wchar_t* twice;
        bool backupBefore;  // a backup from an earlier run, for restore
    } cases[] = {
        {L"strip-missing", L"a.m3u A.M3U", false},
        {L"remove-tags", L"a.m3u .", false},
        {L"strip-missing", L"a.m3u *.m3u", false},
        {L"restore", L"a.m3u A.M3U", true},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.subcommand) + L" " + c.twice);
        const fs::path folder = root_ / std::to_wstring(++number);
        const auto setUp = [&] {
            fs::remove_all(folder);
            WriteBytes(folder / L"a.m3u", original);
            WriteBytes(folder / L"here.mp3", "song");
            if (c.backupBefore) WriteBytes(folder / L"a.m3u_backup", earlier);
        };
        setUp();
        const CliResult once = RunCli(std::wstring(c.subcommand) + L" a.m3u", folder);
        const auto afterOnce = Snapshot(folder);
        setUp();

        const CliResult twice = RunCli(std::wstring(c.subcommand) + L" " + c.twice, folder);

        EXPECT_EQ(twice.exitCode, 0u) << twice.err;
        EXPECT_EQ(twice.out, once.out);
        EXPECT_EQ(twice.err, once.err);
        EXPECT_EQ(Snapshot(folder), afterOnce);
        // What the call replaced is in the backup: the dropped lines, or the restored-over list.
        EXPECT_EQ(ReadBytes(folder / L"a.m3u_backup"), original);
        if (c.backupBefore) {
            EXPECT_EQ(ReadBytes(folder / L"a.m3u"), earlier);
        }
    }
}

// Patterns take playlists only: never notes, cue sheets, backups, temporary files or the
// watcher's archives, whatever they hold.
TEST_F(CliBatchTest, PatternsLeaveEveryFileThatIsNoPlaylistByteForByte) {
    const std::string playlist = "#EXTM3U\r\ngone.mp3\r\n";
    const Texts others = {L"notes.txt", L"album.cue", L"~tm0a1b2c3d.tmp", L"winamp.m3u.bak", L"winamp.m3u.bak.14.6.12"};
    const struct {
        const wchar_t* arguments;
        DWORD exitCode;
        bool playlistRewritten;
    } cases[] = {
        {L"strip-missing *.*", 0, true},
        {L"strip-missing winamp.m3u*", 0, true},
        {L"strip-missing *.tmp", 1, false},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const fs::path folder = root_ / std::to_wstring(++number);
        WriteBytes(folder / L"winamp.m3u", playlist);
        for (const std::wstring& name : others) WriteBytes(folder / name, playlist);
        auto expected = Snapshot(folder);
        if (c.playlistRewritten) {
            expected[L"winamp.m3u"] = "#EXTM3U\r\n";
            expected[L"winamp.m3u_backup"] = playlist;
        }

        const CliResult cli = RunCli(c.arguments, folder);

        EXPECT_EQ(cli.exitCode, c.exitCode) << cli.err;
        EXPECT_EQ(Snapshot(folder), expected);
        EXPECT_EQ(Lines(cli.out), c.playlistRewritten ? Texts{L"Missing: gone.mp3"} : Texts{});
    }
}

// Killed at any moment of a rewrite, the playlist holds its old or its new content, whole, and
// its backup the previous backup or the playlist's old content.
TEST_F(CliBatchTest, KilledAtAnyMomentThePlaylistAndBackupAreOldOrNewAndWhole) {
    std::string old;
    for (int i = 0; i < 40000; ++i) {
        old += "#EXTINF:215,Artist " + std::to_string(i % 97) + " - Title " + std::to_string(i) +
               "\r\nD:\\Music\\Artist " + std::to_string(i % 97) + "\\Song " + std::to_string(i) + ".mp3\r\n";
    }
    const std::string previous = "#EXTM3U\r\nthe previous backup.mp3\r\n";
    const fs::path folder = root_ / L"kills";
    const fs::path playlist = folder / L"big.m3u";
    const fs::path backup = folder / L"big.m3u_backup";
    const auto setUp = [&] {
        fs::remove_all(folder);
        WriteBytes(playlist, old);
        WriteBytes(backup, previous);
    };

    // Whole runs: how long one takes, when the new content takes the playlist's name (it is
    // shorter), and what that content is. The quickest of three, as the first is slowed by the
    // program's start from a cold cache.
    ULONGLONG whole = ~0ull, replacedAt = ~0ull;
    std::string rewritten;
    for (int run = 0; run < 3; ++run) {
        setUp();
        StartedCli cli(L"remove-tags big.m3u", folder, root_ / L"out.txt", root_ / L"err.txt", DETACHED_PROCESS);
        ASSERT_TRUE(cli.Started());
        const ULONGLONG started = GetTickCount64();
        ULONGLONG replaced = 0;
        while (WaitForSingleObject(cli.Process(), 0) == WAIT_TIMEOUT) {
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (replaced == 0 && GetFileAttributesExW(playlist.c_str(), GetFileExInfoStandard, &data) &&
                data.nFileSizeLow < old.size()) {
                replaced = GetTickCount64() - started;
            }
        }
        const ULONGLONG took = GetTickCount64() - started;
        ASSERT_EQ(cli.Finish(0).exitCode, 0u);
        whole = std::min(whole, took);
        replacedAt = std::min(replacedAt, replaced == 0 ? took : replaced);
        rewritten = ReadBytes(playlist);
        ASSERT_LT(rewritten.size(), old.size());
        ASSERT_EQ(ReadBytes(backup), old);
    }

    // Kills at moments across the whole run, and three times as many in the last moments
    // before the new content took the playlist's name, where the backup and the playlist are
    // put in place.
    std::mt19937 random(static_cast<unsigned>(GetTickCount64()));
    constexpr int kRuns = 80;
    int killedBeforeTheEnd = 0;
    for (int run = 0; run < kRuns; ++run) {
        const ULONGLONG at = run % 4 == 0 ? std::uniform_int_distribution<ULONGLONG>(0, whole)(random)
                                          : std::uniform_int_distribution<ULONGLONG>(
                                                replacedAt > 20 ? replacedAt - 20 : 0, replacedAt + 2)(random);
        SCOPED_TRACE("killed after " + std::to_string(at) + " ms of a run of " + std::to_string(whole) +
                     " ms, replaced after " + std::to_string(replacedAt) + " ms");
        setUp();
        StartedCli cli(L"remove-tags big.m3u", folder, root_ / L"out.txt", root_ / L"err.txt", DETACHED_PROCESS);
        ASSERT_TRUE(cli.Started());
        if (WaitForSingleObject(cli.Process(), static_cast<DWORD>(at)) == WAIT_TIMEOUT) {
            TerminateProcess(cli.Process(), 9);
            ++killedBeforeTheEnd;
        }
        cli.Finish(10000);
        const std::string playlistNow = fs::exists(playlist) ? ReadBytes(playlist) : "<no file>";
        const std::string backupNow = fs::exists(backup) ? ReadBytes(backup) : "<no file>";
        ASSERT_TRUE(playlistNow == old || playlistNow == rewritten)
            << "the playlist holds " << (playlistNow == "<no file>" ? "no file" : "neither content");
        ASSERT_TRUE(backupNow == previous || backupNow == old)
            << "the backup holds " << (backupNow == "<no file>" ? "no file" : "neither content");
    }
    EXPECT_GE(killedBeforeTheEnd, kRuns / 3) << "too few runs were killed before they ended";
}

}  // namespace
}  // namespace tallowmere::cli_testing
