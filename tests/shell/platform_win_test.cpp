// The platform services' promises, on real files in a fresh folder (under Wine in the tests).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "shell/failure_text.h"
#include "shell/platform.h"
#include "shell/window_operation_host.h"

namespace tallowmere::shell {
namespace {

class PlatformFiles : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        folder_ = std::wstring(temp) + L"tallowmere-platform-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(GetTickCount64());
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    }
    void TearDown() override {
        // The tests make at most one level of folders.
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder_ + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveDirectoryW(path.c_str());
                } else {
                    DeleteFileW(path.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder_.c_str());
    }
    std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }
    void Write(const std::wstring& name, const std::string& bytes) {
        ASSERT_EQ(WriteWholeFile(Path(name), bytes), static_cast<DWORD>(ERROR_SUCCESS));
    }
    std::string Read(const std::wstring& name) {
        std::string bytes;
        EXPECT_EQ(ReadWholeFile(Path(name), bytes), static_cast<DWORD>(ERROR_SUCCESS));
        return bytes;
    }

    std::wstring folder_;
};

TEST_F(PlatformFiles, FileLengthOfEmptyFileMissingFileMissingFolderAndFolder) {
    Write(L"empty.m3u", "");
    Write(L"five.m3u", "a\r\nb\n");
    DWORD error = 12345;
    EXPECT_EQ(FileLength(Path(L"empty.m3u"), &error), std::optional<std::uint64_t>(0));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(FileLength(Path(L"five.m3u")), std::optional<std::uint64_t>(5));

    EXPECT_EQ(FileLength(Path(L"missing.m3u"), &error), std::nullopt);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FileLength(Path(L"no folder\\winamp.m3u"), &error), std::nullopt);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    // A folder is not a file with a length.
    EXPECT_EQ(FileLength(folder_, &error), std::nullopt);
    EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(PathTaken(folder_));
    EXPECT_TRUE(PathTaken(Path(L"empty.m3u")));
    EXPECT_FALSE(PathTaken(Path(L"missing.m3u")));
}

