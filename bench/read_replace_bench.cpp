// A plain read and replace of a playlist against the write a run makes after Yes, both timed in
// the process on the same file, median of five rounds each:
//  - read_replace_ms: the whole file read, the same bytes written to a temporary file beside
//    it, flushed and renamed in its place (the program's own file layer);
//  - write_with_backup_ms: the write of a run that has read the playlist and planned its new
//    content: the new content written and flushed beside it, the stamp checked, the old
//    content made the backup (under a second name) and the new content renamed in place.
// The baseline of the window's write after Yes in bench/window_relink_bench.sh, and the part of
// that write the program itself does.
// Usage: read_replace_bench PLAYLIST     (prints read_replace_ms=N, write_with_backup_ms=N)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/win_file_system.h"

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_replace_bench PLAYLIST\n");
        return 2;
    }
    using tallowmere::playlist::FileStamp;
    tallowmere::shell::WinFileSystem files;
    const std::wstring path = argv[1];
    std::vector<double> plain, withBackup;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        std::string bytes;
        if (files.ReadWholeFile(path, bytes) != 0 || files.ReplaceWholeFile(path, bytes) != 0) {
            std::fprintf(stderr, "could not read and replace the playlist\n");
            return 1;
        }
        plain.push_back(Milliseconds(start));

        FileStamp stamp;
        if (files.ReadWholeFile(path, bytes, &stamp) != 0) return 1;
        start = std::chrono::steady_clock::now();
        tallowmere::playlist::PendingReplacement pending;
        tallowmere::playlist::ReplaceStep failedAt{};
        if (files.PrepareReplacement(path, bytes, pending) != 0 ||
            files.CommitWithBackup(pending, path + L"_backup", stamp, failedAt) != 0) {
            std::fprintf(stderr, "could not write the playlist with its backup\n");
            return 1;
        }
        withBackup.push_back(Milliseconds(start));
    }
    std::printf("read_replace_ms=%.1f\nwrite_with_backup_ms=%.1f\n", Median(plain), Median(withBackup));
    return 0;
}
