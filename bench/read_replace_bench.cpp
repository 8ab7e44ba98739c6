// One plain read and replace of a playlist, timed in the process: the whole file read, the
// same bytes written to a temporary file beside it, flushed and renamed in its place (the
// program's own file layer, as every rewrite of a playlist does it). The baseline of the
// window's write after Yes in bench/window_relink_bench.sh.
// Usage: read_replace_bench PLAYLIST     (prints read_replace_ms=N)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "shell/win_file_system.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_replace_bench PLAYLIST\n");
        return 2;
    }
    tallowmere::shell::WinFileSystem files;
    const std::wstring path = argv[1];
    const auto start = std::chrono::steady_clock::now();
    std::string bytes;
    if (files.ReadWholeFile(path, bytes) != 0 || files.ReplaceWholeFile(path, bytes) != 0) {
        std::fprintf(stderr, "could not read and replace the playlist\n");
        return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("read_replace_ms=%.1f\nbytes=%zu\n", ms, bytes.size());
    return 0;
}
