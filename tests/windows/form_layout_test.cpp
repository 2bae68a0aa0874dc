// SPDX-License-Identifier: MIT
// The window record in pixels at the densities Windows offers: every
// control's rectangle, the client size and the font heights.

#include "console/console_window.h"
#include "platform/windows/form_layout.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using platform::PixelRect;

struct LayoutCase {
    int dpi;
    int clientWidth, clientHeight;
    std::map<std::string, PixelRect> controls;
    int arial12, msSansSerif825; // LOGFONT heights
};

TEST(FormLayout, TwipsBecomePixelsAtEachDpi)
{
    const LayoutCase cases[] = {
        {96, 208, 200,
         {{"Label1", {16, 16, 185, 25}}, {"Combo1", {16, 40, 97, 21}}, {"Command3", {16, 72, 97, 25}},
          {"Command1", {16, 104, 97, 33}}, {"Command2", {16, 144, 97, 33}}},
         -16, -11},
        {120, 260, 250,
         {{"Label1", {20, 20, 231, 31}}, {"Combo1", {20, 50, 121, 26}}, {"Command3", {20, 90, 121, 31}},
          {"Command1", {20, 130, 121, 41}}, {"Command2", {20, 180, 121, 41}}},
         -20, -14},
        {144, 312, 300,
         {{"Label1", {24, 24, 278, 38}}, {"Combo1", {24, 60, 146, 32}}, {"Command3", {24, 108, 146, 38}},
          {"Command1", {24, 156, 146, 50}}, {"Command2", {24, 216, 146, 50}}},
         -24, -17},
        {192, 416, 400,
         {{"Label1", {32, 32, 370, 50}}, {"Combo1", {32, 80, 194, 42}}, {"Command3", {32, 144, 194, 50}},
          {"Command1", {32, 208, 194, 66}}, {"Command2", {32, 288, 194, 66}}},
         -32, -22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        const auto layout = platform::layOutForm(console::form1(), c.dpi);
        EXPECT_EQ(layout.clientWidth, c.clientWidth);
        EXPECT_EQ(layout.clientHeight, c.clientHeight);
        std::map<std::string, PixelRect> controls;
        for (const auto& placement : layout.controls) controls.emplace(placement.control->name, placement.rect);
        EXPECT_EQ(controls, c.controls); // MSComm1 has no rectangle
        for (const auto& placement : layout.controls) {
            const auto& font = *placement.control->font;
            EXPECT_EQ(platform::fontHeight(font.points, c.dpi),
                      std::string(font.face) == "Arial" ? c.arial12 : c.msSansSerif825)
                << placement.control->name;
        }
    }
}

} // namespace
