#pragma once
// The host the benchmarks run the operations with: counts what the window would log and
// keeps no lines (the log's storage is the window's, not the operation's).
#include <cstdio>
#include <string>

#include "playlist/operation_host.h"

namespace tallowmere::playlist {

class CountingHost : public OperationHost {
public:
    std::size_t logLines = 0;
    void ClearLog() override { logLines = 0; }
    void AppendLog(const std::wstring&) override { ++logLines; }
    std::size_t LogCount() const override { return logLines; }
    void ShowBusy(bool) override {}
    void SetCaption(const std::wstring&) override {}
    void ShowMessage(const std::wstring&) override {}
    void ReportFailure(const FileFailure&) override { std::fprintf(stderr, "run failed\n"); }
    void LetEventsRun() override {}
};

}  // namespace tallowmere::playlist
