// The watcher's tick on a folder of files, with a scripted clock and scripted box answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <ostream>

#include "tests/watcher/file_world.h"

namespace tallowmere::watcher::test {
namespace {

struct Box {
    std::wstring prompt;
    BoxButtons buttons = BoxButtons::Ok;
    BoxIcon icon = BoxIcon::None;
    std::wstring title;
    bool operator==(const Box&) const = default;
};

void PrintTo(const Box& box, std::ostream* out) {
    std::string prompt(box.prompt.begin(), box.prompt.end());  // the texts are ASCII
    std::string title(box.title.begin(), box.title.end());
    *out << "{\"" << prompt << "\", buttons " << static_cast<int>(box.buttons) << ", icon "
         << static_cast<int>(box.icon) << ", title \"" << title << "\"}";
}

// The boxes as the user must see them, spelled out here on their own.
const Box kQuestion{L"Tallowmere - Main Playlist Watcher\r\n\r\nThe playlist appears to have been "
                    L"altered, and has decreased in size. Would you like to restore the previous "
                    L"version of the playlist?",
                    BoxButtons::YesNo, BoxIcon::Question, L"Restore last playlist"};
const Box kRestored{L"Restored successfully", BoxButtons::Ok, BoxIcon::None, L""};
const Box kBackupUpdated{L"The backup file has been updated to resemble the smaller playlist :)",
                         BoxButtons::Ok, BoxIcon::None, L""};
const Box kShutdown{L"Tallowmere -watchfile\r\n\r\nYour playlist, or our local backup of it, has "
                    L"been inaccessible for 1 minute. This program will now shutdown",
                    BoxButtons::Ok, BoxIcon::Critical, L"Shutdown of Tallowmere"};

// File calls go to the folder; the clock, the boxes and the end are scripted.
class ScriptedHost : public WatcherHost {
public:
    explicit ScriptedHost(WatcherHost& files) : files_(files) {}

    std::optional<std::uint64_t> FileLength(const std::wstring& path) override {
        return files_.FileLength(path);
    }
    std::optional<FileStamp> StampOf(const std::wstring& path) override { return files_.StampOf(path); }
    bool CopyReplacing(const std::wstring& from, const std::wstring& to) override {
        return files_.CopyReplacing(from, to);
    }
    GuardedCopyResult CopyReplacingIfStill(const std::wstring& from, const std::wstring& to,
                                           const FileStamp& expected) override {
        if (beforeGuardedCopy) beforeGuardedCopy();
        return files_.CopyReplacingIfStill(from, to, expected);
    }
    RenameResult RenameNoReplace(const std::wstring& from, const std::wstring& to) override {
        return files_.RenameNoReplace(from, to);
    }
    LocalTime Now() override { return clock; }
    BoxAnswer ShowBox(const std::wstring& prompt, BoxButtons buttons, BoxIcon icon,
                      const std::wstring& title) override {
        boxes.push_back({prompt, buttons, icon, title});
        if (whileBoxOpen) whileBoxOpen();
        if (answers.empty()) {
            ADD_FAILURE() << "a box nobody expected";
            return BoxAnswer::Ok;
        }
        BoxAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void EndProgram() override { ++ends; }

    LocalTime clock{14, 6, 12};
    std::deque<BoxAnswer> answers;
    std::vector<Box> boxes;
    std::function<void()> whileBoxOpen;
    std::function<void()> beforeGuardedCopy;
    int ends = 0;

private:
    WatcherHost& files_;
};

class WatcherTick : public ::testing::Test {
protected:
    void Tick() { watcher.tmrWatchFile_Timer(); }
    void Files(const std::string& playlist, const std::string& backup) {
        world->Write(kPlaylistName, playlist);
        world->Write(kBackupName, backup);
    }
    std::vector<std::wstring> JustTheTwo() const { return {kPlaylistName, kBackupName}; }

