#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    MessageBoxW(nullptr, L"Kestrane - Tallowmere - Build 3", L"Tallowmere", MB_OK);  // TODO(window)
    return 0;
}
