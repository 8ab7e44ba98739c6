// tallowmere-cli: the playlist operations and repairs from the command line, for batch use.
// It runs the very operations the window runs; only the host differs: the error log goes
// to standard output, what the window shows in a box goes to standard error. Its one batch
// layer turns the arguments into distinct playlists (cli_playlists.h); each then goes through
// the run every operation takes (playlist/run.h).
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "playlist/operations.h"
#include "playlist/relink.h"
#include "playlist/run.h"
#include "playlist/text_codec.h"
#include "cli/cli_arguments.h"
#include "cli/cli_playlists.h"
#include "cli/dry_run_file_system.h"
#include "shell/failure_text.h"
#include "shell/platform.h"
#include "shell/win_file_system.h"

namespace tallowmere::cli {
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
        // Undecodable playlist bytes in a log line are shown as U+FFFD, which UTF-8 can hold.
        const std::string bytes =
            playlist::EncodeText(playlist::ReplaceLoneSurrogates(text), playlist::TextEncoding::Utf8)
                .value_or(std::string());
        WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

private:
    HANDLE handle_;
    bool console_ = false;
};

// Each line of text, on standard error, after the path it concerns.
void WriteAbout(const OutputStream& err, const std::wstring& path, const std::wstring& text) {
    std::wstring lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring_view line(text.data() + start, end - start);
        // Messages that belong to no playlist (a library folder that cannot be listed) name
        // their own subject.
        if (!path.empty()) lines += path + (line.empty() ? L":" : L": ");
        lines += std::wstring(line) + L"\n";
        if (end < text.size() && text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ++end;
        start = end + 1;
    }
    err.Write(lines);
}

// Ctrl+C, Ctrl+Break and closing the console. The system calls the handler on a thread of
// its own; it only raises a flag that every long phase reads at least every event interval
// (OperationHost::Cancelled: walks, expansions, passes, copies) and that is read between
// playlists. Closing the console ends the process as soon as the handler returns, so then the
// handler waits (a little less than the five seconds the system grants) until the main thread
// has left the run in hand: its temporary files gone, no playlist half replaced.
class ConsoleInterruption {
public:
    ConsoleInterruption() {
        current_ = this;
        // A process started in a new process group ignores Ctrl+C until it asks for it.
        SetConsoleCtrlHandler(nullptr, FALSE);
        SetConsoleCtrlHandler(&Handler, TRUE);
    }
    ~ConsoleInterruption() {
        SetConsoleCtrlHandler(&Handler, FALSE);
        current_ = nullptr;
        CloseHandle(safe_);
    }
    ConsoleInterruption(const ConsoleInterruption&) = delete;
    ConsoleInterruption& operator=(const ConsoleInterruption&) = delete;

    bool Requested() const { return requested_.load(); }
    // Around one playlist's run, during which ending the process could cut a step short.
    void EnterRun() { ResetEvent(safe_); }
    void LeaveRun() { SetEvent(safe_); }

private:
    static BOOL WINAPI Handler(DWORD event) {
        ConsoleInterruption* self = current_.load();
        if (self == nullptr) return FALSE;
        self->requested_ = true;
        if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
            WaitForSingleObject(self->safe_, 4500);
        }
        return TRUE;
    }

    // The handler has no context argument: the one live instance is found here.
    static inline std::atomic<ConsoleInterruption*> current_{nullptr};
    std::atomic<bool> requested_{false};
    HANDLE safe_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);  // manual reset, set between runs
};

class ConsoleHost final : public playlist::OperationHost {
public:
    ConsoleHost(const OutputStream& out, const OutputStream& err, bool quiet,
                const ConsoleInterruption& interruption)
        : out_(out), err_(err), quiet_(quiet), interruption_(interruption) {}

    // labelOutput: put the playlist's path and a tab before every log line (several
    // playlists in one run).
    void BeginPlaylist(const std::wstring& path, bool labelOutput) {
        playlist_ = path;
        labelOutput_ = labelOutput;
        started_ = std::chrono::steady_clock::now();
    }

    void EndPlaylist() { EraseProgress(); }

