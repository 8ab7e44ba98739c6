// The Win32 side of watch mode: one watcher per session, and boxes that reach the user
// although watch mode has no window.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "shell/watch_mode.h"

namespace tallowmere::shell {
namespace {

std::wstring UniqueMutexName() {
    return L"Local\\Tallowmere.WatcherTest." + std::to_wstring(GetCurrentProcessId());
}

TEST(SingleWatcherLock, SecondWatcherOfTheSessionIsRefusedUntilTheFirstEnds) {
    const std::wstring name = UniqueMutexName();
    {
        SingleWatcherLock first(name.c_str());
        ASSERT_TRUE(first.Acquired());
        SingleWatcherLock second(name.c_str());
        EXPECT_FALSE(second.Acquired());
        SingleWatcherLock third(name.c_str());
        EXPECT_FALSE(third.Acquired()) << "a refused watcher must not free the name";
    }
    SingleWatcherLock afterwards(name.c_str());
    EXPECT_TRUE(afterwards.Acquired());
}

HWND WaitForBox(const wchar_t* title) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        if (HWND box = FindWindowW(L"#32770", title); box && IsWindowVisible(box)) return box;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

// The icon the box shows: its icon control's icon, nullptr when it has none.
HICON IconOf(HWND box) {
    HICON icon = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Static") == 0 && (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            IsWindowVisible(child)) {
            icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        }
    }
    return icon;
}

TEST(Win32WatcherHost, BoxHasNoOwnerComesToTheFrontAndReturnsTheAnswer) {
    const wchar_t title[] = L"Tallowmere watcher box test";
    Win32WatcherHost host;
    auto answer = std::async(std::launch::async, [&] {
        return host.ShowBox(L"Tallowmere - Main Playlist Watcher\r\n\r\nQuestion?",
                            watcher::BoxButtons::YesNo, watcher::BoxIcon::Question, title);
    });
    HWND box = WaitForBox(title);
    ASSERT_NE(box, nullptr) << "no box appeared";

    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "an owned box has no taskbar button";
    const LONG_PTR exStyle = GetWindowLongPtrW(box, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST) << "the box must stay above the user's windows";
    EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetForegroundWindow(), box);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(box, IDYES), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON)
        << "Yes is the default button";
    // The system's question mark (MB_ICONQUESTION); message boxes load it shared.
    EXPECT_EQ(IconOf(box), LoadIconW(nullptr, IDI_QUESTION));
    EXPECT_NE(IconOf(box), nullptr);

    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(15)), std::future_status::ready);
    EXPECT_EQ(answer.get(), watcher::BoxAnswer::No);
}

TEST(Win32WatcherHost, FileCallsKeepTheirPromises) {
    Win32WatcherHost host;
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"tallowmere-host-" +
                                std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring a = folder + L"\\a", b = folder + L"\\b";

    EXPECT_EQ(host.FileLength(a), std::nullopt);
    EXPECT_EQ(host.FileLength(folder), std::nullopt) << "a folder is not a file";
    EXPECT_EQ(host.FileLength(folder + L"\\missing\\a"), std::nullopt);
    HANDLE file = CreateFileW(a.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "12345", 5, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(host.FileLength(a), 5u);

    EXPECT_TRUE(host.CopyReplacing(a, b));
    EXPECT_EQ(host.RenameNoReplace(a, b), watcher::RenameResult::NameTaken);
    EXPECT_EQ(host.RenameNoReplace(folder + L"\\gone", folder + L"\\c"),
              watcher::RenameResult::Failed);
    EXPECT_EQ(host.RenameNoReplace(a, folder + L"\\c"), watcher::RenameResult::Done);
    EXPECT_EQ(host.FileLength(folder + L"\\c"), 5u);

    for (const wchar_t* name : {L"\\b", L"\\c"}) DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace tallowmere::shell