    std::unique_ptr<FileWorld> world = FileWorld::Make();
    ScriptedHost host{world->FileHost()};
    MainPlaylistWatcher watcher{host, world->Files()};
};

TEST_F(WatcherTick, EqualLengthsChangeNothingEvenWithOtherContent) {
    Files("", "");
    Tick();
    EXPECT_EQ(watcher.WFFails(), 0);

    // Same length, other content: lengths alone decide, so the backup keeps the old text.
    Files("C:\\Music\\b.mp3\r\nC:\\Music\\a.mp3\r\n", "C:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n");
    Tick();
    Tick();
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(watcher.WFFails(), 0);
    EXPECT_EQ(world->Names(), JustTheTwo());
    EXPECT_EQ(world->Read(kBackupName), "C:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n");
    EXPECT_EQ(world->Read(kPlaylistName), "C:\\Music\\b.mp3\r\nC:\\Music\\a.mp3\r\n");
}

TEST_F(WatcherTick, ShrunkPlaylistIsRestoredOnYes) {
    const std::string earlier = "#EXTM3U\r\nC:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n";
    for (const std::string& shrunk : {earlier.substr(0, earlier.size() - 1), std::string()}) {
        SCOPED_TRACE(shrunk.empty() ? "emptied" : "one byte shorter");
        host.boxes.clear();
        Files(shrunk, earlier);
        host.answers = {BoxAnswer::Yes, BoxAnswer::Ok};
        Tick();
        EXPECT_EQ(host.boxes, (std::vector<Box>{kQuestion, kRestored}));
        EXPECT_EQ(world->Read(kPlaylistName), earlier);
        EXPECT_EQ(world->Read(kBackupName), earlier);
        EXPECT_EQ(world->Names(), JustTheTwo());
        EXPECT_EQ(watcher.WFFails(), 0);

        Tick();  // equal again: no further box
        EXPECT_EQ(host.boxes.size(), 2u);
    }
}

TEST_F(WatcherTick, PlaylistSavedAgainWhileTheQuestionIsOpenIsNotOverwritten) {
    const std::string earlier = "#EXTM3U\r\nC:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n";
    const std::string newer = "#EXTM3U\r\nC:\\Music\\c.mp3\r\n";
    Files("#EXTM3U\r\n", earlier);
    // The player saves the playlist while the user reads the question, then the user says Yes.
    host.whileBoxOpen = [&] {
        if (host.boxes.size() == 1) world->Write(kPlaylistName, newer);
    };
    host.answers = {BoxAnswer::Yes};
    Tick();
    EXPECT_EQ(host.boxes, std::vector<Box>{kQuestion});  // no "Restored successfully"
    EXPECT_EQ(world->Read(kPlaylistName), newer);
    EXPECT_EQ(world->Read(kBackupName), earlier);
    EXPECT_EQ(world->Names(), JustTheTwo());
    EXPECT_EQ(watcher.WFFails(), 0);

    // The next tick decides again, about the newer playlist: still shorter, asked again.
    host.whileBoxOpen = nullptr;
    host.answers = {BoxAnswer::Yes, BoxAnswer::Ok};
    Tick();
    EXPECT_EQ(host.boxes, (std::vector<Box>{kQuestion, kQuestion, kRestored}));
    EXPECT_EQ(world->Read(kPlaylistName), earlier);
}

TEST_F(WatcherTick, PlaylistSavedAtTheSameLengthAfterTheQuestionIsNotOverwritten) {
    const std::string earlier = "#EXTM3U\r\nC:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n";
    const std::string shrunk = "#EXTM3U\r\nC:\\Music\\a.mp3\r\n";
    const std::string playersSave = "#EXTM3U\r\nC:\\Music\\c.mp3\r\n";  // the same length
    struct Case {
        const char* what;
        void (FileWorld::*playerSaves)(const std::wstring&, const std::string&);  // null: nobody
        bool justBeforeTheCopy;                                                   // else while asked
    };
    const Case cases[] = {
        {"nothing changes: restored", nullptr, false},
        {"saved while the question is open", &FileWorld::SaveLater, false},
        {"another file of the same length and time while the question is open",
         &FileWorld::ReplaceKeepingTime, false},
        {"saved after the Yes, as the backup is copied", &FileWorld::SaveLater, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Files(shrunk, earlier);
        host.boxes.clear();
        std::function<void()> save;
        if (c.playerSaves) {
            save = [&] {  // once, not again while "Restored successfully" is open
                if (host.boxes.size() == 1) (world.get()->*c.playerSaves)(kPlaylistName, playersSave);
            };
        }
        (c.justBeforeTheCopy ? host.beforeGuardedCopy : host.whileBoxOpen) = save;
        host.answers = {BoxAnswer::Yes, BoxAnswer::Ok};
        Tick();
        if (!c.playerSaves) {
            EXPECT_EQ(host.boxes, (std::vector<Box>{kQuestion, kRestored}));
            EXPECT_EQ(world->Read(kPlaylistName), earlier);
        } else {
            EXPECT_EQ(host.boxes, std::vector<Box>{kQuestion});  // no "Restored successfully"
            EXPECT_EQ(world->Read(kPlaylistName), playersSave);
        }
        EXPECT_EQ(world->Read(kBackupName), earlier);
        EXPECT_EQ(world->Names(), JustTheTwo());
        EXPECT_EQ(watcher.WFFails(), 0);
        host.whileBoxOpen = host.beforeGuardedCopy = nullptr;
    }
}

TEST_F(WatcherTick, ShrunkPlaylistAnsweredNoBecomesTheBackupAndTheOldOneIsArchived) {
    Files("C:\\Music\\a.mp3\r\n", "C:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n");
    host.answers = {BoxAnswer::No, BoxAnswer::Ok};
    Tick();
    EXPECT_EQ(host.boxes, (std::vector<Box>{kQuestion, kBackupUpdated}));
    EXPECT_EQ(world->Read(L"winamp.m3u.bak.14.6.12"), "C:\\Music\\a.mp3\r\nC:\\Music\\b.mp3\r\n");
    EXPECT_EQ(world->Read(kBackupName), "C:\\Music\\a.mp3\r\n");
    EXPECT_EQ(world->Read(kPlaylistName), "C:\\Music\\a.mp3\r\n");
    EXPECT_EQ(watcher.WFFails(), 0);

    Tick();
    EXPECT_EQ(host.boxes.size(), 2u);
}

TEST_F(WatcherTick, GrownPlaylistArchivesTheBackupUnderTheClocksNameSilently) {
    struct Case {
        LocalTime clock;
        const wchar_t* archive;
    };
    const Case cases[] = {
        {{0, 1, 1}, L"winamp.m3u.bak.0.1.1"},      // first hour of 1 January
        {{14, 6, 12}, L"winamp.m3u.bak.14.6.12"},  // hour, day, month: in that order
        {{9, 1, 3}, L"winamp.m3u.bak.9.1.3"},      // no leading zeros
        {{23, 31, 10}, L"winamp.m3u.bak.23.31.10"},
    };
    std::string playlist = "a\r\n";
    Files(playlist, playlist);
    std::vector<std::wstring> expectedNames = JustTheTwo();
    for (const Case& c : cases) {
        const std::string previous = playlist;
        playlist += "b\r\n";
        world->Write(kPlaylistName, playlist);
        host.clock = c.clock;
        Tick();
        EXPECT_EQ(world->Read(c.archive), previous) << "archive of a growth";
        EXPECT_EQ(world->Read(kBackupName), playlist);
        EXPECT_EQ(world->Read(kPlaylistName), playlist);
        expectedNames.push_back(c.archive);
        Tick();  // lengths equal now: nothing more
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(world->Names(), expectedNames);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(watcher.WFFails(), 0);
}

TEST_F(WatcherTick, ArchiveInAnHourAlreadyUsedTakesTheNextFreeNumber) {
    host.clock = {0, 1, 1};
    world->Write(L"winamp.m3u.bak.0.1.1", "last year's archive");
    Files("v1", "v1");

    world->Write(kPlaylistName, "v2.");
    Tick();
    world->Write(kPlaylistName, "v3..");
    Tick();
    // A growth and then an answer No in the same hour.
    world->Write(kPlaylistName, "v");
    host.answers = {BoxAnswer::No, BoxAnswer::Ok};
    Tick();

    EXPECT_EQ(world->Read(L"winamp.m3u.bak.0.1.1"), "last year's archive");
    EXPECT_EQ(world->Read(L"winamp.m3u.bak.0.1.1.2"), "v1");
    EXPECT_EQ(world->Read(L"winamp.m3u.bak.0.1.1.3"), "v2.");
    EXPECT_EQ(world->Read(L"winamp.m3u.bak.0.1.1.4"), "v3..");
    EXPECT_EQ(world->Read(kBackupName), "v");
    EXPECT_EQ(world->Names().size(), 6u);
    EXPECT_EQ(host.boxes, (std::vector<Box>{kQuestion, kBackupUpdated}));
    EXPECT_EQ(watcher.WFFails(), 0);
}

TEST_F(WatcherTick, FailedRestoreCopyShowsNoSuccessAndAsksAgainNextTick) {
    Files("short", "the longer backup");
    {
        auto held = world->Hold(kPlaylistName);  // the restore copy cannot replace it
        host.answers = {BoxAnswer::Yes};
        Tick();
        EXPECT_EQ(host.boxes, std::vector<Box>{kQuestion});
        EXPECT_EQ(watcher.WFFails(), 1);
    }
    EXPECT_EQ(world->Read(kPlaylistName), "short");

    host.answers = {BoxAnswer::Yes, BoxAnswer::Ok};
    Tick();
    EXPECT_EQ(host.boxes, (std::vector<Box>{kQuestion, kQuestion, kRestored}));
    EXPECT_EQ(world->Read(kPlaylistName), "the longer backup");
    EXPECT_EQ(watcher.WFFails(), 0);
}

TEST_F(WatcherTick, ElevenFailedTicksAreSilentAndACompletedTickStartsTheCountAgain) {
    Files("x", "x");
    world->Remove(kBackupName);
    for (int i = 0; i < 11; ++i) Tick();
    EXPECT_EQ(watcher.WFFails(), 11);
    EXPECT_TRUE(host.boxes.empty());

    world->Write(kBackupName, "x");
    Tick();
    EXPECT_EQ(watcher.WFFails(), 0);

    world->Remove(kPlaylistName);
    for (int i = 0; i < 11; ++i) Tick();
    EXPECT_EQ(watcher.WFFails(), 11);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.ends, 0);

    host.answers = {BoxAnswer::Ok};
    Tick();
    EXPECT_EQ(host.boxes, std::vector<Box>{kShutdown});
    EXPECT_EQ(host.ends, 1);
}

TEST_F(WatcherTick, TwelveFailedTicksShowTheShutdownBoxAndEndWithoutRecreatingTheBackup) {
    Files("x", "x");
    world->Remove(kBackupName);
    for (int i = 0; i < 11; ++i) Tick();
    // Ended only once the box is closed.
    host.whileBoxOpen = [&] { EXPECT_EQ(host.ends, 0); };
    host.answers = {BoxAnswer::Ok};
    Tick();
    EXPECT_EQ(host.boxes, std::vector<Box>{kShutdown});
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(world->Names(), std::vector<std::wstring>{kPlaylistName});
}

TEST_F(WatcherTick, BackupLostAfterTheArchiveIsNeverRecreated) {
    Files("grown playlist", "old");
    {
        auto held = world->Hold(kPlaylistName);  // the refresh copy cannot read it
        Tick();
    }
    EXPECT_EQ(watcher.WFFails(), 1);
    EXPECT_EQ(world->Read(L"winamp.m3u.bak.14.6.12"), "old");
    for (int i = 0; i < 5; ++i) Tick();
    EXPECT_EQ(watcher.WFFails(), 6);
    EXPECT_EQ(world->Read(kBackupName), std::nullopt);
    EXPECT_TRUE(host.boxes.empty());
}

TEST_F(WatcherTick, TickDueWhileABoxIsOpenIsSkipped) {
    Files("short", "the longer backup");
    int nestedTicks = 0;
    bool nested = false;
    host.whileBoxOpen = [&] {
        if (nested) return;  // one timer tick per open box is enough to tell
        // The player grows the playlist while the question waits; the timer fires again.
        if (host.boxes.size() == 1) world->Write(kPlaylistName, "a much longer playlist now");
        ++nestedTicks;
        nested = true;
        Tick();
        nested = false;
    };
    host.answers = {BoxAnswer::No, BoxAnswer::Ok};
    Tick();
    EXPECT_EQ(nestedTicks, 2);
    EXPECT_EQ(host.boxes, (std::vector<Box>{kQuestion, kBackupUpdated}));
    // Only the answered tick archived: one archive, holding the old backup.
    EXPECT_EQ(world->Names().size(), 3u);
    EXPECT_EQ(world->Read(L"winamp.m3u.bak.14.6.12"), "the longer backup");
    EXPECT_EQ(world->Read(kBackupName), "a much longer playlist now");
    EXPECT_EQ(watcher.WFFails(), 0);

    // The same for the shutdown box: one box, one end.
    host.boxes.clear();
    world->Remove(kBackupName);
    for (int i = 0; i < 11; ++i) Tick();
    host.answers = {BoxAnswer::Ok};
    Tick();
    EXPECT_EQ(host.boxes, std::vector<Box>{kShutdown});
    EXPECT_EQ(host.ends, 1);
}

}  // namespace
}  // namespace tallowmere::watcher::test
