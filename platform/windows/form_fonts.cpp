// SPDX-License-Identifier: MIT
#include "form_fonts.h"

#include "text.h"

#include <algorithm>

namespace platform {

LOGFONTW logFontFor(const console::FontDef& def, int dpi)
{
    LOGFONTW font {};
    font.lfHeight = fontHeight(def.points, dpi);
    font.lfWeight = def.weight;
    font.lfItalic = FALSE;
    font.lfUnderline = def.underline ? TRUE : FALSE;
    font.lfStrikeOut = FALSE;
    font.lfCharSet = static_cast<BYTE>(def.charset);
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = widen(def.face);
    face.copy(font.lfFaceName, std::min<std::size_t>(face.size(), LF_FACESIZE - 1));
    return font;
}

FormFonts::FormFonts(std::span<const ControlPlacement> controls, int dpi)
{
    for (const auto& placement : controls) {
        if (!placement.control->font) continue;
        const LOGFONTW font = logFontFor(*placement.control->font, dpi);
        fonts_.emplace_back(placement.control, CreateFontIndirectW(&font));
    }
}

FormFonts::~FormFonts() { release(); }

FormFonts& FormFonts::operator=(FormFonts&& other) noexcept
{
    if (this != &other) {
        release();
        fonts_ = std::exchange(other.fonts_, {});
    }
    return *this;
}

HFONT FormFonts::fontFor(const console::ControlDef& control) const
{
    for (const auto& [owner, font] : fonts_)
        if (owner == &control) return font;
    return nullptr;
}

void FormFonts::release() noexcept
{
    for (const auto& entry : fonts_)
        if (entry.second) DeleteObject(entry.second);
    fonts_.clear();
}

} // namespace platform
