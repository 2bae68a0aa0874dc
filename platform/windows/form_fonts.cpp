// SPDX-License-Identifier: MIT
#include "form_fonts.h"

#include "text.h"

#include <algorithm>
#include <string_view>

namespace platform {
namespace {

// Bitmap faces, made for 96 dpi: at any other DPI GDI stretches their
// nearest size, jagged and off the size asked (MS Sans Serif is sserife.fon
// on Windows 10 and 11). Their TrueType counterparts take over there.
struct BitmapFace {
    std::string_view face;
    const char* trueType;
};
constexpr BitmapFace kBitmapFaces[] = {
    {"MS Sans Serif", "Microsoft Sans Serif"},
};

std::string_view faceAt(std::string_view face, int dpi)
{
    if (dpi == USER_DEFAULT_SCREEN_DPI) return face;
    for (const auto& bitmap : kBitmapFaces)
        if (bitmap.face == face) return bitmap.trueType;
    return face;
}

} // namespace

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
    const std::wstring face = widen(faceAt(def.face, dpi));
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
