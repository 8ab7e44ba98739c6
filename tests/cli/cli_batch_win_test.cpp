// tallowmere-cli batches on real files under Wine: the same playlist named twice, patterns beside
// files that are no playlists, kills and breaks in the middle of a run, the program on another
// drive, and relink's report of what it did.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/cli/cli_process_win.h"
#include "tests/playlist/real_files_win.h"

namespace tallowmere::cli_testing {
namespace {

using playlist::testing::RunUnixProgram;
using playlist::testing::UnixNameOf;
using playlist::testing::WaitUntil;
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
    const Texts others = {L"notes.txt", L"album.cue", L"~tm0a1b2c3d.tmp", L"winamp.m3u.bak",
                          L"winamp.m3u.bak.14.6.12"};
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
        StartedCli cli(L"remove-tags big.m3u", folder, root_ / L"out.txt", root_ / L"err.txt",
                       DETACHED_PROCESS);
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
    // put in place. A run may go quicker than the ones timed (a warm cache, a calmer machine):
    // a kill never comes later than the quickest run seen, so that most runs are killed on
    // any machine; the test goes on until enough have been.
    std::mt19937 random(static_cast<unsigned>(GetTickCount64()));
    constexpr int kKills = 40, kMostRuns = 200;
    int killed = 0, runs = 0;
    for (; killed < kKills && runs < kMostRuns; ++runs) {
        ULONGLONG at = runs % 4 == 0 ? std::uniform_int_distribution<ULONGLONG>(0, whole)(random)
                                     : std::uniform_int_distribution<ULONGLONG>(
                                           replacedAt > 20 ? replacedAt - 20 : 0, replacedAt + 2)(random);
        at = std::min(at, whole > 2 ? whole - 2 : 0);
        SCOPED_TRACE("killed after " + std::to_string(at) + " ms of a run of " + std::to_string(whole) +
                     " ms, replaced after " + std::to_string(replacedAt) + " ms");
        setUp();
        StartedCli cli(L"remove-tags big.m3u", folder, root_ / L"out.txt", root_ / L"err.txt",
                       DETACHED_PROCESS);
        ASSERT_TRUE(cli.Started());
        const ULONGLONG started = GetTickCount64();
        if (WaitForSingleObject(cli.Process(), static_cast<DWORD>(at)) == WAIT_TIMEOUT) {
            TerminateProcess(cli.Process(), 9);
            ++killed;
        } else {
            // Quicker than the runs timed: later kills come before this one's end.
            const ULONGLONG took = GetTickCount64() - started;
            if (took < whole) {
                replacedAt = replacedAt * took / std::max<ULONGLONG>(whole, 1);
                whole = took;
            }
        }
        cli.Finish(10000);
        const std::string playlistNow = fs::exists(playlist) ? ReadBytes(playlist) : "<no file>";
        const std::string backupNow = fs::exists(backup) ? ReadBytes(backup) : "<no file>";
        ASSERT_TRUE(playlistNow == old || playlistNow == rewritten)
            << "the playlist holds " << (playlistNow == "<no file>" ? "no file" : "neither content");
        ASSERT_TRUE(backupNow == previous || backupNow == old)
            << "the backup holds " << (backupNow == "<no file>" ? "no file" : "neither content");
    }
    EXPECT_GE(killed, kKills) << "only " << killed << " of " << runs << " runs were killed before they ended";
}

// The Unix name of a Windows path (Wine only), with no trailing slash.
std::optional<std::string> UnixPath(const fs::path& path) {
    std::optional<std::string> name = UnixNameOf(path.wstring());
    if (name && name->size() > 1 && name->back() == '/') name->pop_back();
    return name;
}

// A music library of artists x albums x songs (as "Artist 3\Album 7\Song 1234.mp3", empty
// files). Under Wine, made and removed by a Unix shell in memory (/dev/shm), where a hundred
// thousand files take a second or two; a busy disk took half a minute. Elsewhere, made in the
// folder given.
class BigLibrary {
public:
    BigLibrary(const fs::path& elsewhere, int artists, int albums, int songs) {
        const std::wstring name = L"tallowmere-library-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(GetTickCount64());
        const fs::path memory = L"Z:\\dev\\shm";
        const bool inMemory =
            UnixNameOf(L"C:\\") && GetFileAttributesW(memory.c_str()) != INVALID_FILE_ATTRIBUTES;
        folder_ = (inMemory ? memory : elsewhere) / name;
        fs::create_directories(folder_);
        const fs::path script = folder_.parent_path() / (name + L".sh");
        const fs::path made = folder_.parent_path() / (name + L".made");
        const std::string each = "Artist %d/Album %d";
        std::ofstream(script, std::ios::binary)
            << "cd \"$1\" || exit 1\n"
            << "awk 'BEGIN { for (a = 0; a < " << artists << "; a++) for (b = 0; b < " << albums
            << "; b++) printf \"" << each << "\\n\", a, b }' | xargs -d '\\n' mkdir -p\n"
            << "awk 'BEGIN { for (i = 0; i < " << songs << "; i++) printf \"" << each
            << "/Song %d.mp3\\n\", i % " << artists << ", int(i / " << artists << ") % " << albums
            << ", i }' | xargs -d '\\n' touch\n"
            << ": > \"$2\"\n";
        const std::optional<std::string> unixFolder = UnixPath(folder_);
        const std::optional<std::string> unixScript = UnixPath(script);
        const std::optional<std::string> unixMade = UnixPath(made);
        if (unixFolder && unixScript && unixMade &&
            RunUnixProgram(L"Z:\\bin\\sh", {*unixScript, *unixFolder, *unixMade}) &&
            WaitUntil([&] { return fs::exists(made); }, 120000)) {
            unixFolder_ = *unixFolder;
        } else {
            for (int song = 0; song < songs; ++song) {
                const fs::path album = folder_ / (L"Artist " + std::to_wstring(song % artists)) /
                                       (L"Album " + std::to_wstring(song / artists % albums));
                if (song < artists * albums) fs::create_directories(album);
                std::ofstream(album / (L"Song " + std::to_wstring(song) + L".mp3"));
            }
        }
        fs::remove(script);
        fs::remove(made);
        const int last = songs - 1;
        made_ = fs::exists(folder_ / (L"Artist " + std::to_wstring(last % artists)) /
                           (L"Album " + std::to_wstring(last / artists % albums)) /
                           (L"Song " + std::to_wstring(last) + L".mp3"));
    }
    ~BigLibrary() {
        if (unixFolder_.empty() || !RunUnixProgram(L"Z:\\bin\\rm", {"-rf", unixFolder_}) ||
            !WaitUntil([&] { return !fs::exists(folder_); }, 60000)) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }
    BigLibrary(const BigLibrary&) = delete;
    BigLibrary& operator=(const BigLibrary&) = delete;

