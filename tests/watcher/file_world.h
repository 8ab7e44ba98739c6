#pragma once
// The folder the tick tests watch: the two files, their archives, and a host whose file
// calls reach them. On Windows it is a real temporary folder reached through the program's
// own Win32 host; natively an in-memory stand-in, so the same cases run under sanitizers.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "watcher/main_playlist_watcher.h"

namespace tallowmere::watcher::test {

inline constexpr wchar_t kPlaylistName[] = L"winamp.m3u";
inline constexpr wchar_t kBackupName[] = L"winamp.m3u.bak";

// While it lives, a file cannot be opened by a copy, as source or target; its length
// can still be read (as when a player holds it open without sharing).
class FileHold {
public:
    virtual ~FileHold() = default;
};

class FileWorld {
public:
    static std::unique_ptr<FileWorld> Make();
    virtual ~FileWorld() = default;

    // The main playlist and main backup inside the folder.
    virtual WatchedFiles Files() const = 0;
    // Names are relative to the folder.
    virtual void Write(const std::wstring& name, const std::string& bytes) = 0;
    virtual std::optional<std::string> Read(const std::wstring& name) const = 0;
    virtual void Remove(const std::wstring& name) = 0;
    // The player saving the file again: bytes written into the same file, which is left with
    // a later last write time than it had.
    virtual void SaveLater(const std::wstring& name, const std::string& bytes) = 0;
    // Another file, holding bytes and carrying the last write time the file had, takes its name.
    virtual void ReplaceKeepingTime(const std::wstring& name, const std::string& bytes) = 0;
    // The names in the folder, sorted.
    virtual std::vector<std::wstring> Names() const = 0;
    virtual std::unique_ptr<FileHold> Hold(const std::wstring& name) = 0;
    // Only its file calls are used; the tests script clock, boxes and the end.
    virtual WatcherHost& FileHost() = 0;
};

}  // namespace tallowmere::watcher::test
