// Times relink of a 100,000-entry playlist against a 100,000-file library, every entry moved,
// against a baseline measured in the same run: a bare recursive FindFirstFileExW walk of the
// library, the bare existence checks of the entries' old paths, and one read and one write of
// the playlist. Prints the ratio and the index's bytes per file. Windows build (run under Wine
// or on Windows): the library is walked through the program's own Win32 file system.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/counting_host.h"
#include "playlist/paths.h"
#include "playlist/relink.h"
#include "shell/win_file_system.h"

namespace tallowmere::playlist {
namespace {

constexpr int kArtists = 100;
constexpr int kAlbums = 10;   // per artist
constexpr int kTracks = 100;  // per album: 100,000 files

template <typename F>
double Seconds(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::wstring Track(int artist, int album, int track) {
    wchar_t path[160];
    std::swprintf(path, std::size(path), L"Artist %03d\\Album %02d of the Artist\\%03d Song Title of Track %05d.mp3",
                  artist, album, track, (artist * kAlbums + album) * kTracks + track);
    return path;
}

// The library, made once and kept for later runs (marked done by a file of its own).
void MakeLibrary(const std::wstring& library) {
    const std::wstring done = library + L"complete";
    if (GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    CreateDirectoryW(library.c_str(), nullptr);
    for (int artist = 0; artist < kArtists; ++artist) {
        for (int album = 0; album < kAlbums; ++album) {
            const std::wstring track = Track(artist, album, 0);
            CreateDirectoryW((library + track.substr(0, track.find(L'\\'))).c_str(), nullptr);
            CreateDirectoryW((library + track.substr(0, track.rfind(L'\\'))).c_str(), nullptr);
            for (int number = 0; number < kTracks; ++number) {
                const HANDLE file = CreateFileW((library + Track(artist, album, number)).c_str(), GENERIC_WRITE, 0,
                                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                CloseHandle(file);
            }
        }
    }
    CloseHandle(CreateFileW(done.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The bare walk: FindFirstFileExW with the basic information and large fetches, every folder.
std::size_t BareWalk(const std::wstring& folder) {
    std::size_t files = 0;
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring_view name(data.cFileName);
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files += BareWalk(folder + data.cFileName + L"\\");
        } else {
            ++files;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

int Main() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"tallowmere-relink-bench\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring library = folder + L"Library\\";
    std::printf("making the library (once)...\n");
    MakeLibrary(library);

    // The playlist names every file where it was before the library moved.
    std::vector<std::wstring> oldPaths;
    std::string bytes;
    for (int artist = 0; artist < kArtists; ++artist) {
        for (int album = 0; album < kAlbums; ++album) {
            for (int track = 0; track < kTracks; ++track) {
                oldPaths.push_back(folder + L"Old Music\\" + Track(artist, album, track));
                bytes.append(oldPaths.back().begin(), oldPaths.back().end());
                bytes += "\r\n";
            }
        }
    }
    const std::wstring playlist = folder + L"All.m3u";
    const std::wstring copy = folder + L"Copy.m3u";

    shell::WinFileSystem files;
    CountingHost host;
    const RunContext context{host, files, L"C:\\"};
    double bestIndexing = 1e9, bestBase = 1e9, bestOp = 1e9, bestWalk = 1e9, bestChecks = 1e9, bestIo = 1e9;
    std::vector<double> ratios;
    std::size_t indexBytes = 0, indexFiles = 0, walked = 0, relinked = 0;
    for (int round = 0; round < 3; ++round) {
        files.ReplaceWholeFile(playlist, bytes);
        files.ReplaceWholeFile(copy, bytes);
        const double walk = Seconds([&] { walked = BareWalk(library); });
        const double checks = Seconds([&] {
            for (const std::wstring& path : oldPaths) {
                if (FileExists(files, path)) std::fprintf(stderr, "an old path exists\n");
            }
        });
        const double io = Seconds([&] {
            std::string read;
            files.ReadWholeFile(copy, read);
            files.ReplaceWholeFile(copy, read);
        });
        double indexing = 0;
        const double op = Seconds([&] {
            LibraryIndex index;
            indexing = Seconds([&] { index = LibraryIndex::Build(context, {library}); });
            if (Relink(context, index, playlist) != RunOutcome::Done) std::fprintf(stderr, "relink not done\n");
            indexBytes = index.MemoryBytes();
            indexFiles = index.FileCount();
        });
        bestIndexing = std::min(bestIndexing, indexing);
        relinked = host.logLines;
        bestWalk = std::min(bestWalk, walk), bestChecks = std::min(bestChecks, checks), bestIo = std::min(bestIo, io);
        bestBase = std::min(bestBase, walk + checks + io);
        bestOp = std::min(bestOp, op);
        ratios.push_back(op / (walk + checks + io));
    }
    std::printf("library: %zu files walked; playlist: %zu entries, %.1f MB; %zu entries logged\n", walked,
                oldPaths.size(), bytes.size() / 1e6, relinked);
    std::printf("baseline %.3f s (walk %.3f s, existence checks %.3f s, read+write %.3f s)\n", bestBase, bestWalk,
                bestChecks, bestIo);
    std::printf("relink   %.3f s = %.2fx (limit 2x; rounds %.2f-%.2fx), of which the library's index %.3f s\n",
                bestOp, bestOp / bestBase,
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()), bestIndexing);
    std::printf("index    %zu bytes for %zu files = %.0f bytes per file (limit 200)\n", indexBytes, indexFiles,
                static_cast<double>(indexBytes) / static_cast<double>(std::max<std::size_t>(indexFiles, 1)));
    return 0;
}

}  // namespace
}  // namespace tallowmere::playlist

int main() { return tallowmere::playlist::Main(); }
