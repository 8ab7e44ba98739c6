#pragma once
// Guards Winamp's main playlist in watch mode. See main_playlist_watcher.cpp for the
// design note. The watcher never touches a window: files, clock, boxes and ending the
// program come through WatcherHost, so tests drive it with real files and scripted answers.
#include <cstdint>
#include <optional>
#include <string>

namespace tallowmere::watcher {

struct LocalTime {
    int hour = 0;   // 0-23
    int day = 1;    // 1-31
    int month = 1;  // 1-12
};

enum class BoxButtons { Ok, YesNo };  // YesNo: Yes is the default button
enum class BoxIcon { None, Question, Critical };
enum class BoxAnswer { Ok, Yes, No };

enum class RenameResult {
    Done,
    NameTaken,  // the new name exists already; nothing was changed
    Failed,     // any other reason (old name missing, access denied...)
};

// A file's place on its volume. Some network and virtual-machine file systems report index
// 0 for every file: that identifies nothing, and such a stamp carries no index at all.
struct FileIndex {
    std::uint64_t high = 0;  // the upper half of a 128-bit file id (ReFS); 0 on NTFS
    std::uint64_t low = 0;
    friend bool operator==(const FileIndex&, const FileIndex&) = default;
};

// What tells whether a file is still the one seen earlier. Without an index, only the
// volume, length and last write time are compared: another file of the same length and
// time cannot be told apart there.
struct FileStamp {
    std::uint64_t volume = 0;  // the volume's serial number
    std::optional<FileIndex> index;
    std::uint64_t length = 0;
    std::uint64_t lastWrite = 0;  // FILETIME ticks
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

enum class GuardedCopyResult {
    Done,
    TargetChanged,  // the target no longer carries the expected stamp; nothing was changed
    Failed,
};

class WatcherHost {
public:
    virtual ~WatcherHost() = default;
    // Length in bytes of a file; nothing when it or its folder cannot be read.
    virtual std::optional<std::uint64_t> FileLength(const std::wstring& path) = 0;
    // The stamp of a file; nothing when it or its folder cannot be read, or it is a folder.
    // Works while another program holds the file open.
    virtual std::optional<FileStamp> StampOf(const std::wstring& path) = 0;
    virtual bool CopyReplacing(const std::wstring& from, const std::wstring& to) = 0;
    // Copies from over to only if to still carries expected, checked at the last moment
    // before it is replaced.
    virtual GuardedCopyResult CopyReplacingIfStill(const std::wstring& from, const std::wstring& to,
                                                   const FileStamp& expected) = 0;
    // Never replaces an existing file.
    virtual RenameResult RenameNoReplace(const std::wstring& from, const std::wstring& to) = 0;
    virtual LocalTime Now() = 0;
    // A modal box. Empty title: the box carries "Tallowmere".
    virtual BoxAnswer ShowBox(const std::wstring& prompt, BoxButtons buttons, BoxIcon icon,
                              const std::wstring& title) = 0;
    // Ends the program at once.
    virtual void EndProgram() = 0;
};

struct WatchedFiles {
    std::wstring mainPlaylist;
    std::wstring mainBackup;
};

// "C:\Program Files\Winamp\winamp.m3u" and "...winamp.m3u.bak".
WatchedFiles DefaultWatchedFiles();

// Consecutive failed ticks that end the program: twelve ticks of 5 s, one minute.
inline constexpr int kFailedTicksBeforeShutdown = 12;

class MainPlaylistWatcher {
public:
    MainPlaylistWatcher(WatcherHost& host, WatchedFiles files);

    // One tick of tmrWatchFile (every 5000 ms).
    void tmrWatchFile_Timer();

    int WFFails() const { return WFFails_; }

private:
    // Steps 1-4 of a tick; false at the first failure (the rest is abandoned).
    bool CompareAndAct();
    bool Shrunk(std::uint64_t shrunkLength);
    bool Restore(const FileStamp& asked);
    bool Archive();
    BoxAnswer Ask(const std::wstring& prompt, BoxButtons buttons, BoxIcon icon,
                  const std::wstring& title);

    WatcherHost& host_;
    WatchedFiles files_;
    std::int16_t WFFails_ = 0;
    bool boxOpen_ = false;  // a tick is waiting in a box: later ticks are skipped
};

}  // namespace tallowmere::watcher
