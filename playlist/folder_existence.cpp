#include "playlist/folder_existence.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "playlist/paths.h"

namespace tallowmere::playlist {
namespace {

constexpr std::uint32_t kPathNotFound = 3;  // ERROR_PATH_NOT_FOUND: the folder is not there
// Longer paths may be refused by a direct question although their folder can be listed.
constexpr std::size_t kShortPathLimit = 260;  // MAX_PATH

// Whether a listed name spelt like this one is certainly the file a direct question finds.
// Names the system rewrites before it looks (trailing dots and spaces) or reads as something
// else (streams, wildcards, devices' colons) are asked about directly.
bool ListableName(std::wstring_view name) {
    if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
    return std::none_of(name.begin(), name.end(), [](wchar_t c) {
        return c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' ||
               c == L'*';
    });
}

// A path from a volume's root ("E:\", "\\server\share\"), or from the root of a POSIX
// file system (the native builds). Other texts are asked about directly.
bool FullPath(std::wstring_view path) { return VolumeRootLength(path) != 0 || path.starts_with(L'/'); }

std::size_t LastSeparator(std::wstring_view path) { return path.find_last_of(L"\\/"); }

}  // namespace

std::uint32_t FolderExistence::GroupOf(std::wstring_view folder) {
    // Songs of one album follow each other: the folder of the last path first.
    if (lastGroup_ != kNone && FolderOf(lastGroup_) == folder) return lastGroup_;
    const auto [known, added] = groupOfHash_.try_emplace(std::hash<std::wstring_view>{}(folder),
                                                         static_cast<std::uint32_t>(groups_.size()));
    if (added) {
        groups_.push_back({static_cast<std::uint32_t>(queries_.size() - 1), kNone, 0});  // the path just added
    } else if (FolderOf(known->second) != folder) {
        return kNone;  // another folder with the same hash: this one is asked about directly
    }
    return lastGroup_ = known->second;
}

std::size_t FolderExistence::Add(std::wstring_view path) {
    const std::size_t separator = LastSeparator(path);
    const auto index = static_cast<std::uint32_t>(queries_.size());
    queries_.push_back({static_cast<std::uint32_t>(paths_.size()), static_cast<std::uint32_t>(path.size()), 0,
                        kNone, kNone});
    paths_.append(path);
    if (separator != std::wstring_view::npos && path.size() < kShortPathLimit && FullPath(path) &&
        ListableName(path.substr(separator + 1))) {
        queries_.back().folderLength = static_cast<std::uint32_t>(separator + 1);
        const std::uint32_t group = GroupOf(path.substr(0, separator + 1));
        if (group != kNone) {
            Query& query = queries_[index];
            query.group = group;
            Group& members = groups_[group];
            if (members.count++ != 0) queries_[members.last].nextInGroup = index;
            members.last = index;
        }
    }
    return index;
}

ErrorCode FolderExistence::AskDirectly(std::uint32_t index, std::wstring& scratch, Counts& counts) {
    scratch.assign(PathOf(queries_[index]));
    ErrorCode error = 0;
    const auto asked = std::chrono::steady_clock::now();
    answers_[index] = files_.FileLength(scratch, &error).has_value() ? 1 : 0;
    questionCost_.Add(std::chrono::steady_clock::now() - asked);
    ++counts.directQueries;
    return answers_[index] != 0 ? 0 : error;
}

std::size_t FolderExistence::TaskSize(std::size_t task) const {
    return task < listed_.size() ? groups_[listed_[task]].count : 1;
}

bool FolderExistence::QuestionsAreSlow() const {
    const std::uint64_t questions = questionCost_.count.load(std::memory_order_relaxed);
    return questions >= 8 &&
           questionCost_.nanoseconds.load(std::memory_order_relaxed) / questions > kSlowQuestionNanoseconds;
}

bool FolderExistence::ShouldList(std::size_t files) const {
    switch (listing_) {
        case Listing::Always:
            return true;
        case Listing::Never:
            return false;
        case Listing::Measured:
            break;
    }
    // A few of each first, to know; then whichever has cost less for this many files.
    constexpr std::uint64_t kSamples = 4;
    const std::uint64_t listings = listingCost_.count.load(std::memory_order_relaxed);
    const std::uint64_t questions = questionCost_.count.load(std::memory_order_relaxed);
    if (listings < kSamples) return true;
    if (questions < kSamples) return false;
    // listing / listings < files * question / questions, without dividing.
    const double listing = static_cast<double>(listingCost_.nanoseconds.load(std::memory_order_relaxed));
    const double question = static_cast<double>(questionCost_.nanoseconds.load(std::memory_order_relaxed));
    return listing * static_cast<double>(questions) < static_cast<double>(files) * question * static_cast<double>(listings);
}

void FolderExistence::AnswerTask(std::size_t task, Counts& counts) {
    std::wstring scratch;
    if (task >= listed_.size()) {
        AskDirectly(lone_[task - listed_.size()], scratch, counts);
        return;
    }
    const std::uint32_t groupIndex = listed_[task];
    if (ShouldList(groups_[groupIndex].count)) {
        ListGroup(groupIndex, scratch, counts);
    } else {
        AskGroup(groupIndex, scratch, counts);
    }
}

void FolderExistence::ListGroup(std::uint32_t groupIndex, std::wstring& scratch, Counts& counts) {
    const Group& group = groups_[groupIndex];
    auto nameOf = [&](std::uint32_t member) {
        const Query& query = queries_[member];
        return PathOf(query).substr(query.folderLength);
    };
    // Each wanted name, and whether the listing holds it as a plain file.
    std::unordered_map<std::wstring_view, bool> wanted;
    wanted.reserve(group.count);
    for (std::uint32_t member = group.first; member != kNone; member = queries_[member].nextInGroup) {
        wanted.emplace(nameOf(member), false);
    }
    const auto listed = std::chrono::steady_clock::now();
    const ErrorCode error = files_.ListFolder(std::wstring(FolderOf(groupIndex)), [&](const FolderEntry& entry) {
        if (entry.folder || entry.reparsePoint) return;  // a folder is no file; a link is asked
        const auto found = wanted.find(entry.name);
        if (found != wanted.end()) found->second = true;
    });
    listingCost_.Add(std::chrono::steady_clock::now() - listed);
    ++counts.listings;
    for (std::uint32_t member = group.first; member != kNone; member = queries_[member].nextInGroup) {
        if (error == kPathNotFound) {
            answers_[member] = 0;  // no such folder: a direct question finds nothing either
        } else if (error == 0 && wanted.at(nameOf(member))) {
            answers_[member] = 1;
        } else {
            AskDirectly(member, scratch, counts);
        }
    }
}

void FolderExistence::AskGroup(std::uint32_t groupIndex, std::wstring& scratch, Counts& counts) {
    ++counts.foldersAsked;
    const std::uint32_t first = groups_[groupIndex].first;
    // The first file's answer also tells whether the folder is there at all.
    if (AskDirectly(first, scratch, counts) == kPathNotFound) return;  // the others are missing too
    for (std::uint32_t member = queries_[first].nextInGroup; member != kNone; member = queries_[member].nextInGroup) {
        AskDirectly(member, scratch, counts);
    }
}

bool FolderExistence::AnswerAll(const std::function<bool(std::size_t answered)>& letEventsRun,
                                std::chrono::milliseconds interval) {
    answers_.assign(queries_.size(), 0);
    listed_.clear();
    lone_.clear();
    for (std::uint32_t index = 0; index < queries_.size(); ++index) {
        const Query& query = queries_[index];
        if (query.group == kNone || groups_[query.group].count < listingThreshold_) {
            lone_.push_back(index);
        } else if (groups_[query.group].first == index) {
            listed_.push_back(query.group);  // at its first member: folders in playlist order
        }
    }
    const std::size_t taskCount = listed_.size() + lone_.size();
    const std::size_t threads = std::min<std::size_t>(std::max(files_.ParallelQueries(), 1u), taskCount);

    std::atomic<std::size_t> answered{0};
    std::atomic<bool> stopped{false};
    // On this thread, letting the events run between tasks.
    auto answerHere = [&] {
        auto last = std::chrono::steady_clock::now();
        for (std::size_t task = 0; task < taskCount && !stopped; ++task) {
            AnswerTask(task, counts_);
            answered += TaskSize(task);
            if (std::chrono::steady_clock::now() - last >= interval) {
                stopped = !letEventsRun(answered);
                last = std::chrono::steady_clock::now();
            }
        }
        return !stopped;
    };
    // Here only when a single task of a single query is all there is: a folder's task can
    // hold thousands of direct questions (names listed in another case), and the window's
    // events must run meanwhile, which this thread does while workers answer.
    if (taskCount == 0 || (taskCount == 1 && TaskSize(0) == 1)) return answerHere();

    // Workers take the folders in turn; each answer has its own slot, so they share nothing
    // but the next task's number. This thread only lets the window's events run meanwhile.
    std::atomic<std::size_t> nextTask{0};
    std::mutex mutex;
    std::condition_variable allDone;
    std::size_t finishedWorkers = 0;
    Counts workerCounts;
    std::vector<std::thread> workers;
    const std::size_t mostWorkers = std::min(kMostWorkersWhenSlow, taskCount);
    workers.reserve(std::max(threads, mostWorkers));
    // A thread the system cannot start is done without.
    auto addWorker = [&] {
        try {
            workers.emplace_back([&] {
                Counts mine;
                for (std::size_t task; !stopped && (task = nextTask.fetch_add(1)) < taskCount;) {
                    AnswerTask(task, mine);
                    answered.fetch_add(TaskSize(task), std::memory_order_relaxed);
                }
                const std::lock_guard lock(mutex);
                workerCounts.listings += mine.listings;
                workerCounts.directQueries += mine.directQueries;
                workerCounts.foldersAsked += mine.foldersAsked;
                ++finishedWorkers;
                allDone.notify_one();
            });
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    };
    for (std::size_t worker = 0; worker < threads && addWorker(); ++worker) {
    }
    if (workers.empty()) return answerHere();  // no thread could be started
    try {
        std::unique_lock lock(mutex);
        while (!allDone.wait_for(lock, interval, [&] { return finishedWorkers == workers.size(); })) {
            lock.unlock();
            if (!letEventsRun(answered.load(std::memory_order_relaxed))) stopped = true;
            lock.lock();
            // Questions that each wait long on the volume (a network share) leave the
            // processor idle: more of them in flight then, up to a bound.
            if (!stopped && workers.size() < mostWorkers && threads > 1 && QuestionsAreSlow()) {
                while (workers.size() < mostWorkers && addWorker()) {
                }
            }
        }
    } catch (...) {
        // The host failed while letting events run (out of memory): the workers finish their
        // folders and stop, and the failure goes on up.
        stopped = true;
        for (std::thread& worker : workers) worker.join();
        throw;
    }
    for (std::thread& worker : workers) worker.join();
    counts_.listings += workerCounts.listings;
    counts_.directQueries += workerCounts.directQueries;
    counts_.foldersAsked += workerCounts.foldersAsked;
    return !stopped;
}

void FolderExistence::Clear() {
    paths_.clear();
    queries_.clear();
    groups_.clear();
    groupOfHash_.clear();
    lastGroup_ = kNone;
    listed_.clear();
    lone_.clear();
    answers_.clear();
}

FolderExistence::Counts FolderExistence::CountsSoFar() const { return counts_; }

}  // namespace tallowmere::playlist
