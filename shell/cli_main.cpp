// tallowmere-cli: the four playlist operations from the command line, for batch use.
// It runs the very operations the window runs; only the host differs: the error log goes
// to standard output, what the window shows in a box goes to standard error.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/relative_paths.h"
#include "playlist/relink.h"
#include "playlist/restore.h"
#include "playlist/text_codec.h"
#include "shell/cli_arguments.h"
#include "shell/dry_run_file_system.h"
#include "shell/failure_text.h"
#include "shell/platform.h"
#include "shell/win_file_system.h"

namespace tallowmere::shell {
namespace {

// Standard output or error: WriteConsoleW on a console, UTF-8 bytes when redirected.
class OutputStream {
public:
    explicit OutputStream(DWORD which) : handle_(GetStdHandle(which)) {
        DWORD mode = 0;
        console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
    }

    bool IsConsole() const { return console_; }

    void Write(const std::wstring& text) const {
        if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE || text.empty()) return;
        DWORD written = 0;
        if (console_) {
            WriteConsoleW(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            return;
        }
        const std::string bytes = playlist::EncodeText(text, playlist::TextEncoding::Utf8);
        WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

private:
    HANDLE handle_;
    bool console_ = false;
};

class ConsoleHost final : public playlist::OperationHost {
public:
    ConsoleHost(const OutputStream& out, const OutputStream& err, bool quiet)
        : out_(out), err_(err), quiet_(quiet) {}

    void BeginPlaylist(const std::wstring& path) {
        playlist_ = path;
        started_ = std::chrono::steady_clock::now();
    }

    void EndPlaylist() { EraseProgress(); }

    void ClearLog() override { logCount_ = 0; }
    void AppendLog(const std::wstring& line) override {
        ++logCount_;
        if (quiet_) return;
        EraseProgress();
        out_.Write(line + L"\n");
    }
    std::size_t LogCount() const override { return logCount_; }
    void ShowBusy(bool) override {}
    void SetCaption(const std::wstring&) override {}
    void ShowMessage(const std::wstring& prompt) override {
        EraseProgress();
        err_.Write(prompt + L"\n");
    }
    void ReportFailure(const playlist::FileFailure& failure) override {
        EraseProgress();
        err_.Write(FailureLine(failure) + L"\n");
    }
    void LetEventsRun() override {}

    // While a music library is walked: files found so far, on a console, at most every 100 ms.
    void ReportFilesFound(std::size_t found) override {
        if (!err_.IsConsole()) return;
        const auto now = std::chrono::steady_clock::now();
        if (progressWidth_ != 0 && now - lastFound_ < std::chrono::milliseconds(100)) return;
        lastFound_ = now;
        std::wstring line = L"\r" + std::to_wstring(found) + L" files found";
        if (line.size() < progressWidth_) line.append(progressWidth_ - line.size(), L' ');
        progressWidth_ = line.size();
        err_.Write(line);
    }

    // Progress is drawn on a console only; asked for nowhere else, the operations do not
    // even count the lines.
    bool WantsProgress() const override { return err_.IsConsole(); }
    // One line of progress on a console, once a playlist has taken more than a second.
    void ReportProgress(std::size_t done, std::size_t total) override {
        if (!err_.IsConsole()) return;
        if (std::chrono::steady_clock::now() - started_ < std::chrono::seconds(1)) return;
        std::wstring line = L"\r" + std::to_wstring(done) + L" of " + std::to_wstring(total) +
                            L" lines: " + playlist_;
        if (line.size() > 79) line.resize(79);
        if (line.size() < progressWidth_) line.append(progressWidth_ - line.size(), L' ');
        progressWidth_ = line.size();
        err_.Write(line);
    }

private:
    void EraseProgress() {
        if (progressWidth_ == 0) return;
        err_.Write(L"\r" + std::wstring(progressWidth_ - 1, L' ') + L"\r");
        progressWidth_ = 0;
    }

    const OutputStream& out_;
    const OutputStream& err_;
    bool quiet_;
    std::size_t logCount_ = 0;
    std::wstring playlist_;
    std::chrono::steady_clock::time_point started_;
    std::size_t progressWidth_ = 0;
    std::chrono::steady_clock::time_point lastFound_;
};

playlist::RunOutcome RunOne(CliOperation operation, const playlist::RunContext& context,
                            const std::wstring& path, const playlist::LibraryIndex& library) {
    switch (operation) {
    case CliOperation::RemoveTags: return playlist::RemoveTagInfo(context, path);
    case CliOperation::StripMissing: return playlist::StripMissingSongs(context, path);
    case CliOperation::StripDupes: return playlist::StripDuplicates(context, path);
    case CliOperation::CopyToFolder: return playlist::CopyToOneFolder(context, path);
    case CliOperation::Relink: return playlist::Relink(context, library, path);
    case CliOperation::MakeRelative: return playlist::MakeRelative(context, path);
    case CliOperation::MakeAbsolute: return playlist::MakeAbsolute(context, path);
    case CliOperation::Restore: return playlist::RestoreBackup(context, path);
    }
    return playlist::RunOutcome::Failed;
}

int Run(const std::vector<std::wstring>& arguments) {
    const OutputStream out(STD_OUTPUT_HANDLE);
    const OutputStream err(STD_ERROR_HANDLE);

    const CliParse parse = ParseCliArguments(arguments);
    if (parse.kind == CliParse::Kind::Help) {
        out.Write(CliUsage());
        return 0;
    }
    if (parse.kind == CliParse::Kind::UsageError) {
        err.Write(L"tallowmere-cli: " + parse.problem + L"\n\n" + CliUsage());
        return 2;
    }

    const CliRequest& request = parse.request;
    WinFileSystem realFiles;
    DryRunFileSystem dryRunFiles(realFiles);
    playlist::FileSystem& files = request.dryRun ? static_cast<playlist::FileSystem&>(dryRunFiles) : realFiles;
    ConsoleHost host(out, err, request.quiet);
    const playlist::RunContext context{host, files, ProgramFolder()};

    // The library is walked once for all playlists (relink only).
    std::vector<std::wstring> libraryFolders;
    for (const std::wstring& folder : request.libraryFolders) libraryFolders.push_back(FullPath(folder));
    const playlist::LibraryIndex library = playlist::LibraryIndex::Build(context, libraryFolders);
    host.EndPlaylist();

    int status = 0;
    for (const std::wstring& path : request.playlists) {
        // The window's selected path is always a full one (its lists compose it); a name
        // given relative to the current folder is made full the same way, so that Copy to
        // One Folder, for one, can make its folder beside the playlist.
        host.BeginPlaylist(path);
        const playlist::RunOutcome outcome = RunOne(request.operation, context, FullPath(path), library);
        host.EndPlaylist();
        if (outcome != playlist::RunOutcome::Done) status = 1;
    }
    return status;
}

}  // namespace
}  // namespace tallowmere::shell

int wmain(int argc, wchar_t** argv) {
    // No "insert a disk" dialogs from a batch tool.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    return tallowmere::shell::Run(arguments);
}