    void ClearLog() override { logCount_ = 0; }
    void AppendLog(const std::wstring& line) override {
        ++logCount_;
        if (quiet_) return;
        EraseProgress();
        out_.Write(labelOutput_ ? playlist_ + L"\t" + line + L"\n" : line + L"\n");
    }
    std::size_t LogCount() const override { return logCount_; }
    void ShowBusy(bool) override {}
    void SetCaption(const std::wstring&) override {}
    void ShowMessage(const std::wstring& prompt) override {
        EraseProgress();
        WriteAbout(err_, playlist_, prompt);
    }
    void ReportSummary(const std::wstring& summary) override { ShowMessage(summary); }
    void ReportFailure(const playlist::FileFailure& failure) override {
        EraseProgress();
        WriteAbout(err_, playlist_, shell::FailureLine(failure));
    }
    bool Cancelled() const override { return interruption_.Requested(); }
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
    const ConsoleInterruption& interruption_;
    std::size_t logCount_ = 0;
    std::wstring playlist_;
    bool labelOutput_ = false;
    std::chrono::steady_clock::time_point started_;
    std::size_t progressWidth_ = 0;
    std::chrono::steady_clock::time_point lastFound_;
};

playlist::RunOutcome RunOne(CliOperation operation, const playlist::RunContext& context,
                            const std::wstring& path, const playlist::LibraryIndex* library) {
    switch (operation) {
    case CliOperation::RemoveTags: return playlist::RemoveTagInfo(context, path);
    case CliOperation::StripMissing: return playlist::StripMissingSongs(context, path);
    case CliOperation::StripDupes: return playlist::StripDuplicates(context, path);
    case CliOperation::CopyToFolder: return playlist::CopyToOneFolder(context, path);
    case CliOperation::Relink: return playlist::Relink(context, *library, path);
    case CliOperation::MakeRelative: return playlist::MakeRelative(context, path);
    case CliOperation::MakeAbsolute: return playlist::MakeAbsolute(context, path);
    case CliOperation::Restore: return playlist::RestoreBackup(context, path);
    }
    return playlist::RunOutcome::Failed;
}

// The product name and version from this exe's own version record, as "name version".
std::optional<std::wstring> VersionRecordText() {
    const std::wstring exePath = shell::ProgramPath();
    if (exePath.empty()) return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exePath.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<unsigned char> record(size);
    if (!GetFileVersionInfoW(exePath.c_str(), 0, size, record.data())) return std::nullopt;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT translationSize = 0;
    if (!VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &translationSize) ||
        translationSize < sizeof(Translation)) {
        return std::nullopt;
    }
    const auto value = [&](const wchar_t* name) -> std::optional<std::wstring> {
        wchar_t key[64];
        std::swprintf(key, std::size(key), L"\\StringFileInfo\\%04x%04x\\%ls", translation->language,
                      translation->codePage, name);
        wchar_t* text = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(record.data(), key, reinterpret_cast<void**>(&text), &length) || length == 0) {
            return std::nullopt;
        }
        return std::wstring(text, wcsnlen(text, length));
    };
    const std::optional<std::wstring> product = value(L"ProductName");
    const std::optional<std::wstring> version = value(L"ProductVersion");
    if (!product || !version) return std::nullopt;
    return *product + L" " + *version;
}

