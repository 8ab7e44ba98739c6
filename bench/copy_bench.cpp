// Times Copy to One Folder on a playlist of 300 songs of 200 KB against copying the same files
// with CopyFileW in a loop, in the same run: the two alternate which goes first, several
// rounds, and the medians are compared. Not a test: it prints figures. Windows build only (run
// it under Wine or on Windows).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/counting_host.h"
#include "playlist/operations.h"
#include "shell/win_file_system.h"

namespace tallowmere::playlist {
namespace {

constexpr int kSongs = 300;
constexpr std::size_t kSongBytes = 200 * 1024;
constexpr int kRounds = 15;


bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    CloseHandle(file);
    return ok;
}

void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(folder + name + L"\\");
            } else {
                DeleteFileW((folder + name).c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double Seconds(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Main() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const std::wstring folder = std::wstring(base) + L"tallowmere-copy-bench-" +
                                std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"Music").c_str(), nullptr);
    CreateDirectoryW((folder + L"baseline").c_str(), nullptr);

    std::string playlist = "#EXTM3U\r\n";
    std::vector<std::wstring> names;
    std::string song(kSongBytes, '\0');
    for (int i = 0; i < kSongs; ++i) {
        for (std::size_t b = 0; b < song.size(); ++b) song[b] = static_cast<char>((b * 31 + i) & 0xFF);
        const std::wstring name = L"Artist " + std::to_wstring(i % 17) + L" - Song " + std::to_wstring(i) + L".mp3";
        names.push_back(name);
        if (!WriteFileBytes(folder + L"Music\\" + name, song)) {
            std::fprintf(stderr, "cannot write the songs\n");
            return 1;
        }
        const std::string narrow(name.begin(), name.end());
        playlist += "#EXTINF:200," + narrow.substr(0, narrow.size() - 4) + "\r\nMusic\\" + narrow + "\r\n";
    }
    const std::wstring playlistPath = folder + L"list.m3u";
    WriteFileBytes(playlistPath, playlist);

    CountingHost host;
    shell::WinFileSystem files;
    const RunContext context{host, files, L"C:\\"};
    auto copyToOneFolder = [&] {
        if (CopyToOneFolder(context, playlistPath) != RunOutcome::Done || host.logLines != 0) {
            std::fprintf(stderr, "the run failed\n");
            std::exit(1);
        }
    };
    auto copyFileLoop = [&] {
        for (const std::wstring& name : names) {
            if (!CopyFileW((folder + L"Music\\" + name).c_str(), (folder + L"baseline\\" + name).c_str(), FALSE)) {
                std::fprintf(stderr, "CopyFileW failed\n");
                std::exit(1);
            }
        }
    };
    // One of each first: both then replace files that exist, as every later round does.
    copyToOneFolder();
    copyFileLoop();

    std::vector<double> operation, baseline;
    for (int round = 0; round < kRounds; ++round) {
        if (round % 2 == 0) {
            operation.push_back(Seconds(copyToOneFolder));
            baseline.push_back(Seconds(copyFileLoop));
        } else {
            baseline.push_back(Seconds(copyFileLoop));
            operation.push_back(Seconds(copyToOneFolder));
        }
    }
    RemoveFolder(folder);

    // The ratio of each round's pair as well: the machine's speed drifts between rounds.
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) ratios.push_back(operation[round] / baseline[round]);
    const double op = Median(operation), loop = Median(baseline), ratio = Median(ratios);
    std::printf("Copy to One Folder, %d songs of %zu KB, median of %d rounds\n", kSongs,
                kSongBytes / 1024, kRounds);
    std::printf("  operation        %.3f s\n  CopyFileW loop   %.3f s\n", op, loop);
    std::printf("  ratio of medians %.2fx, median of round ratios %.2fx (limit 1.2x)\n", op / loop, ratio);
    return ratio <= 1.2 ? 0 : 2;
}

}  // namespace
}  // namespace tallowmere::playlist

int main() { return tallowmere::playlist::Main(); }
