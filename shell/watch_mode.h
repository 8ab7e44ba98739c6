#pragma once
// Watch mode of the main window: the Win32 side of the main playlist watcher. TODO(watcher)
namespace tallowmere::shell {
class WatchMode {
public:
    virtual ~WatchMode() = default;
};
}  // namespace tallowmere::shell
