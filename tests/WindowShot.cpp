// mirlock-shot: waits for Mirlock's main window and saves a PNG of it.
//   mirlock-shot OUTPUT.png [SECONDS]
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/PngWriter.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fputs("usage: mirlock-shot OUTPUT.png [SECONDS]\n", stderr);
        return 2;
    }
    const int seconds = argc > 2 ? _wtoi(argv[2]) : 30;
    for (int waited = 0; waited <= seconds * 10; ++waited) {
        HWND window = FindWindowW(L"MIRLOCK", nullptr);
        if (window && IsWindowVisible(window)) {
            Sleep(1500);  // let it finish painting
            return SaveWindowPng(window, argv[1]) ? 0 : 1;
        }
        Sleep(100);
    }
    fputs("mirlock-shot: no window appeared\n", stderr);
    return 1;
}
