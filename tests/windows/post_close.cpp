// SPDX-License-Identifier: MIT
// Asks a window to close the way another program does: WM_CLOSE posted to
// the top-level window with that caption (and class, if given).
//   post_close CAPTION [CLASS]
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fputs("usage: post_close CAPTION [CLASS]\n", stderr);
        return 2;
    }
    HWND window = FindWindowW(argc > 2 ? argv[2] : nullptr, argv[1]);
    if (!window) return 1;
    return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
}
