// SPDX-License-Identifier: MIT
#pragma once

// The window record in pixels at one DPI: what the Win32 window places and
// draws. Pure arithmetic on the record, so it is tested without a window.

#include "console/console_window.h"

#include <vector>

namespace platform {

struct PixelRect {
    int left, top, width, height;
    bool operator==(const PixelRect&) const = default;
};

struct PixelLine {
    int x1, y1, x2, y2;
    bool operator==(const PixelLine&) const = default;
};

struct ControlPlacement {
    const console::ControlDef* control;
    PixelRect rect; // for Combo1, the closed box: the list drops below it
};

struct FormLayout {
    int clientWidth, clientHeight;
    int clientLeft, clientTop;              // the stored position on the screen
    std::vector<ControlPlacement> controls; // the visible ones, in the record's order
    std::vector<PixelLine> lines;
};

FormLayout layOutForm(const console::WindowDef& def, int dpi);

// LOGFONT's height for a size in points: negative, so it is the character
// height (without internal leading), as the record's sizes mean.
int fontHeight(double points, int dpi);

} // namespace platform