    bool Made() const { return made_; }
    const fs::path& Folder() const { return folder_; }

private:
    fs::path folder_;
    std::string unixFolder_;
    bool made_ = false;
};

// Ctrl+C stops a run in its long phases: make-absolute's pass over a long playlist and
// relink's walk of a large library, within a second, with nothing written and nothing left.
TEST_F(CliBatchTest, CtrlCStopsMakeAbsoluteAndTheLibraryWalk) {
    const fs::path lists = root_ / L"Lists";
    std::string big = "#EXTM3U\r\n";
    for (int i = 0; i < 600000; ++i) big += "Sub\\..\\Music\\Song " + std::to_string(i) + ".mp3\r\n";
    const std::string party = "#EXTM3U\r\nQ:\\Old\\Song 5.mp3\r\n";
    // 10,000 folders of 10 songs: a walk of some seconds here.
    const BigLibrary library(root_, 100, 100, 100000);
    ASSERT_TRUE(library.Made());

    // How long make-absolute takes here, on a copy: its break comes at 40% of that.
    WriteBytes(root_ / L"timing.m3u", big);
    const ULONGLONG timed = GetTickCount64();
    EXPECT_EQ(RunCli(L"make-absolute --quiet timing.m3u", root_).exitCode, 0u);
    const DWORD makeAbsoluteTakes = static_cast<DWORD>(GetTickCount64() - timed);
    // And how long relink's walk of the library takes (a dry run of the same command).
    WriteBytes(root_ / L"timing.m3u", party);
    const ULONGLONG walked = GetTickCount64();
    EXPECT_EQ(RunCli(L"relink --dry-run --quiet --in " + Quoted(library.Folder()) + L" timing.m3u", root_).exitCode, 0u);
    const DWORD relinkTakes = static_cast<DWORD>(GetTickCount64() - walked);

    const struct {
        std::wstring arguments;
        DWORD breakAfterMs;
        const wchar_t* said;
    } cases[] = {
        {L"make-absolute Big.m3u", makeAbsoluteTakes * 2 / 5,
         L"Big.m3u: interrupted; the playlist was left as it was"},
        {L"relink --in " + Quoted(library.Folder()) + L" Party.m3u", relinkTakes * 2 / 5,
         L"tallowmere-cli: interrupted; nothing was changed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        WriteBytes(lists / L"Big.m3u", big);
        WriteBytes(lists / L"Party.m3u", party);
        const BrokenRun run = RunAndBreak(c.arguments, lists, root_ / L"break-out.txt",
                                          root_ / L"break-err.txt", c.breakAfterMs);
        EXPECT_TRUE(run.runningAtBreak)
            << "the run ended before the break, after " << c.breakAfterMs << " ms";
        EXPECT_EQ(run.result.exitCode, 130u);
        EXPECT_LT(run.breakToEndMs, 1000u);
        EXPECT_EQ(Lines(run.result.err), Texts{c.said});
        EXPECT_TRUE(ReadBytes(lists / L"Big.m3u") == big) << "the playlist was changed";
        EXPECT_EQ(ReadBytes(lists / L"Party.m3u"), party);
        EXPECT_EQ(NamesIn(lists), (Texts{L"Big.m3u", L"Party.m3u"}));
    }
}

// relink says it relinked what it found, and then, when the playlist cannot be written, that
// nothing was written; a library folder that does not exist stops it before any walk.
TEST_F(CliBatchTest, RelinkClaimsNoWriteThatFailedAndWalksNoMissingFolder) {
    const fs::path lists = root_ / L"Lists";
    const std::string original = "#EXTM3U\r\nQ:\\Music\\Abba\\Waterloo.mp3\r\n";
    WriteBytes(root_ / L"Media" / L"Music" / L"Abba" / L"Waterloo.mp3", "song");

    WriteBytes(lists / L"Party.m3u", original);

    const CliResult missing = RunCli(L"relink --in ..\\Media --in ..\\Nowhere Party.m3u", lists);
    EXPECT_EQ(missing.exitCode, 2u);
    EXPECT_TRUE(missing.out.empty()) << missing.out;
    ASSERT_FALSE(Lines(missing.err).empty());
    EXPECT_EQ(Lines(missing.err)[0], L"tallowmere-cli: --in ..\\Nowhere: no such folder");

    EXPECT_EQ(ReadBytes(lists / L"Party.m3u"), original);

    WriteBytes(lists / L"Party.m3u", original);
    SetFileAttributesW((lists / L"Party.m3u").c_str(), FILE_ATTRIBUTE_READONLY);
    const CliResult readOnly = RunCli(L"relink --in ..\\Media Party.m3u", lists);
    SetFileAttributesW((lists / L"Party.m3u").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readOnly.exitCode, 1u);
    EXPECT_EQ(Lines(readOnly.out),
              Texts{L"Relinked: Q:\\Music\\Abba\\Waterloo.mp3 -> " +
                    (root_ / L"Media" / L"Music" / L"Abba" / L"Waterloo.mp3").wstring()});
    const Texts said = Lines(readOnly.err);
    ASSERT_EQ(said.size(), 2u) << readOnly.err;
    EXPECT_TRUE(said[0].starts_with(L"Party.m3u: Could not rewrite the playlist")) << said[0];
    EXPECT_EQ(
        said[1],
        L"Party.m3u: nothing was written: 1 to relink, 0 ambiguous, 0 unsure, 0 not found, 0 can't encode");

    EXPECT_EQ(ReadBytes(lists / L"Party.m3u"), original);
    EXPECT_EQ(NamesIn(lists), Texts{L"Party.m3u"});
}

// A drive letter of the test's own, mapped to a folder: under Wine a link in the prefix's
// dosdevices folder (file access goes through it), elsewhere DefineDosDeviceW.
class MappedDrive {
public:
    explicit MappedDrive(const fs::path& target) {
        fs::create_directories(target);
        const DWORD used = GetLogicalDrives();
        // From the end of the alphabet: the window's end-to-end test maps Q: and R: meanwhile.
        for (wchar_t letter = L'Y'; letter >= L'S'; --letter) {
            const std::wstring drive = std::wstring(1, letter) + L":";
            if ((used & (1u << (letter - L'A'))) ||
                GetFileAttributesW((drive + L"\\").c_str()) != INVALID_FILE_ATTRIBUTES) {
                continue;
            }
            const std::optional<std::string> cDrive = UnixNameOf(L"C:\\");
            const std::optional<std::string> unixTarget = UnixPath(target);
            if (cDrive && unixTarget && cDrive->ends_with("/dosdevices/c:/")) {
                dosDevice_ =
                    cDrive->substr(0, cDrive->size() - 3) + static_cast<char>(letter - L'A' + 'a') + ":";
                RunUnixProgram(L"Z:\\bin\\ln", {"-s", *unixTarget, dosDevice_});
                WaitUntil(
                    [&] { return GetFileAttributesW((drive + L"\\").c_str()) != INVALID_FILE_ATTRIBUTES; },
                    2000);
            } else if (DefineDosDeviceW(0, drive.c_str(), target.c_str())) {
                defined_ = true;
            }
            drive_ = drive;
            break;
        }
    }
    ~MappedDrive() {
        if (!dosDevice_.empty() && RunUnixProgram(L"Z:\\bin\\rm", {"-f", dosDevice_})) {
            WaitUntil([&] { return GetFileAttributesW((drive_ + L"\\").c_str()) == INVALID_FILE_ATTRIBUTES; },
                      2000);
        }
        if (defined_) DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive_.c_str(), nullptr);
    }
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;

    // "Y:", or empty when no letter could be mapped.
    std::wstring Drive() const {
        return !drive_.empty() && GetFileAttributesW((drive_ + L"\\").c_str()) != INVALID_FILE_ATTRIBUTES
                   ? drive_
                   : L"";
    }

private:
    std::wstring drive_;
    std::string dosDevice_;
    bool defined_ = false;
};

// Root-relative entries name the playlist's drive, wherever the program lies.
TEST_F(CliBatchTest, RootRelativeEntriesTakeThePlaylistsDriveWhereverTheProgramLies) {
    const MappedDrive mapped(root_ / L"Drive");
    const std::wstring drive = mapped.Drive();
    ASSERT_FALSE(drive.empty()) << "no drive letter could be mapped";
    const std::wstring copied = drive + L"\\tallowmere-cli.exe";
    ASSERT_TRUE(CopyFileW(CliExePath().c_str(), copied.c_str(), FALSE)) << GetLastError();
    const std::string playlistDrive(1, static_cast<char>(root_.wstring()[0]));

    for (const std::wstring& exe : {CliExePath(), copied}) {
        SCOPED_TRACE(exe);
        ASSERT_NE(exe.substr(0, 2), root_.wstring().substr(0, 2)) << "the program must lie on another drive";
        WriteBytes(root_ / L"Lists" / L"Party.m3u",
                   "#EXTM3U\r\n\\Music\\a.mp3\r\n\\Music\\Sub\\..\\b.mp3\r\n");
        const CliResult cli = RunCli(L"make-absolute Lists\\Party.m3u", root_, exe);
        EXPECT_EQ(cli.exitCode, 0u) << cli.err;
        EXPECT_EQ(
            ReadBytes(root_ / L"Lists" / L"Party.m3u"),
            "#EXTM3U\r\n" + playlistDrive + ":\\Music\\a.mp3\r\n" + playlistDrive + ":\\Music\\b.mp3\r\n");
    }
}

}  // namespace
}  // namespace tallowmere::cli_testing