// The playlist arguments' folders, read through the real file system.
class WinFolderSource final : public FolderSource {
public:
    explicit WinFolderSource(shell::WinFileSystem& files) : files_(files) {}
    bool IsFolder(const std::wstring& path) override {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    playlist::ErrorCode ListFolder(const std::wstring& folder,
                                   const std::function<void(const playlist::FolderEntry&)>& visit) override {
        return files_.ListFolder(folder, visit);
    }
    std::optional<std::wstring> IdentityKey(const std::wstring& path) override {
        const std::optional<playlist::FileIdentity> identity = files_.IdentityOf(path);
        if (!identity) return std::nullopt;
        if (identity->Known()) {
            return L"id:" + std::to_wstring(identity->volume) + L":" + std::to_wstring(identity->indexHigh) + L":" +
                   std::to_wstring(identity->indexLow);
        }
        // No usable file index on this volume: the path the file system finally gives it.
        const std::optional<std::wstring> final = shell::FinalPathOf(path);
        return final ? std::optional<std::wstring>(L"path:" + *final) : std::nullopt;
    }

private:
    shell::WinFileSystem& files_;
};

constexpr int kInterruptedStatus = 130;  // as shells report a program ended by Ctrl+C

int Run(const std::vector<std::wstring>& arguments) {
    const OutputStream out(STD_OUTPUT_HANDLE);
    const OutputStream err(STD_ERROR_HANDLE);

    const CliParse parse = ParseCliArguments(arguments);
    if (parse.kind == CliParse::Kind::Help) {
        out.Write(CliUsage());
        return 0;
    }
    if (parse.kind == CliParse::Kind::Version) {
        const std::optional<std::wstring> version = VersionRecordText();
        if (!version) {
            err.Write(L"tallowmere-cli: this program carries no readable version record\n");
            return 1;
        }
        out.Write(*version + L"\n");
        return 0;
    }
    if (parse.kind == CliParse::Kind::UsageError) {
        err.Write(L"tallowmere-cli: " + parse.problem + L"\n\n" + CliUsage());
        return 2;
    }

    const CliRequest& request = parse.request;
    // Every library folder is checked before anything is walked or run.
    std::vector<std::wstring> libraryFolders;
    for (const std::wstring& folder : request.libraryFolders) {
        const DWORD attributes = GetFileAttributesW(shell::LongPathForm(shell::FullPath(folder)).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            err.Write(L"tallowmere-cli: --in " + folder + L": no such folder\n\n" + CliUsage());
            return 2;
        }
        libraryFolders.push_back(shell::FullPath(folder));
    }

    ConsoleInterruption interruption;
    shell::WinFileSystem realFiles;
    DryRunFileSystem dryRunFiles(realFiles);
    playlist::FileSystem& files = request.dryRun ? static_cast<playlist::FileSystem&>(dryRunFiles) : realFiles;
    ConsoleHost host(out, err, request.quiet, interruption);
    const playlist::RunContext context{host, files, shell::ProgramFolder(), request.dryRun};

    WinFolderSource folders(realFiles);
    const ExpandedPlaylists expanded = ExpandPlaylistArguments(folders, request.playlists, request.recursive,
                                                               [&] { return interruption.Requested(); });
    if (expanded.stopped) {
        err.Write(L"tallowmere-cli: interrupted; nothing was changed\n");
        return kInterruptedStatus;
    }
    // The library is walked once for all playlists (relink only).
    std::optional<playlist::LibraryIndex> library;
    if (request.operation == CliOperation::Relink) {
        library = playlist::FailingWhenOutOfMemory(host, libraryFolders.front(), [&] {
            return playlist::LibraryIndex::Build(context, libraryFolders);
        });
        host.EndPlaylist();
        if (interruption.Requested()) {
            err.Write(L"tallowmere-cli: interrupted; nothing was changed\n");
            return kInterruptedStatus;
        }
        if (!library) return 1;
    }
    int status = 0;
    for (const std::wstring& problem : expanded.problems) {
        err.Write(problem + L"\n");
        status = 1;
    }
    const bool labelOutput = expanded.playlists.size() > 1;
    for (const std::wstring& path : expanded.playlists) {
        if (interruption.Requested()) return kInterruptedStatus;
        // The window's selected path is always a full one (its lists compose it); a name
        // given relative to the current folder is made full the same way, so that Copy to
        // One Folder, for one, can make its folder beside the playlist.
        host.BeginPlaylist(path, labelOutput);
        interruption.EnterRun();
        const playlist::RunOutcome outcome =
            RunOne(request.operation, context, shell::FullPath(path), library ? &*library : nullptr);
        interruption.LeaveRun();
        host.EndPlaylist();
        if (outcome == playlist::RunOutcome::Cancelled) {
            WriteAbout(err, path, L"interrupted; the playlist was left as it was");
            return kInterruptedStatus;
        }
        if (interruption.Requested()) {
            WriteAbout(err, path, L"interrupted; this playlist was finished, later ones were not started");
            return kInterruptedStatus;
        }
        if (outcome != playlist::RunOutcome::Done) status = 1;
    }
    return status;
}

}  // namespace
}  // namespace tallowmere::cli

int wmain(int argc, wchar_t** argv) {
    // No "insert a disk" dialogs from a batch tool.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::vector<std::wstring> arguments(argv + 1, argv + argc);
    return tallowmere::cli::Run(arguments);
}
