// SPDX-License-Identifier: MIT
#pragma once

#include "form_layout.h"

#include <windows.h>

#include <span>
#include <utility>
#include <vector>

namespace platform {

// The font a control's record asks for at `dpi`: face, size, weight and
// underline as given, never italic or struck out. A bitmap face made for
// 96 dpi gives way to its TrueType counterpart at any other DPI.
LOGFONTW logFontFor(const console::FontDef& def, int dpi);

// One font per control that names one, at one DPI. Movable, so new fonts can
// be handed to the controls before the old ones are deleted.
class FormFonts {
public:
    FormFonts() = default;
    FormFonts(std::span<const ControlPlacement> controls, int dpi);
    ~FormFonts();
    FormFonts(FormFonts&& other) noexcept : fonts_(std::exchange(other.fonts_, {})) {}
    FormFonts& operator=(FormFonts&& other) noexcept;

    // Null where the record names no font: the control keeps the system's.
    HFONT fontFor(const console::ControlDef& control) const;

private:
    void release() noexcept;
    std::vector<std::pair<const console::ControlDef*, HFONT>> fonts_;
};

} // namespace platform
