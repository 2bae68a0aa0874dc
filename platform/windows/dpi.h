// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace platform {

// The DPI a window is drawn at: its monitor's, as the program is per-monitor
// DPI aware. With no window, the system's.
int windowDpi(HWND window);

// The window rectangle around a client rectangle, its frame sized for `dpi`.
RECT frameAround(RECT client, DWORD style, DWORD exStyle, int dpi);

} // namespace platform
