#pragma once
// tallowmere-cli started as a second process under Wine (or Windows): its output read back
// from files, the bytes of a folder before and after, and a break sent while it runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#ifndef TALLOWMERE_CLI_EXE
#error TALLOWMERE_CLI_EXE must name the built tallowmere-cli.exe
#endif

namespace tallowmere::cli_testing {

namespace fs = std::filesystem;

// The CLI exe, given by the build as a Unix path; under Wine that is drive Z:.
inline std::wstring CliExePath() {
    std::wstring path = fs::path(TALLOWMERE_CLI_EXE).wstring();
    if (!path.empty() && path[0] == L'/') {
        std::replace(path.begin(), path.end(), L'/', L'\\');
        path = L"Z:" + path;
    }
    return path;
}

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every file below root, by its path relative to root, with its bytes.
inline std::map<std::wstring, std::string> Snapshot(const fs::path& root) {
    std::map<std::wstring, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).wstring()] = ReadBytes(entry.path());
    }
    return files;
}

inline std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

inline std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstringstream stream(text);
    for (std::wstring line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

struct CliResult {
    DWORD exitCode = 0;
    std::wstring out;
    std::wstring err;
};

// tallowmere-cli started in workFolder with its output redirected into files (so it writes
// UTF-8); Finish waits for it and reads them.
class StartedCli {
public:
    StartedCli(const std::wstring& arguments, const fs::path& workFolder, fs::path outPath, fs::path errPath,
               DWORD creationFlags, const std::wstring& exe = CliExePath())
        : outPath_(std::move(outPath)), errPath_(std::move(errPath)) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        out_ = CreateFileW(outPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                           nullptr);
        err_ = CreateFileW(errPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                           nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out_;
        startup.hStdError = err_;
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        const std::wstring folder = workFolder.wstring();
        started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, creationFlags, nullptr,
                                  folder.c_str(), &startup, &process_) != FALSE;
    }
    StartedCli(const StartedCli&) = delete;
    StartedCli& operator=(const StartedCli&) = delete;
    ~StartedCli() { Finish(0); }

    bool Started() const { return started_; }
    HANDLE Process() const { return process_.hProcess; }

    // Waits up to waitMs for the program's end (ending it if it has not), then reads its
    // output; the exit code is 0xDEAD when it did not start.
    CliResult Finish(DWORD waitMs) {
        CliResult result;
        result.exitCode = 0xDEAD;
        if (started_) {
            if (WaitForSingleObject(process_.hProcess, waitMs) == WAIT_TIMEOUT)
                TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
            GetExitCodeProcess(process_.hProcess, &result.exitCode);
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
            started_ = false;
        }
        if (out_ != INVALID_HANDLE_VALUE) CloseHandle(out_);
        if (err_ != INVALID_HANDLE_VALUE) CloseHandle(err_);
        out_ = err_ = INVALID_HANDLE_VALUE;
        result.out = FromUtf8(ReadBytes(outPath_));
        result.err = FromUtf8(ReadBytes(errPath_));
        return result;
    }

private:
    fs::path outPath_;
    fs::path errPath_;
    HANDLE out_ = INVALID_HANDLE_VALUE;
    HANDLE err_ = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// Runs tallowmere-cli (the build's, or exe) in workFolder and waits for it. The output files
// go beside workFolder, so snapshots of it do not see them.
inline CliResult RunCli(const std::wstring& arguments, const fs::path& workFolder,
                        const std::wstring& exe = CliExePath()) {
    static int run = 0;
    ++run;
    // Detached: no console, so no console host that would hold the output files open after
    // the program has ended (and keep the test's folder from being removed).
    StartedCli cli(
        arguments, workFolder, workFolder.parent_path() / (L"out-" + std::to_wstring(run) + L".txt"),
        workFolder.parent_path() / (L"err-" + std::to_wstring(run) + L".txt"), DETACHED_PROCESS, exe);
    return cli.Finish(60000);
}

inline std::wstring Quoted(const fs::path& path) { return L"\"" + path.wstring() + L"\""; }

// A run interrupted by Ctrl+C, as a user at the console sends it.
struct BrokenRun {
    CliResult result;
    bool runningAtBreak = false;  // false: the run ended before the break came
    ULONGLONG breakToEndMs = 0;   // from the break to the program's end
};

// Starts tallowmere-cli on a console of the test's own, which the program shares, and sends
// Ctrl+C to it after breakAfterMs. The event goes to every process on that console; the test
// ignores it, but only from after the program has started, since a child inherits that
// setting. (Under Wine, CTRL_BREAK_EVENT to a new process group is refused.)
inline BrokenRun RunAndBreak(const std::wstring& arguments, const fs::path& workFolder,
                             const fs::path& outPath, const fs::path& errPath, DWORD breakAfterMs) {
    BrokenRun run;
    FreeConsole();
    if (!AllocConsole()) {
        ADD_FAILURE() << "no console for the break: " << GetLastError();
        return run;
    }
    SetConsoleCtrlHandler(nullptr, FALSE);
    // Not detached: on the test's console, where the break is sent.
    StartedCli cli(arguments, workFolder, outPath, errPath, 0);
    if (!cli.Started()) {
        ADD_FAILURE() << "tallowmere-cli did not start: " << GetLastError();
        return run;
    }
    Sleep(breakAfterMs);
    run.runningAtBreak = WaitForSingleObject(cli.Process(), 0) == WAIT_TIMEOUT;
    SetConsoleCtrlHandler(nullptr, TRUE);
    const ULONGLONG sent = GetTickCount64();
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    WaitForSingleObject(cli.Process(), 60000);
    run.breakToEndMs = GetTickCount64() - sent;
    run.result = cli.Finish(0);
    return run;
}

// The names in a folder, sorted.
inline std::vector<std::wstring> NamesIn(const fs::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder under the system's temporary folder for each test, removed after it.
class CliFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root_ = fs::path(temp) / (L"tallowmere-cli-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(GetTickCount64()));
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path root_;
};

}  // namespace tallowmere::cli_testing
