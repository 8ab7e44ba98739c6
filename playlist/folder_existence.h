#pragma once
// Whether each of many files exists, answered as FileExists answers it but with one look at
// each folder instead of one question per file: songs lie in album folders, and on a network
// share every question is a round trip.
//
// The paths are grouped by the folder they name. A folder that the file system says does not
// exist makes every file in it missing. A folder holding several of the files is listed once
// (where listing has proved cheaper than asking, see Listing), and a name listed there, spelt
// exactly so, as a plain file (no folder, no link) exists. Everything else is asked about
// directly, so short (8.3) names, other letter case, trailing dots, odd characters, long paths
// and folders that cannot be listed all get the direct answer.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "playlist/file_system.h"

namespace tallowmere::playlist {

class FolderExistence {
public:
    // A folder asked about for fewer files than this is not listed: each file is asked
    // directly. A listing of one name never saves a question.
    static constexpr std::size_t kListingThreshold = 2;

    // Whether a folder of several files is listed. What a listing costs against a question
    // differs by far between systems and volumes (under Wine a listing asks about every
    // file in the folder; a network share answers a listing in one round trip), so by
    // default the run measures both as it goes and lists a folder when its listing has cost
    // less than asking about its files one by one. Always and Never are for the benchmarks
    // and tests.
    enum class Listing { Measured, Always, Never };

    explicit FolderExistence(FileSystem& files, Listing listing = Listing::Measured,
                             std::size_t listingThreshold = kListingThreshold)
        : files_(files), listing_(listing), listingThreshold_(listingThreshold) {}

    // Adds a full path to ask about; its answer is Exists(index), index counting from 0 in
    // the order of adding.
    std::size_t Add(std::wstring_view path);
    std::size_t Size() const { return queries_.size(); }

    // Answers every path added. Up to files.ParallelQueries() folders are looked at at once
    // (more where each question waits long on the volume, see kSlowQuestionNanoseconds);
    // letEventsRun is called about once every interval while the answers come in, with the
    // number of paths answered so far, and returns false to stop: no further folder is then
    // begun, and AnswerAll returns false with the answers incomplete. The answers do not
    // depend on timing.
    bool AnswerAll(const std::function<bool(std::size_t answered)>& letEventsRun,
                   std::chrono::milliseconds interval);

    bool Exists(std::size_t index) const { return answers_[index] != 0; }

    // Forgets the paths and answers (not the counts), keeping the memory for the next ones.
    void Clear();

    // How the answers were found (for the benchmarks and tests).
    struct Counts {
        std::size_t listings = 0;       // folders listed
        std::size_t directQueries = 0;  // files asked about one by one
        std::size_t foldersAsked = 0;   // folders of several files asked about file by file
    };
    Counts CountsSoFar() const;

private:
    // Everything is kept in a few flat arrays: memory stays near the paths' own size however
    // many folders there are.
    struct Query {
        std::uint32_t offset;       // of the path in paths_
        std::uint32_t length;       // of the path
        std::uint32_t folderLength; // of its folder, separator included
        std::uint32_t group;        // kNone when it is asked directly
        std::uint32_t nextInGroup;  // the next query of its group (kNone at the last)
    };
    struct Group {
        std::uint32_t first;  // its first query (whose path also spells the folder)
        std::uint32_t last;
        std::uint32_t count;
    };
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    std::wstring_view PathOf(const Query& query) const {
        return std::wstring_view(paths_).substr(query.offset, query.length);
    }
    std::wstring_view FolderOf(std::uint32_t group) const {
        const Query& first = queries_[groups_[group].first];
        return PathOf(first).substr(0, first.folderLength);
    }
    std::uint32_t GroupOf(std::wstring_view folder);
    // Asks about one path; returns the file system's error when it is missing (0 when it
    // exists).
    ErrorCode AskDirectly(std::uint32_t index, std::wstring& scratch, Counts& counts);
    // Answers the members of one group (or, for a task past the groups, one lone path).
    void AnswerTask(std::size_t task, Counts& counts);
    void ListGroup(std::uint32_t groupIndex, std::wstring& scratch, Counts& counts);
    void AskGroup(std::uint32_t groupIndex, std::wstring& scratch, Counts& counts);
    bool ShouldList(std::size_t files) const;
    bool QuestionsAreSlow() const;
    // A question that takes longer than this on average waits on the volume, not on the
    // processor (a local disk answers in tens of microseconds, under load and under Wine);
    // then up to kMostWorkersWhenSlow are asked at once instead of ParallelQueries().
    static constexpr std::uint64_t kSlowQuestionNanoseconds = 500'000;
    static constexpr std::size_t kMostWorkersWhenSlow = 32;
    // How many paths a task answers.
    std::size_t TaskSize(std::size_t task) const;

    FileSystem& files_;
    const Listing listing_;
    const std::size_t listingThreshold_;
    // What listings and questions have cost so far (kept across Clear), shared by the workers.
    struct Cost {
        std::atomic<std::uint64_t> nanoseconds{0};
        std::atomic<std::uint64_t> count{0};
        void Add(std::chrono::steady_clock::duration took) {
            nanoseconds.fetch_add(static_cast<std::uint64_t>(
                                      std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()),
                                  std::memory_order_relaxed);
            count.fetch_add(1, std::memory_order_relaxed);
        }
    };
    Cost listingCost_;
    Cost questionCost_;
    std::wstring paths_;  // every path added, one after the other
    std::vector<Query> queries_;
    std::vector<Group> groups_;
    // Hash of a folder's text -> its group; a folder whose hash another folder has already
    // is not grouped (its paths are asked about directly).
    std::unordered_map<std::size_t, std::uint32_t> groupOfHash_;
    std::uint32_t lastGroup_ = kNone;
    // The tasks of AnswerAll: the folders to list, then the paths to ask about one by one.
    std::vector<std::uint32_t> listed_;
    std::vector<std::uint32_t> lone_;
    std::vector<std::uint8_t> answers_;  // one per query: 1 exists
    Counts counts_;
};

}  // namespace tallowmere::playlist
