// Existence found per folder must answer exactly what asking about each file answers, with
// one listing per album folder, whether the folders are looked at one by one or several at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <new>
#include <string>
#include <vector>

#include "playlist/folder_existence.h"
#include "playlist/paths.h"
#include "tests/playlist/test_support.h"

namespace tallowmere::playlist {
namespace {

// The memory file system, safe to ask from several threads once filled (it only reads then),
// counting the questions.
class CountingMemoryFileSystem : public testing::MemoryFileSystem {
public:
    unsigned parallel = 1;
    std::atomic<int> lengthQueries{0};
    std::atomic<int> listings{0};
    std::wstring refusedFolder;  // listing it fails with "access denied"
    // Listings wait (up to 10 s) until this is set: folders slow to list, during which the
    // window's events must still run.
    std::atomic<bool> eventsRan{false};

    // How long each question and each listing takes: a system where one costs far more.
    std::chrono::milliseconds questionTime{0};
    std::chrono::milliseconds listingTime{0};
    std::atomic<int> inFlight{0};
    std::atomic<int> mostInFlight{0};  // questions asked at once, at most

    // A file of a folder that holds nothing is missing with "path not found", as on disk.
    std::optional<std::uint64_t> FileLength(const std::wstring& path, ErrorCode* error) override {
        ++lengthQueries;
        const int nowInFlight = ++inFlight;
        for (int most = mostInFlight; nowInFlight > most && !mostInFlight.compare_exchange_weak(most, nowInFlight);) {
        }
        std::this_thread::sleep_for(questionTime);
        --inFlight;
        const auto length = MemoryFileSystem::FileLength(path, error);
        const std::wstring folder = path.substr(0, path.rfind(L'\\') + 1);
        const auto next = files.lower_bound(folder);
        if (!length && error && (next == files.end() || !next->first.starts_with(folder))) *error = 3;
        return length;
    }
    ErrorCode ListFolder(const std::wstring& folder,
                         const std::function<void(const FolderEntry&)>& visit) override {
        ++listings;
        std::this_thread::sleep_for(listingTime);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!eventsRan && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (folder == refusedFolder) return 5;  // ERROR_ACCESS_DENIED
        return MemoryFileSystem::ListFolder(folder, visit);
    }
    unsigned ParallelQueries() const override { return parallel; }
};

// 300 albums of 12 songs; every fifth album is gone, every seventh song missing; the paths
// also hold lone songs, odd spellings and songs of refused folder.
std::vector<std::wstring> Library(CountingMemoryFileSystem& files) {
    std::vector<std::wstring> paths;
    for (int album = 0; album < 300; ++album) {
        std::wstring folder = L"E:\\Music\\Album ";
        folder.append(std::to_wstring(album)).append(L"\\");
        for (int song = 0; song < 12; ++song) {
            std::wstring path = folder;
            path.append(std::to_wstring(song)).append(L" Song.mp3");
            if (album % 5 != 4 && (album * 12 + song) % 7 != 0) files.files[path] = std::string(1, 'x');
            paths.push_back(path);
        }
    }
    files.files[L"E:\\Lone\\only.mp3"] = std::string(1, 'x');
    files.files[L"E:\\Refused\\a.mp3"] = std::string(1, 'x');
    files.files[L"E:\\Refused\\b.mp3"] = std::string(1, 'x');
    files.refusedFolder = L"E:\\Refused\\";
    for (const wchar_t* odd : {L"E:\\Lone\\only.mp3", L"E:\\Music\\Album 0\\1 SONG.MP3",
                               L"E:\\Music\\Album 0\\1 Song.mp3.", L"E:\\Music\\Album 0\\",
                               L"E:\\Music\\Album 0\\*.mp3", L"relative.mp3", L"\\\\\\x\\a.mp3",
                               L"E:\\Refused\\a.mp3", L"E:\\Refused\\b.mp3", L"E:\\Refused\\c.mp3",
                               L"E:\\Music\\Album 1\\1 Song.mp3"}) {
        paths.push_back(odd);
    }
    return paths;
}

TEST(FolderExistence, AnswersAsEachFileWouldOnePassOrSeveralAtOnce) {
    using Listing = FolderExistence::Listing;
    for (const Listing listing : {Listing::Always, Listing::Never, Listing::Measured}) {
        for (const unsigned parallel : {1u, 4u}) {
            SCOPED_TRACE(::testing::Message() << "listing " << static_cast<int>(listing) << ", " << parallel << " at once");
            CountingMemoryFileSystem files;
            files.parallel = parallel;
            const std::vector<std::wstring> paths = Library(files);
            FolderExistence existence(files, listing);
            for (const std::wstring& path : paths) existence.Add(path);
            const bool answered = existence.AnswerAll(
                [&](std::size_t) {
                    files.eventsRan = true;
                    return true;
                },
                std::chrono::milliseconds(0));
            EXPECT_TRUE(answered);
            const FolderExistence::Counts counts = existence.CountsSoFar();

            std::size_t present = 0;
            for (std::size_t i = 0; i < paths.size(); ++i) {
                EXPECT_EQ(existence.Exists(i), FileExists(files, paths[i]))
                    << std::string(paths[i].begin(), paths[i].end());
                present += existence.Exists(i);
            }
            EXPECT_GT(present, 2000u);
            EXPECT_LT(present, paths.size());
            if (listing != Listing::Never) {
                EXPECT_TRUE(files.eventsRan) << "the window's events run while a folder is slow to list";
            }

            if (listing == Listing::Always) {
                // One listing per album and for the refused folder; direct questions only for
                // the songs the listings do not show: the missing ones in albums still there,
                // the odd spellings, the lone song and the songs of the refused folder.
                EXPECT_EQ(counts.listings, 301u);
                const std::size_t missingInPresentAlbums = 240 * 12 - (present - 4);
                EXPECT_EQ(counts.directQueries, missingInPresentAlbums + 10);
            } else if (listing == Listing::Never) {
                // Every song asked, but in the 60 albums that are gone only the first: its
                // "path not found" answers for the album.
                EXPECT_EQ(counts.listings, 0u);
                EXPECT_EQ(counts.foldersAsked, 301u);
                EXPECT_EQ(counts.directQueries, paths.size() - 60 * 11);
            }
        }
    }
}

// Left to measure, the run lists folders where a listing has cost less than asking about
// their songs one by one, and asks where it has cost more.
TEST(FolderExistence, MeasuredListingTakesTheCheaperWay) {
    {
        SCOPED_TRACE("listing slow: after the first few, every album is asked song by song");
        CountingMemoryFileSystem files;
        files.eventsRan = true;
        files.listingTime = std::chrono::milliseconds(20);
        const std::vector<std::wstring> paths = Library(files);
        FolderExistence existence(files);
        for (const std::wstring& path : paths) existence.Add(path);
        existence.AnswerAll([](std::size_t) { return true; }, std::chrono::milliseconds(30));
        EXPECT_LE(existence.CountsSoFar().listings, 5u);
        EXPECT_GE(existence.CountsSoFar().foldersAsked, 296u);
        for (std::size_t i = 0; i < paths.size(); ++i) ASSERT_EQ(existence.Exists(i), FileExists(files, paths[i]));
    }
    {
        SCOPED_TRACE("questions slow: every album is listed, and more questions are in flight at once");
        CountingMemoryFileSystem files;
        files.parallel = 2;
        files.eventsRan = true;
        files.questionTime = std::chrono::milliseconds(2);
        const std::vector<std::wstring> paths = Library(files);
        FolderExistence existence(files);
        for (const std::wstring& path : paths) existence.Add(path);
        existence.AnswerAll([](std::size_t) { return true; }, std::chrono::milliseconds(30));
        EXPECT_EQ(existence.CountsSoFar().listings, 301u);
        EXPECT_EQ(existence.CountsSoFar().foldersAsked, 0u);
        EXPECT_GT(files.mostInFlight, 2) << "questions that wait long are asked more at once";
        files.questionTime = std::chrono::milliseconds(0);
        for (std::size_t i = 0; i < paths.size(); ++i) ASSERT_EQ(existence.Exists(i), FileExists(files, paths[i]));
    }
}

// The user stops the run while the first folder is slow to list: no further folder is begun.
TEST(FolderExistence, StopsBeginningFoldersWhenTold) {
    CountingMemoryFileSystem files;
    files.parallel = 2;
    const std::vector<std::wstring> paths = Library(files);
    FolderExistence existence(files, FolderExistence::Listing::Always);
    for (const std::wstring& path : paths) existence.Add(path);
    const bool answered = existence.AnswerAll(
        [&](std::size_t) {
            files.eventsRan = true;
            return false;
        },
        std::chrono::milliseconds(0));
    EXPECT_FALSE(answered);
    EXPECT_LE(files.listings, 2) << "only the folders the two workers had begun";
}

// The host fails while the folders are answered (out of memory as it shows the log): the
// failure reaches the caller, which ends the run as failed, and no thread is left running.
TEST(FolderExistence, AFailureWhileEventsRunReachesTheCaller) {
    CountingMemoryFileSystem files;
    files.parallel = 4;
    files.eventsRan = true;
    files.listingTime = std::chrono::milliseconds(2);
    const std::vector<std::wstring> paths = Library(files);
    FolderExistence existence(files, FolderExistence::Listing::Always);
    for (const std::wstring& path : paths) existence.Add(path);
    EXPECT_THROW(existence.AnswerAll([](std::size_t) -> bool { throw std::bad_alloc(); }, std::chrono::milliseconds(0)),
                 std::bad_alloc);
    EXPECT_LT(files.listings, 301) << "the workers stopped";
}

}  // namespace
}  // namespace tallowmere::playlist
