// Progress of the operations: a host that shows progress hears how many lines are done, never
// fewer than before, up to the playlist's total; a host that does not is never asked.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "playlist/operations.h"
#include "tests/playlist/test_support.h"

namespace tallowmere::playlist {
namespace {

class ProgressHost : public testing::RecordingHost {
public:
    bool wantsProgress = true;
    std::vector<std::pair<std::size_t, std::size_t>> reports;  // (done, total)

    bool WantsProgress() const override { return wantsProgress; }
    // Every check of the clock counts as a full interval: reports without timing.
    std::chrono::milliseconds EventInterval() const override { return std::chrono::milliseconds(0); }
    void ReportProgress(std::size_t done, std::size_t total) override { reports.emplace_back(done, total); }
};

const std::wstring kPlaylist = L"D:\\Lists\\long.m3u";

// A playlist of tag lines, songs (some listed twice, some missing), empty lines and every kind
// of line end; lineCount and nonEmptyLines are what it holds.
std::string LongPlaylist(testing::MemoryFileSystem& files, std::size_t& lineCount, std::size_t& nonEmptyLines) {
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::string bytes;
    lineCount = nonEmptyLines = 0;
    for (std::size_t i = 0; i < 700; ++i) {
        std::string line;
        if (i % 7 == 3) {
            line = "";
        } else if (i % 2 == 0) {
            line = "#EXTINF:100,Song " + std::to_string(i);
        } else {
            line = "Song " + std::to_string(i % 50) + ".mp3";
            if (i % 3 == 0) files.files[L"D:\\Lists\\Song " + std::to_wstring(i % 50) + L".mp3"] = "x";
        }
        // An empty line after a CR would join it as CR LF: it ends in CR LF itself.
        bytes += line + (line.empty() ? "\r\n" : ends[i % 3]);
        ++lineCount;
        if (!line.empty()) ++nonEmptyLines;
    }
    bytes += "last.mp3";  // no line end
    ++lineCount;
    ++nonEmptyLines;
    return bytes;
}

void ExpectProgressUpTo(const ProgressHost& host, std::size_t total) {
    ASSERT_GE(host.reports.size(), 2u) << "reports while running and at the end";
    std::size_t previous = 0;
    for (const auto& [done, reportedTotal] : host.reports) {
        EXPECT_EQ(reportedTotal, total);
        EXPECT_GE(done, previous);
        EXPECT_LE(done, total);
        previous = done;
    }
    EXPECT_EQ(host.reports.back().first, total);
}

TEST(Progress, EachOperationReportsLinesDoneUpToTheTotal) {
    using Operation = RunOutcome (*)(const RunContext&, const std::wstring&);
    const std::pair<const char*, Operation> operations[] = {{"Remove Tag Info", RemoveTagInfo},
                                                            {"Strip Duplicates", StripDuplicates},
                                                            {"Strip non-existant songs", StripMissingSongs},
                                                            {"Copy to One Folder", CopyToOneFolder}};
    for (const auto& [name, operation] : operations) {
        SCOPED_TRACE(name);
        testing::MemoryFileSystem files;
        std::size_t lineCount = 0, nonEmptyLines = 0;
        files.files[kPlaylist] = LongPlaylist(files, lineCount, nonEmptyLines);
        ProgressHost host;
        const RunContext context{host, files, L"C:\\Program"};
        EXPECT_EQ(operation(context, kPlaylist), RunOutcome::Done);
        ExpectProgressUpTo(host, lineCount);
        EXPECT_GT(host.yields, 0);
    }
}

TEST(Progress, HostThatShowsNoProgressIsNeverAsked) {
    testing::MemoryFileSystem files;
    std::size_t lineCount = 0, nonEmptyLines = 0;
    files.files[kPlaylist] = LongPlaylist(files, lineCount, nonEmptyLines);
    const std::string original = files.files[kPlaylist];
    ProgressHost host;
    host.wantsProgress = false;
    const RunContext context{host, files, L"C:\\Program"};
    EXPECT_EQ(StripDuplicates(context, kPlaylist), RunOutcome::Done);
    EXPECT_TRUE(host.reports.empty());
    EXPECT_GT(host.yields, 0) << "the window's events still run";

    // The same run with progress gives the same file and log.
    testing::MemoryFileSystem filesWithProgress;
    filesWithProgress.files[kPlaylist] = original;
    ProgressHost hostWithProgress;
    const RunContext contextWithProgress{hostWithProgress, filesWithProgress, L"C:\\Program"};
    EXPECT_EQ(StripDuplicates(contextWithProgress, kPlaylist), RunOutcome::Done);
    EXPECT_EQ(filesWithProgress.files[kPlaylist], files.files[kPlaylist]);
    EXPECT_EQ(hostWithProgress.log, host.log);
}

// Stopped while the songs' folders are looked at (Ctrl+C on a slow share): Strip
// non-existant songs begins no further folder, and the playlist and its folder are left
// exactly as they were.
TEST(Progress, StopWhileFoldersAreLookedAtLeavesThePlaylist) {
    // The first listing waits until the host has told the run to stop.
    struct SlowFolders : testing::MemoryFileSystem {
        std::atomic<int> listings{0};
        std::atomic<bool> stopTold{false};
        ErrorCode ListFolder(const std::wstring& folder,
                             const std::function<void(const FolderEntry&)>& visit) override {
            ++listings;
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!stopTold && std::chrono::steady_clock::now() < giveUp) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return MemoryFileSystem::ListFolder(folder, visit);
        }
    };
    struct StoppingHost : ProgressHost {
        SlowFolders* files = nullptr;
        bool Cancelled() const override {
            if (files->listings == 0) return false;
            files->stopTold = true;
            return true;
        }
    };
    SlowFolders files;
    std::string playlist = "#EXTM3U\r\n";
    for (int album = 0; album < 200; ++album) {
        for (int song = 0; song < 3; ++song) {
            std::string path = "D:\\Music\\Album ";
            path.append(std::to_string(album)).append("\\").append(std::to_string(song)).append(".mp3");
            playlist.append(path).append("\r\n");
            if (song != 1) files.files[std::wstring(path.begin(), path.end())] = std::string(1, 'x');
        }
    }
    files.files[kPlaylist] = playlist;
    const auto before = files.files;
    StoppingHost host;
    host.files = &files;
    const RunContext context{host, files, L"C:\\Program"};
    EXPECT_EQ(StripMissingSongs(context, kPlaylist), RunOutcome::Cancelled);
    EXPECT_EQ(files.listings, 1) << "no folder begun after the stop";
    EXPECT_TRUE(files.files == before) << "the playlist changed or a file was left beside it";
    EXPECT_TRUE(host.log.empty());
}

// Strip non-existant songs spends its time finding out which songs exist, before it logs or
// writes a line: the progress counts that pass's lines, so the CLI's figure moves meanwhile.
TEST(Progress, StripMissingSongsReportsWhileItAsksAboutTheSongs) {
    struct LogWatchingHost : ProgressHost {
        std::vector<std::size_t> doneBeforeAnyLog;
        void ReportProgress(std::size_t done, std::size_t total) override {
            ProgressHost::ReportProgress(done, total);
            if (log.empty()) doneBeforeAnyLog.push_back(done);
        }
    };
    testing::MemoryFileSystem files;
    std::string playlist;
    for (int song = 0; song < 600; ++song) {
        playlist.append("Album ").append(std::to_string(song / 12)).append("\\").append(std::to_string(song)).append(".mp3\r\n");
        if (song % 5 != 0) {
            files.files[L"D:\\Lists\\Album " + std::to_wstring(song / 12) + L"\\" + std::to_wstring(song) + L".mp3"] =
                std::string(1, 'x');
        }
    }
    files.files[kPlaylist] = playlist;
    LogWatchingHost host;
    const RunContext context{host, files, L"C:\\Program"};
    EXPECT_EQ(StripMissingSongs(context, kPlaylist), RunOutcome::Done);
    EXPECT_EQ(host.log.size(), 120u);
    ExpectProgressUpTo(host, 600);
    ASSERT_FALSE(host.doneBeforeAnyLog.empty());
    EXPECT_EQ(host.doneBeforeAnyLog.back(), 600u) << "every line settled before the first is logged";
}

}  // namespace
}  // namespace tallowmere::playlist
