// SPDX-License-Identifier: MIT
#pragma once

namespace platform {

// The window's definition is in twips (1/1440 inch). At 96 dpi 15 twips make
// one pixel; at other densities the conversion rounds to the nearest pixel.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;

constexpr int twipsToPixels(int twips, int dpi = kDefaultDpi)
{
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + kTwipsPerInch / 2) / kTwipsPerInch
                                        : -((-scaled + kTwipsPerInch / 2) / kTwipsPerInch));
}

} // namespace platform
