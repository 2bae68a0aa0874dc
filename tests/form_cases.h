// SPDX-License-Identifier: MIT
#pragma once

// What the window must do on every platform, as rows: each platform's form
// test drives its own toolkit through them.

#include "doubles.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace form_cases {

using testing_doubles::Log;
using Texts = std::vector<std::string>;

inline constexpr const char* kInitialText = "Comm Port";
inline constexpr const char* kFirstFocus = "Command1";
inline const Texts kEntries {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"};

// Each control as shown: the toolkit's kind of control, its text, and the
// font asked for (Arial has a metric twin on Linux and under Wine).
enum class Kind { Label, List, Button };
struct ControlCase {
    const char* name;
    Kind kind;
    const char* text;
    const char* face;
    double points;
    bool bold, underline;
};
inline constexpr ControlCase kControls[] = {
    {"Label1", Kind::Label, "Select Comm Port First", "Arial", 12, true, false},
    {"Combo1", Kind::List, kInitialText, "MS Sans Serif", 8.25, false, false},
    {"Command3", Kind::Button, "Start", "MS Sans Serif", 8.25, false, false},
    {"Command1", Kind::Button, "Pulse Out", "Arial", 12, false, true},
    {"Command2", Kind::Button, "Stop and Close", "MS Sans Serif", 8.25, false, false},
};

// The window in pixels at each density: its client area, each control's
// rectangle (in kControls' order; the list closed), the LOGFONT heights
// (Windows), and the pulse figure's segments Line1 to Line5, ends included.
struct Rect {
    int left, top, width, height;
    bool operator==(const Rect&) const = default;
};
struct Segment {
    int x1, y1, x2, y2;
    // Every pixel from end to end; the figure's segments are level or upright.
    std::vector<std::pair<int, int>> pixels() const
    {
        std::vector<std::pair<int, int>> all;
        for (int x = std::min(x1, x2), y = std::min(y1, y2); x <= std::max(x1, x2) && y <= std::max(y1, y2);
             x1 == x2 ? ++y : ++x)
            all.emplace_back(x, y);
        return all;
    }
};
struct LayoutCase {
    int dpi;
    int clientWidth, clientHeight;
    Rect controls[std::size(kControls)];
    int arialHeight, msSansSerifHeight;
    Segment figure[5];
};
inline constexpr LayoutCase kLayouts[] = {
    {96, 208, 200, {{16, 16, 185, 25}, {16, 40, 97, 21}, {16, 72, 97, 25}, {16, 104, 97, 33}, {16, 144, 97, 33}},
     -16, -11,
     {{120, 136, 144, 136}, {144, 104, 144, 136}, {168, 104, 144, 104}, {168, 136, 168, 104}, {192, 136, 168, 136}}},
    {120, 260, 250, {{20, 20, 231, 31}, {20, 50, 121, 26}, {20, 90, 121, 31}, {20, 130, 121, 41}, {20, 180, 121, 41}},
     -20, -14,
     {{150, 170, 180, 170}, {180, 130, 180, 170}, {210, 130, 180, 130}, {210, 170, 210, 130}, {240, 170, 210, 170}}},
    {144, 312, 300, {{24, 24, 278, 38}, {24, 60, 146, 32}, {24, 108, 146, 38}, {24, 156, 146, 50}, {24, 216, 146, 50}},
     -24, -17,
     {{180, 204, 216, 204}, {216, 156, 216, 204}, {252, 156, 216, 156}, {252, 204, 252, 156}, {288, 204, 252, 204}}},
    {192, 416, 400, {{32, 32, 370, 50}, {32, 80, 194, 42}, {32, 144, 194, 50}, {32, 208, 194, 66}, {32, 288, 194, 66}},
     -32, -22,
     {{240, 272, 288, 272}, {288, 208, 288, 272}, {336, 208, 288, 208}, {336, 272, 336, 208}, {384, 272, 336, 272}}},
};

// The focus's round by Tab, or Shift+Tab, from "Pulse Out".
struct TabCase {
    const char* name;
    bool backwards;
    Texts visits;
};
inline const TabCase kTabCases[] = {
    {"Tab", false, {"Combo1", "Command2", "Command3", "Command1", "Combo1"}},
    {"Shift+Tab", true, {"Command3", "Command2", "Combo1", "Command1", "Command3"}},
};

// Input that runs nothing: no default or cancel button, no handler on the
// list's text. Esc on the window follows each row.
enum class Key { None, Enter, Esc, Space };
enum class Target { EditField, Window };
struct InputCase {
    const char* name;
    const char* typed;
    Key key;
    Target target;
    const char* text; // what the edit field shows after
};
inline const InputCase kInputCases[] = {
    {"typing", "7x", Key::None, Target::EditField, "7x"},
    {"Enter after a number", "12", Key::Enter, Target::EditField, "12"},
    {"Enter after a new text", "COM3", Key::Enter, Target::EditField, "COM3"},
    {"Esc in the edit field", "", Key::Esc, Target::EditField, kInitialText},
    {"Enter on the window", "", Key::Enter, Target::Window, kInitialText},
    {"Esc on the window", "", Key::Esc, Target::Window, kInitialText},
};

inline const Log kStartLog {"CommPort=7", "PortOpen=true", "DTREnable=false"};
inline const Log kPulseLog {"DTREnable=true", "Sleep=500", "DTREnable=false"};
inline const Log kStopLog {"PortOpen=false", "exit 0"};

// Buttons pressed with the list's text picked or typed: clicks queued
// together (Key::None), or a key once Tab has brought the focus to the one
// button; `duringPulse` is clicked while a pulse blocks the thread, and
// `refuseWrite` is the component's write that fails. Each command runs once
// or not at all, as the log says; on the toolkit named, where toolkits differ.
enum class Toolkit { Any, Qt, Win32 };
struct ButtonCase {
    const char* name;
    const char* listText;
    Texts buttons;
    Key key;
    Log expected;
    Toolkit toolkit = Toolkit::Any;
    const char* duringPulse = nullptr;
    int refuseWrite = -1;
};
inline const ButtonCase kButtonCases[] = {
    {"Start with a picked entry", "7", {"Command3"}, Key::None, kStartLog},
    {"Start with the initial text", kInitialText, {"Command3"}, Key::None,
     {"CommPort=0", "PortOpen=true", "DTREnable=false"}},
    {"Start with typed text", " 1 2, more", {"Command3"}, Key::None, {"CommPort=12", "PortOpen=true", "DTREnable=false"}},
    {"Tab to Start, Space", "7", {"Command3"}, Key::Space, kStartLog},
    {"Pulse Out", kInitialText, {"Command1"}, Key::None, kPulseLog},
    {"Pulse Out by Space", kInitialText, {"Command1"}, Key::Space, kPulseLog},
    {"Stop and Close", kInitialText, {"Command2"}, Key::None, kStopLog},
    {"Tab to Stop and Close, Space", kInitialText, {"Command2"}, Key::Space, kStopLog},
    // Windows' dialog manager makes the button Tab reaches the default one, which Enter presses
    // (IsDialogMessage); Qt's Enter presses only auto-default buttons, none outside a dialog.
    {"Tab to Stop and Close, Enter: Windows", kInitialText, {"Command2"}, Key::Enter, kStopLog,
     Toolkit::Win32},
    {"Tab to Stop and Close, Enter: Qt", kInitialText, {"Command2"}, Key::Enter, {}, Toolkit::Qt},
    {"a click during a pulse runs after it", kInitialText, {"Command1"}, Key::None,
     {"DTREnable=true", "Sleep=500", "DTREnable=false", "DTREnable=true", "Sleep=500", "DTREnable=false"},
     Toolkit::Any, "Command1"},
    {"clicks queued behind Stop and Close run nothing", kInitialText, {"Command2", "Command3", "Command1"}, Key::None,
     kStopLog},
    {"a refused Start is reported and ends the program; a click after runs nothing", "3", {"Command3", "Command1"},
     Key::None, {"CommPort=3", "release", "report 8005", "exit 1"}, Toolkit::Any, nullptr, 1},
};

} // namespace form_cases
