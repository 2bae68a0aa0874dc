// SPDX-License-Identifier: MIT
#include "form_layout.h"

#include "platform/common/twips.h"

#include <cmath>

namespace platform {

FormLayout layOutForm(const console::WindowDef& def, int dpi)
{
    const auto px = [dpi](int twips) { return twipsToPixels(twips, dpi); };
    FormLayout layout {px(def.clientWidth), px(def.clientHeight), px(def.clientLeft), px(def.clientTop), {}, {}};
    for (const auto& control : def.controls) {
        if (control.kind == console::ControlKind::SerialComponent) continue; // hosted, never drawn
        layout.controls.push_back(
            {&control, {px(control.left), px(control.top), px(control.width), px(control.height)}});
    }
    for (const auto& line : def.lines) layout.lines.push_back({px(line.x1), px(line.y1), px(line.x2), px(line.y2)});
    return layout;
}

int fontHeight(double points, int dpi)
{
    return -static_cast<int>(std::lround(points * dpi / 72.0));
}

} // namespace platform