TEST_F(PlatformFiles, CopyReplacesTheDestinationAndFailsWithoutTouchingIt) {
    const std::string playlist = "#EXTM3U\r\nSongs\\one.mp3\r\n\xE9t\xE9.mp3\r\n";
    Write(L"winamp.m3u", playlist);
    Write(L"winamp.m3u.bak", "an older and much longer backup that must go entirely\r\n");
    EXPECT_EQ(CopyFileReplacing(Path(L"winamp.m3u"), Path(L"winamp.m3u.bak")), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(Read(L"winamp.m3u.bak"), playlist);
    EXPECT_EQ(Read(L"winamp.m3u"), playlist);

    // A missing origin fails and leaves the destination as it was.
    EXPECT_EQ(CopyFileReplacing(Path(L"gone.m3u"), Path(L"winamp.m3u.bak")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Read(L"winamp.m3u.bak"), playlist);
    // A destination in a missing folder cannot be written.
    EXPECT_NE(CopyFileReplacing(Path(L"winamp.m3u"), Path(L"no folder\\copy.m3u")), static_cast<DWORD>(ERROR_SUCCESS));
    // A 0-byte origin gives a 0-byte copy.
    Write(L"empty.m3u", "");
    EXPECT_EQ(CopyFileReplacing(Path(L"empty.m3u"), Path(L"winamp.m3u.bak")), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(FileLength(Path(L"winamp.m3u.bak")), std::optional<std::uint64_t>(0));
}

TEST_F(PlatformFiles, RenameNeverReplaces) {
    Write(L"winamp.m3u.bak", "backup");
    Write(L"winamp.m3u.bak.14.7.12", "archive");
    EXPECT_EQ(RenameFileNoReplace(Path(L"winamp.m3u.bak"), Path(L"winamp.m3u.bak.14.7.12")),
              static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(Read(L"winamp.m3u.bak"), "backup");
    EXPECT_EQ(Read(L"winamp.m3u.bak.14.7.12"), "archive");

    EXPECT_EQ(RenameFileNoReplace(Path(L"winamp.m3u.bak"), Path(L"winamp.m3u.bak.15.7.12")),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(PathTaken(Path(L"winamp.m3u.bak")));
    EXPECT_EQ(Read(L"winamp.m3u.bak.15.7.12"), "backup");

    EXPECT_EQ(RenameFileNoReplace(Path(L"winamp.m3u.bak"), Path(L"anything")), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(PlatformFiles, MakeOneFolderOnlyWhenFreeAndItsParentExists) {
    EXPECT_EQ(MakeOneFolder(Path(L"Demo Mix")), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(PathTaken(Path(L"Demo Mix")));
    EXPECT_EQ(MakeOneFolder(Path(L"Demo Mix")), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    Write(L"a file", "x");
    EXPECT_EQ(MakeOneFolder(Path(L"a file")), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(MakeOneFolder(Path(L"missing\\child")), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(PathTaken(Path(L"missing")));
}

TEST_F(PlatformFiles, WholeFileWriteAndReadKeepEveryByte) {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    bytes += "\r\n\n\r";
    Write(L"all bytes.m3u", bytes);
    EXPECT_EQ(Read(L"all bytes.m3u"), bytes);
    EXPECT_EQ(FileLength(Path(L"all bytes.m3u")), std::optional<std::uint64_t>(bytes.size()));
    // Writing again truncates: nothing of the longer old content is left.
    Write(L"all bytes.m3u", "short");
    EXPECT_EQ(Read(L"all bytes.m3u"), "short");

    std::string untouched = "stays";
    EXPECT_EQ(ReadWholeFile(Path(L"missing.m3u"), untouched), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(untouched.empty());
    EXPECT_NE(WriteWholeFile(Path(L"no folder\\x.m3u"), "x"), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(PlatformText, SystemErrorTextIsReadableWithoutLineBreak) {
    const std::wstring notFound = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_GT(notFound.size(), 5u);
    EXPECT_EQ(notFound.find(L"0x"), std::wstring::npos) << "a real description, not the fallback";
    EXPECT_NE(notFound.back(), L'\n');
    EXPECT_NE(notFound.back(), L'\r');
    EXPECT_EQ(notFound.find(L'\n'), std::wstring::npos);
    // A code the system has no text for falls back to its number.
    EXPECT_EQ(SystemErrorText(0x2ABCDEF1), L"Error 0x2ABCDEF1");
}

TEST(PlatformText, FailureReadsTheSameInTheBoxAndOnTheConsole) {
    const playlist::FileFailure denied{L"Could not rewrite the playlist", L"C:\\Music\\mix.m3u",
                                       ERROR_ACCESS_DENIED};
    const std::wstring reason = SystemErrorText(ERROR_ACCESS_DENIED);
    EXPECT_EQ(FailurePrompt(denied), L"Could not rewrite the playlist:\r\nC:\\Music\\mix.m3u\r\n\r\n" + reason);
    EXPECT_EQ(FailureLine(denied), L"Could not rewrite the playlist \"C:\\Music\\mix.m3u\": " + reason);
    // Without an error code there is no reason to give: neither form says the operation succeeded.
    const playlist::FileFailure noCode{L"Could not write the new playlist", L"C:\\mix.m3u", 0};
    EXPECT_EQ(FailurePrompt(noCode), L"Could not write the new playlist:\r\nC:\\mix.m3u");
    EXPECT_EQ(FailureLine(noCode), L"Could not write the new playlist \"C:\\mix.m3u\"");
}

TEST(PlatformProcess, ProgramFolderHoldsTheRunningExecutable) {
    const std::wstring folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), L'\\');
    EXPECT_TRUE(PathTaken(folder + L"\\shell_platform_test.exe"));
    EXPECT_NE(RawCommandLine().find(L"shell_platform_test"), std::wstring::npos);
}

// Counts the private messages a hidden window receives.
struct CountingWindow {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP) {
            ++*reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

TEST(PlatformEvents, PendingEventsRunAndQuitIsKeptForTheMainLoop) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingWindow::Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TallowmerePendingEventsTest";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    int handled = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));

    for (int i = 0; i < 3; ++i) PostMessageW(window, WM_APP, 0, 0);
    LetPendingEventsRun();
    EXPECT_EQ(handled, 3);

    PostQuitMessage(7);
    LetPendingEventsRun(window);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
    DestroyWindow(window);
}

// A run that logs a line and sets the caption for each of many songs (Copy to One Folder):
// the window is told of them in batches, not once a line, and at each point where events
// run the list holds every line and the caption is the last one set.
TEST(WindowOperationHost, LinesAndCaptionsReachTheWindowInBatches) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_SETTEXT) {
            auto* captionsSet = reinterpret_cast<int*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (captionsSet) ++*captionsSet;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TallowmereOperationHostTest";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"Start", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    HWND list = CreateWindowW(L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 0, 0, 300, 200, window, nullptr,
                              windowClass.hInstance, nullptr);
    HWND busy = CreateWindowW(L"STATIC", L"Busy", WS_CHILD, 0, 210, 100, 20, window, nullptr,
                              windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNA);
    int captionsSet = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&captionsSet));
    auto caption = [&] {
        wchar_t text[64]{};
        GetWindowTextW(window, text, 64);
        return std::wstring(text);
    };
    {
        WindowOperationHost host(window, ListBox(list), Static(busy));
        host.ClearLog();
        for (int song = 1; song <= 2000; ++song) {
            host.SetCaption(L"Copying " + std::to_wstring(song) + L".mp3");
            host.AppendLog(L"Couldn't Copy " + std::to_wstring(song) + L".mp3");
            EXPECT_EQ(host.LogCount(), static_cast<std::size_t>(song));
            if (song == 1000) {
                host.LetEventsRun();
                EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1000);
                EXPECT_EQ(caption(), L"Copying 1000.mp3");
            }
        }
        EXPECT_LT(captionsSet, 200) << "the frame repainted for most captions";
        host.SetCaption(L"Done");
    }
    EXPECT_EQ(caption(), L"Done") << "the last caption is shown when the run ends";
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 2000);
    wchar_t last[64]{};
    SendMessageW(list, LB_GETTEXT, 1999, reinterpret_cast<LPARAM>(last));
    EXPECT_STREQ(last, L"Couldn't Copy 2000.mp3");
    DestroyWindow(window);
}

// Finds this process's box with the given title, reads it and presses a button, from a
// second thread while ShowMessageBox waits.
struct BoxSeen {
    std::wstring text;
    int defaultId = 0;
    bool hasQuestionIcon = false;
};

std::thread AnswerBox(const wchar_t* title, int buttonId, BoxSeen& seen, std::atomic<bool>& found) {
    return std::thread([=, &seen, &found] {
        for (int attempt = 0; attempt < 200 && !found; ++attempt) {
            Sleep(50);
            // Another program's box may carry the same title: look for ours among them.
            HWND box = nullptr;
            while ((box = FindWindowExW(nullptr, box, L"#32770", title)) != nullptr) {
                DWORD pid = 0;
                GetWindowThreadProcessId(box, &pid);
                if (pid == GetCurrentProcessId()) break;
            }
            if (!box) continue;
            wchar_t text[256] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 256);
            seen.text = text;
            // The default button is the one drawn as default (Wine does not answer DM_GETDEFID).
            for (int id : {IDOK, IDYES, IDNO}) {
                HWND button = GetDlgItem(box, id);
                if (button && IsWindowVisible(button) &&
                    (GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                    seen.defaultId = id;
                }
            }
            found = true;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
        }
    });
}

TEST(PlatformBoxes, YesNoDefaultsToYesTitleDefaultsAndTheAnswerComesBack) {
    BoxSeen seen;
    std::atomic<bool> found{false};
    auto answer = AnswerBox(L"Tallowmere", IDNO, seen, found);
    const BoxAnswer result = ShowMessageBox(nullptr, L"Restore?", BoxButtons::YesNo, BoxIcon::Question);
    answer.join();
    ASSERT_TRUE(found) << "no box titled Tallowmere";
    EXPECT_EQ(result, BoxAnswer::No);
    EXPECT_EQ(seen.text, L"Restore?");
    EXPECT_EQ(seen.defaultId, IDYES);

    BoxSeen okSeen;
    std::atomic<bool> okFound{false};
    auto press = AnswerBox(L"Cannot Watch File", IDOK, okSeen, okFound);
    const BoxAnswer ok = ShowMessageBox(nullptr, L"Tallowmere\r\n\r\nPlaylist missing", BoxButtons::Ok,
                                        BoxIcon::Critical, L"Cannot Watch File");
    press.join();
    ASSERT_TRUE(okFound) << "no box titled Cannot Watch File";
    EXPECT_EQ(ok, BoxAnswer::Ok);
    EXPECT_EQ(okSeen.defaultId, IDOK);
    EXPECT_EQ(okSeen.text, L"Tallowmere\r\n\r\nPlaylist missing");
}

}  // namespace
}  // namespace tallowmere::shell
