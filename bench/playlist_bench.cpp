// Times the playlist operations on generated playlists of 200,000 lines against baselines
// measured in the same run, and their peak memory against the file's size. Not a test: it
// prints figures. Natively it times the window-free code over a plain POSIX file layer; built
// for Windows (run under Wine or on Windows) it goes through the program's Win32 file system.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "bench/counting_host.h"
#include "playlist/folder_existence.h"
#include "playlist/operations.h"
#include "playlist/paths.h"

#ifdef _WIN32
#include <windows.h>

#include "shell/win_file_system.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#endif

// Counting allocator: the peak of bytes held through operator new.
namespace {
std::atomic<std::size_t> g_current{0};
std::atomic<std::size_t> g_peak{0};
}  // namespace

void* operator new(std::size_t size) {
    void* p = std::malloc(size + 16);
    if (!p) throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = size;
    const std::size_t now = g_current += size;
    std::size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {}
    return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
    if (!p) return;
    char* base = static_cast<char*>(p) - 16;
    g_current -= *reinterpret_cast<std::size_t*>(base);
    std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

namespace tallowmere::playlist {
namespace {


#ifdef _WIN32
// The program's own file system; BENCH_PARALLEL=n measures other numbers of questions at once.
class BenchFileSystem : public shell::WinFileSystem {
public:
    unsigned ParallelQueries() const override {
        const char* given = std::getenv("BENCH_PARALLEL");
        return given ? static_cast<unsigned>(std::atoi(given)) : WinFileSystem::ParallelQueries();
    }
};

std::wstring BenchFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"tallowmere-bench\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}
#else
// A plain POSIX file layer with the same contract as the Win32 one (paths are ASCII here).
class BenchFileSystem : public FileSystem {
public:
    static std::string Narrow(const std::wstring& path) { return std::string(path.begin(), path.end()); }
    std::optional<std::uint64_t> FileLength(const std::wstring& path, ErrorCode* error) override {
        struct stat info {};
        if (stat(Narrow(path).c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
            if (error) *error = 2;
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(info.st_size);
    }
    // A plain copy, not flushed, made by the kernel as CopyFileW leaves it to the system. An
    // old copy is removed first (as cp --remove-destination does): truncated in place, ext4
    // would write the new copy out at once, its guard for files replaced by truncation.
    ErrorCode CopyReplacing(const std::wstring& from, const std::wstring& to) override {
        const int in = open(Narrow(from).c_str(), O_RDONLY);
        if (in < 0) return 2;
        struct stat info {};
        unlink(Narrow(to).c_str());
        const int out = fstat(in, &info) == 0 ? open(Narrow(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
        bool ok = out >= 0;
        for (off_t left = info.st_size; ok && left > 0;) {
            const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(left), 0);
            ok = copied > 0;
            left -= copied;
        }
        if (out >= 0) close(out);
        close(in);
        return ok ? 0 : 29;
    }
    // The same copy to a temporary name, renamed in place once whole.
    ErrorCode CopyIntoPlace(const std::wstring& from, const std::wstring& to,
                            const std::function<bool()>& = {}) override {
        const std::wstring temporary = to + L".copying";
        if (const ErrorCode error = CopyReplacing(from, temporary)) {
            unlink(Narrow(temporary).c_str());
            return error;
        }
        return std::rename(Narrow(temporary).c_str(), Narrow(to).c_str()) == 0 ? 0 : 5;
    }
    // The same without the flush.
    ErrorCode WriteIntoPlace(const std::wstring& path, std::string_view bytes) override {
        const std::string temporary = Narrow(path) + ".tmp";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return 5;
        const bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        close(fd);
        if (!ok || std::rename(temporary.c_str(), Narrow(path).c_str()) != 0) {
            unlink(temporary.c_str());
            return ok ? 5 : 29;
        }
        return 0;
    }
    ErrorCode MakeFolder(const std::wstring& path) override {
        return mkdir(Narrow(path).c_str(), 0755) == 0 ? 0 : 5;
    }
    // No stamps here: the benchmark's files change only through it.
    ErrorCode ReadWholeFile(const std::wstring& path, std::string& bytes, FileStamp* stamp = nullptr) override {
        if (stamp) *stamp = {};
        std::ifstream in(Narrow(path), std::ios::binary);
        if (!in) return 2;
        in.seekg(0, std::ios::end);
        bytes.resize(static_cast<std::size_t>(in.tellg()));
        in.seekg(0);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return in ? 0 : 30;
    }
    // The baseline's write: a temporary file renamed into place.
    ErrorCode ReplaceWholeFile(const std::wstring& path, std::string_view bytes) {
        const std::string temporary = Narrow(path) + ".tmp";
        if (ErrorCode error = WriteFile(temporary, bytes)) return error;
        return std::rename(temporary.c_str(), Narrow(path).c_str()) == 0 ? 0 : 5;
    }
    ErrorCode PrepareReplacement(const std::wstring& path, std::string_view bytes,
                                 PendingReplacement& pending) override {
        pending.target = path;
        pending.temporary = path + L".tmp";
        if (ErrorCode error = WriteFile(Narrow(pending.temporary), bytes)) {
            pending.temporary.clear();
            return error;
        }
        return 0;
    }
    void DiscardReplacement(PendingReplacement& pending) override {
        if (!pending.temporary.empty()) unlink(Narrow(pending.temporary).c_str());
        pending.temporary.clear();
    }
    bool VolumeReachable(const std::wstring&) override { return true; }
    // The old content's second name (a hard link) renamed over the backup, then the new
    // content over the playlist, as the Win32 layer does it.
    ErrorCode CommitWithBackup(PendingReplacement& pending, const std::wstring& backupPath, const FileStamp&,
                               ReplaceStep& failedAt) override {
        failedAt = ReplaceStep::Backup;
        const std::string second = Narrow(backupPath) + ".link";
        unlink(second.c_str());
        if (link(Narrow(pending.target).c_str(), second.c_str()) != 0) return 5;
        if (std::rename(second.c_str(), Narrow(backupPath).c_str()) != 0) return 5;
        failedAt = ReplaceStep::Replace;
        const std::wstring temporary = std::exchange(pending.temporary, std::wstring());
        return std::rename(Narrow(temporary).c_str(), Narrow(pending.target).c_str()) == 0 ? 0 : 5;
    }
    // Not timed; the contents trade names through a link.
    ErrorCode SwapWithBackup(const std::wstring& path, const std::wstring& backupPath, const FileStamp&,
                             const FileStamp&) override {
        const std::string old = Narrow(path) + ".old";
        unlink(old.c_str());
        if (link(Narrow(path).c_str(), old.c_str()) != 0) return 5;
        if (std::rename(Narrow(backupPath).c_str(), Narrow(path).c_str()) != 0) return 5;
        return std::rename(old.c_str(), Narrow(backupPath).c_str()) == 0 ? 0 : 5;
    }
    PathKind KindOf(const std::wstring& path) override {
        struct stat info {};
        if (lstat(Narrow(path).c_str(), &info) != 0) return PathKind::Missing;
        if (S_ISLNK(info.st_mode)) return PathKind::Link;
        return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::File;
    }
    // stat and readdir keep no state of this class's: as many at once as the Win32 layer
    // (BENCH_PARALLEL=n to measure others).
    unsigned ParallelQueries() const override {
        const char* given = std::getenv("BENCH_PARALLEL");
        return given ? static_cast<unsigned>(std::atoi(given)) : 8;
    }
    ErrorCode ListFolder(const std::wstring& folder,
                         const std::function<void(const FolderEntry&)>& visit) override {
        DIR* listing = opendir(Narrow(folder).c_str());
        if (!listing) return 3;
        std::wstring name;
        while (const dirent* entry = readdir(listing)) {
            const std::string_view narrow(entry->d_name);
            if (narrow == "." || narrow == "..") continue;
            name.assign(narrow.begin(), narrow.end());
            visit({name, entry->d_type == DT_DIR, entry->d_type == DT_LNK});
        }
        closedir(listing);
        return 0;
    }
    std::optional<std::uint64_t> FileIndexOf(const std::wstring& path) override {
        const std::optional<FileStamp> stamp = StampOf(path, nullptr);
        if (!stamp) return std::nullopt;
        return stamp->identity.indexLow;
    }
    ErrorCode ListFolderIdentities(const std::wstring& folder,
                                   const std::function<void(const FolderEntryIdentity&)>& visit) override {
        DIR* listing = opendir(Narrow(folder).c_str());
        if (!listing) return 3;
        struct stat self {};
        fstat(dirfd(listing), &self);
        std::wstring name;
        while (const dirent* entry = readdir(listing)) {
            const std::string_view narrow(entry->d_name);
            if (narrow == "." || narrow == "..") continue;
            name.assign(narrow.begin(), narrow.end());
            visit({name, {}, {static_cast<std::uint64_t>(self.st_dev), 0, static_cast<std::uint64_t>(entry->d_ino)},
                   entry->d_type == DT_DIR, entry->d_type == DT_LNK});
        }
        closedir(listing);
        return 0;
    }
    std::optional<FileIdentity> IdentityOf(const std::wstring& path, ErrorCode* error) override {
        const std::optional<FileStamp> stamp = StampOf(path, error);
        if (!stamp) return std::nullopt;
        return stamp->identity;
    }
    std::optional<FileStamp> StampOf(const std::wstring& path, ErrorCode* error) override {
        struct stat info {};
        if (stat(Narrow(path).c_str(), &info) != 0) {
            if (error) *error = 2;
            return std::nullopt;
        }
        if (error) *error = 0;
        const auto modified = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 10000000u +
                              static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100u;
        return FileStamp{{static_cast<std::uint64_t>(info.st_dev), 0, static_cast<std::uint64_t>(info.st_ino)},
                         static_cast<std::uint64_t>(info.st_size), modified};
    }

private:
    static ErrorCode WriteFile(const std::string& path, std::string_view bytes) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return 5;
        const bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                        fsync(fd) == 0;
        close(fd);
        return ok ? 0 : 29;
    }
};

std::wstring BenchFolder() {
    mkdir("/tmp/tallowmere-bench", 0755);
    return L"/tmp/tallowmere-bench/";
}
#endif

// 200,000 lines: an #EXTINF line before each song, long paths, a third of the songs repeating
// an earlier one in another letter case.
std::string GeneratePlaylist(const std::wstring& songFolder, std::vector<std::wstring>& entries) {
    std::string bytes = "#EXTM3U\r\n";
    const std::string folder(songFolder.begin(), songFolder.end());
    std::vector<std::string> songs;
    for (int i = 0; songs.size() * 2 + 1 < 200000; ++i) {
        std::string song;
        if (i % 3 == 2 && !songs.empty()) {
            song = songs[static_cast<std::size_t>(i * 7919) % songs.size()];
            for (char& c : song) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        } else {
            char name[256];
            std::snprintf(name, sizeof name,
                          "Some Rather Long Artist Name %04d\\Album With A Long Title %03d\\%02d - "
                          "A Track Title That Is Fairly Long %06d.mp3",
                          i % 997, i % 211, i % 20, i);
            song = folder + name;
        }
        songs.push_back(song);
        bytes += "#EXTINF:" + std::to_string(180 + i % 200) + ",Artist " + std::to_string(i % 997) +
                 " - Title " + std::to_string(i) + "\r\n";
        bytes += song + "\r\n";
        entries.emplace_back(song.begin(), song.end());
    }
    return bytes;
}

template <typename F>
double Seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// An operation against its baseline: both timed in turn, round after round, so that a busy
// spell of the machine falls on both alike. The ratio is the operation's best time over the
// baseline's; the range is that of the ratios within single rounds.
struct Comparison {
    double operation = 1e30, baseline = 1e30;
    double lowest = 1e30, highest = 0;
    std::size_t peak = 0;  // bytes held through operator new at most during the operation
    double Ratio() const { return operation / baseline; }
};

template <typename Operation, typename Baseline, typename Reset>
Comparison Compare(int rounds, Operation&& operation, Baseline&& baseline, Reset&& reset) {
    Comparison result;
    for (int r = 0; r < rounds; ++r) {
        reset();
        const double base = Seconds(baseline);
        reset();
        const std::size_t before = g_current.load();
        g_peak = before;
        const double op = Seconds(operation);
        result.peak = std::max(result.peak, g_peak.load() - before);
        result.operation = std::min(result.operation, op);
        result.baseline = std::min(result.baseline, base);
        result.lowest = std::min(result.lowest, op / base);
        result.highest = std::max(result.highest, op / base);
    }
    return result;
}

// Playlists of unusual shapes, each about `size` bytes, for the peak-memory figures.
struct Shape {
    const char* name;
    std::wstring fileName;
    std::string bytes;
};

std::vector<Shape> MemoryShapes(std::size_t size) {
    std::vector<Shape> shapes;
    shapes.push_back({"only empty lines", L"empty.m3u", std::string(size, '\n')});
    std::string same;
    while (same.size() < size) same += "a\r\n";
    shapes.push_back({"1-byte lines, all alike", L"alike.m3u", same});
    // Every line different: three letters each, as many as fit.
    std::string distinct;
    for (std::size_t i = 0; distinct.size() < size; ++i) {
        distinct += static_cast<char>('0' + i % 64);
        distinct += static_cast<char>('0' + i / 64 % 64);
        distinct += static_cast<char>('0' + i / 4096 % 64);
        distinct += '\n';
    }
    shapes.push_back({"3-byte lines, all different", L"distinct.m3u", distinct});
    std::string repeats;
    for (std::size_t i = 0; repeats.size() < size; ++i) {
        repeats.append("s").append(std::to_string(10000 + i % 1000)).append(".mp3\r\n");
    }
    shapes.push_back({"9-byte lines, many repeats", L"repeats.m3u", repeats});
    shapes.push_back({"one huge line", L"huge.m3u", std::string(size, 'x')});
    // Non-ASCII: decoded for comparison. Two halves alike but for case.
    std::string wide;
    while (wide.size() < size / 2) wide += "\xC3\xA9";
    std::string upper;
    while (upper.size() < size / 2) upper += "\xC3\x89";
    shapes.push_back({"two huge UTF-8 lines", L"huge.m3u8", wide + "\r\n" + upper + "\r\n"});
    return shapes;
}

// Peak memory of every operation on every shape, as a multiple of the file's size.
void PrintMemoryShapes(BenchFileSystem& files, CountingHost& host, const std::wstring& folder,
                       std::size_t size) {
    const std::pair<const char*, RunOutcome (*)(const RunContext&, const std::wstring&)> operations[] = {
        {"tags", RemoveTagInfo}, {"missing", StripMissingSongs}, {"duplicates", StripDuplicates},
        {"copy", CopyToOneFolder}};
    std::printf("\npeak memory / file size (%.1f MB files; limit 3x):\n%-30s", static_cast<double>(size) / 1e6, "");
    for (const auto& operation : operations) std::printf(" %10s", operation.first);
    std::printf("\n");
    const RunContext context{host, files, folder};
    for (const Shape& shape : MemoryShapes(size)) {
        const std::wstring path = folder + shape.fileName;
        std::printf("%-30s", shape.name);
        for (const auto& operation : operations) {
            files.ReplaceWholeFile(path, shape.bytes);
            const std::size_t before = g_current.load();
            g_peak = before;
            const RunOutcome outcome = operation.second(context, path);
            const double peak = static_cast<double>(g_peak.load() - before) / static_cast<double>(shape.bytes.size());
            std::printf(" %9.2fx%s", peak, outcome == RunOutcome::Done ? " " : "!");
        }
        std::printf("\n");
        files.ReplaceWholeFile(path, "");
    }
}


void MakeEmptyFile(const std::wstring& path) {
#ifdef _WIN32
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
#else
    close(open(BenchFileSystem::Narrow(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
#endif
}

// Strip non-existant songs on a music library laid out as albums of twelve songs: every
// tenth album is gone with its folder, every ninth song of the others is missing. The files
// are made once (under root\Library\) and kept for the next run.
std::string LibraryPlaylist(BenchFileSystem& files, const std::wstring& root, std::size_t lines,
                            std::vector<std::wstring>& songs) {
    const std::wstring library = root + L"Library" + root.substr(root.size() - 1);
    const wchar_t separator = root.back();
    files.MakeFolder(library);
    // The marker names the number of songs: a library made for fewer is made again.
    const std::wstring marker = library + L"complete-" + std::to_wstring(lines);
    const bool made = files.FileLength(marker, nullptr).has_value();
    std::string bytes;
    wchar_t name[200];
    for (std::size_t song = 0; song < lines; ++song) {
        const std::size_t album = song / 12;
        std::swprintf(name, std::size(name), L"Artist Name %04zu%lcAlbum Title %02zu%lc", album / 8, separator,
                      album % 8, separator);
        const std::wstring folder = library + name;
        std::swprintf(name, std::size(name), L"%02zu - A Track Title That Is Fairly Long.mp3", song % 12);
        const std::wstring path = folder + name;
        songs.push_back(path);
        bytes.append(path.begin(), path.end()).append("\r\n");
        if (made || album % 10 == 9 || song % 9 == 4) continue;
        if (song % 12 == 0 || song == 0) {
            files.MakeFolder(folder.substr(0, folder.find_last_of(separator, folder.size() - 2) + 1));
            files.MakeFolder(folder);
        }
        MakeEmptyFile(path);
    }
    if (!made) MakeEmptyFile(marker);
    return bytes;
}

// Per-folder existence against bare per-entry questions of the same paths.
int LibraryMain(const std::wstring& root, std::size_t lines, int rounds) {
    BenchFileSystem files;
    CountingHost host;
    std::vector<std::wstring> songs;
    const std::string content = LibraryPlaylist(files, root, lines, songs);
    if (rounds == 0) return 0;  // the files only
    const std::wstring playlist = root + L"library.m3u";
    const RunContext context{host, files, root};
    auto reset = [&] { files.ReplaceWholeFile(playlist, content); };
    std::size_t present = 0;
    auto existence = [&] {
        present = 0;
        for (const std::wstring& path : songs) present += FileExists(files, path);
    };
    auto strip = [&] {
        if (StripMissingSongs(context, playlist) != RunOutcome::Done) std::fprintf(stderr, "run not done\n");
    };
    const Comparison library = Compare(rounds, strip, existence, reset);
    // What the run spends on the playlist itself: reading it and putting the new one in place.
    auto readWrite = [&] {
        std::string bytes;
        files.ReadWholeFile(playlist, bytes);
        files.ReplaceWholeFile(playlist, bytes);
    };
    const Comparison file = Compare(rounds, readWrite, existence, reset);
    std::printf("library: %zu songs in albums of 12, %zu present, %zu logged missing\n", songs.size(), present,
                host.logLines);
    std::printf("Strip non-existant songs: %.3f s, per-entry questions %.3f s: %.1fx faster "
                "(rounds %.1f-%.1fx)\n",
                library.operation, library.baseline, 1 / library.Ratio(), 1 / library.highest,
                1 / library.lowest);
    std::printf("of which reading and writing the playlist: %.3f s; the existence alone: %.1fx faster\n",
                file.operation, library.baseline / std::max(library.operation - file.operation, 1e-9));
    files.ReplaceWholeFile(playlist, "");
    return 0;
}

// Where listing a folder starts to pay: playlists that name k songs of each twelve-song
// album, answered once with every folder listed and once with every song asked directly,
// both as many at once as the file system allows (listing pays from the smallest k where it
// is faster), and as the program answers them, choosing by what each has cost so far.
int CutMain(const std::wstring& root, std::size_t lines, int rounds) {
    BenchFileSystem files;
    std::vector<std::wstring> songs;
    LibraryPlaylist(files, root, lines, songs);
    std::printf("listing each folder against asking each song, %zu albums of 12 (best of %d rounds):\n",
                songs.size() / 12, rounds);
    for (const std::size_t perAlbum : {1, 2, 3, 4, 6, 12}) {
        std::vector<std::wstring> named;
        for (std::size_t i = 0; i < songs.size(); ++i) {
            if (i % 12 < perAlbum) named.push_back(songs[i]);
        }
        auto answer = [&](FolderExistence::Listing listing, std::size_t& present) {
            FolderExistence existence(files, listing, 1);
            for (const std::wstring& path : named) existence.Add(path);
            existence.AnswerAll([](std::size_t) { return true; }, std::chrono::milliseconds(30));
            present = 0;
            for (std::size_t i = 0; i < named.size(); ++i) present += existence.Exists(i);
        };
        std::size_t listedPresent = 0, askedPresent = 0;
        const Comparison cut = Compare(
            rounds, [&] { answer(FolderExistence::Listing::Always, listedPresent); },
            [&] { answer(FolderExistence::Listing::Never, askedPresent); }, [] {});
        // What the program does: it measures both as it goes and takes the cheaper.
        std::size_t measuredPresent = 0;
        double measured = 1e30;
        for (int round = 0; round < rounds; ++round) {
            measured = std::min(measured, Seconds([&] { answer(FolderExistence::Listing::Measured, measuredPresent); }));
        }
        std::printf("  %2zu of 12 songs named: listing %.3f s, asking %.3f s: listing %.2fx as fast "
                    "(rounds %.2f-%.2fx); measured choice %.3f s%s\n",
                    perAlbum, cut.operation, cut.baseline, 1 / cut.Ratio(), 1 / cut.highest, 1 / cut.lowest,
                    measured, listedPresent == askedPresent && askedPresent == measuredPresent ? "" : " ANSWERS DIFFER");
    }
    return 0;
}

int Main(int argc, char** argv) {
    BenchFileSystem files;
    CountingHost host;
    const std::wstring folder = BenchFolder();
    const std::size_t shapeSize = argc > 1 ? static_cast<std::size_t>(std::atof(argv[1]) * 1e6) : 4000000;
    if (argc > 2 && std::string(argv[2]) == "memory") {
        PrintMemoryShapes(files, host, folder, shapeSize);
        return 0;
    }
    const std::wstring playlist = folder + L"bench.m3u";
    std::vector<std::wstring> entries;
    const std::string content = GeneratePlaylist(folder, entries);
    const RunContext context{host, files, folder};
    auto reset = [&] { files.ReplaceWholeFile(playlist, content); };
    reset();

    // Reading and writing the same file through the same layer.
    auto readWrite = [&] {
        std::string bytes;
        files.ReadWholeFile(playlist, bytes);
        files.ReplaceWholeFile(playlist, bytes);
    };
    // The bare existence checks of the very paths Strip non-existant songs tests.
    std::vector<std::wstring> checkedPaths;
    for (const std::wstring& entry : entries) {
        checkedPaths.push_back(EntryResolver(PlaylistFolder(playlist), DriveOfPath(context.programFolder)).Resolve(entry));
    }
    auto existence = [&] {
        std::size_t found = 0;
        for (const std::wstring& path : checkedPaths) found += FileExists(files, path);
        if (found == checkedPaths.size() + 1) std::puts("");
    };
    auto run = [&](RunOutcome (*operation)(const RunContext&, const std::wstring&)) {
        return [&context, &playlist, operation] {
            if (operation(context, playlist) != RunOutcome::Done) std::fprintf(stderr, "run not done\n");
        };
    };

    const Comparison duplicates = Compare(7, run(StripDuplicates), readWrite, reset);
    const std::size_t duplicateLines = host.logLines;
    const Comparison missing = Compare(3, run(StripMissingSongs), existence, reset);
    const Comparison tags = Compare(7, run(RemoveTagInfo), readWrite, reset);

    const double size = static_cast<double>(content.size());
    std::printf("playlist: %zu lines, %.1f MB, %zu duplicates logged\n", entries.size() * 2 + 1,
                size / 1e6, duplicateLines);
    std::printf("read+write %.3f s, existence checks %.3f s (best of the rounds)\n",
                std::min(duplicates.baseline, tags.baseline), missing.baseline);
    auto print = [&](const char* name, const Comparison& c, const char* baseline, const char* limit) {
        std::printf("%-25s %.3f s = %.2fx %-17s (limit %s; rounds %.2f-%.2fx); peak %.2fx file\n", name,
                    c.operation, c.Ratio(), baseline, limit, c.lowest, c.highest,
                    static_cast<double>(c.peak) / size);
    };
    print("Strip Duplicates:", duplicates, "read+write", "3x");
    print("Strip non-existant songs:", missing, "existence checks", "1.5x");
    print("Remove Tag Info:", tags, "read+write", "2x");
    std::printf("peak memory limit: 3x file + fixed overhead\n");
    PrintMemoryShapes(files, host, folder, shapeSize);
    files.ReplaceWholeFile(playlist, "");
    return 0;
}

}  // namespace
}  // namespace tallowmere::playlist

// playlist_bench [MB [memory]]          the operations against their baselines, and peak memory on
//                                       odd shapes of MB megabytes (default 4); "memory": the
//                                       shapes alone
// playlist_bench --library [folder [lines [rounds]]]
//                                       Strip non-existant songs on an album library (made in
//                                       folder, by default the bench's own; 200,000 lines)
// playlist_bench --cut [folder [lines [rounds]]]
//                                       the same library: listing each folder against asking
//                                       each song, for playlists naming 1 to 12 songs an album
int main(int argc, char** argv) {
    using namespace tallowmere::playlist;
    const std::string mode = argc >= 2 ? argv[1] : "";
    if (mode == "--library" || mode == "--cut") {
        std::wstring root = BenchFolder();
        if (argc >= 3 && argv[2][0] != '\0') {
            const std::string given = argv[2];
            root.assign(given.begin(), given.end());
        }
        const std::size_t lines = argc >= 4 ? std::strtoul(argv[3], nullptr, 10) : 200000;
        const int rounds = argc >= 5 ? std::atoi(argv[4]) : 3;
        return mode == "--library" ? LibraryMain(root, lines, rounds) : CutMain(root, lines, rounds);
    }
    return Main(argc, argv);
}
