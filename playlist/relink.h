#pragma once
// Relink: entries whose songs have moved are pointed at the files' new places, found by name
// in a music library (one or more folders walked once per run).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "playlist/operations.h"

namespace tallowmere::playlist {

// Every file below the library folders, by name. Compact: the folders' paths back to back in
// one buffer, the names back to back in another, per file 16 bytes (its folder, where its name
// starts, the hash of its folded stem, the next file of its hash bucket).
class LibraryIndex {
public:
    // Walks each folder recursively. Reparse points (junctions, links to folders) are not
    // entered, nor a folder whose identity was seen before, so a loop ends. A folder that cannot
    // be listed is reported once (ReportFailure) and skipped. Files found so far go to
    // ReportFilesFound about once an event interval. A stop the host asks for ends the walk
    // within an interval, with the files found so far.
    static LibraryIndex Build(const RunContext& context, const std::vector<std::wstring>& folders);

    std::size_t FileCount() const { return files_.size(); }
    // Bytes the index holds (capacities of its buffers).
    std::size_t MemoryBytes() const;

    std::wstring_view FolderOf(std::uint32_t file) const;  // with its trailing backslash
    std::wstring_view NameOf(std::uint32_t file) const;
    std::wstring PathOf(std::uint32_t file) const;

    // Calls visit(file) for every file whose folded stem (name without its last extension)
    // hashes like foldedStem; the caller compares the names.
    template <typename Visit>
    void ForEachWithStemHash(std::wstring_view foldedStem, const Visit& visit) const {
        if (buckets_.empty()) return;
        const std::uint32_t hash = HashOf(foldedStem);
        for (std::uint32_t file = buckets_[hash & (buckets_.size() - 1)]; file != kNone; file = files_[file].next) {
            if (files_[file].stemHash == hash) visit(file);
        }
    }

    static std::uint32_t HashOf(std::wstring_view text);

    // Whether the file lies directly in one of the folders the index was built from.
    bool InRootFolder(std::uint32_t file) const;

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    struct IdentityHash {
        std::size_t operator()(const FileIdentity& identity) const {
            return std::hash<std::uint64_t>{}(identity.indexLow ^ (identity.indexHigh * 31) ^ (identity.volume << 17));
        }
    };
    // The folders entered so far: by file index (to the first folder of that index, kNone once
    // its identity is in identities) and, where indexes meet, by identity.
    struct FoldersSeen {
        std::unordered_map<std::uint64_t, std::uint32_t> byIndex;
        std::unordered_set<FileIdentity, IdentityHash> identities;
    };
    // Whether folder (at path) is entered for the first time; records it.
    bool FirstVisit(FileSystem& files, std::uint32_t folder, const std::wstring& path, FoldersSeen& seen);
    struct File {
        std::uint32_t folder;
        std::uint32_t nameStart;
        std::uint32_t stemHash;
        std::uint32_t next;
    };
    std::uint32_t AddFolder(std::wstring_view path);
    void AddFile(std::uint32_t folder, std::wstring_view name, std::wstring& scratch);
    void MakeBuckets();

    std::wstring folderText_;
    std::vector<std::uint32_t> folderStarts_;  // folder i is folderText_[starts[i], starts[i+1])
    std::wstring nameText_;                    // file i's name ends where file i+1's starts
    std::vector<File> files_;
    std::vector<std::uint32_t> buckets_;       // first file of each bucket; a power of two
    std::vector<std::uint32_t> rootFolders_;   // the folders given, as the walk began each
};

// One of the audio extensions (without the dot, any case) a converted library may use instead.
bool IsAudioExtension(std::wstring_view extension);

// Relinks the entries of one playlist against library. One log line per entry that needed
// relinking, in playlist order: "Relinked: <old> -> <new>", "Ambiguous: <old> (<N>
// candidates)", "Unsure: <old> -> <candidate> (no folder in common)", "Not found: <old>",
// "Can't encode: <old> -> <path>"; then one summary with the five counts, saying when nothing
// was written. A playlist in which nothing changes is not touched.
RunOutcome Relink(const RunContext& context, const LibraryIndex& library, const std::wstring& playlistPath);

}  // namespace tallowmere::playlist
