// SPDX-License-Identifier: MIT
#pragma once

// What the window must do on every platform, as rows: each platform's form
// test drives its own toolkit through them.

#include "doubles.h"

#include <string>
#include <vector>

namespace form_cases {

using testing_doubles::Log;
using Texts = std::vector<std::string>;

// The port list, as Load fills it.
inline Texts entries()
{
    Texts texts;
    for (int i = 1; i <= 15; ++i) texts.push_back(std::to_string(i));
    return texts;
}

inline constexpr const char* kInitialText = "Comm Port";
inline constexpr const char* kFirstFocus = "Command1";

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

// A button pressed, by a click (Key::None) or by a key once Tab has brought
// the focus to it, with the list's text picked or typed: its command runs
// once, and nothing else; on the toolkit named, where toolkits differ.
enum class Toolkit { Any, Qt, Win32 };
struct ButtonCase {
    const char* name;
    const char* listText;
    const char* button;
    Key key;
    Log expected;
    Toolkit toolkit = Toolkit::Any;
};
inline const ButtonCase kButtonCases[] = {
    {"Start with a picked entry", "7", "Command3", Key::None, kStartLog},
    {"Start with the initial text", kInitialText, "Command3", Key::None,
     {"CommPort=0", "PortOpen=true", "DTREnable=false"}},
    {"Start with typed text", " 1 2, more", "Command3", Key::None, {"CommPort=12", "PortOpen=true", "DTREnable=false"}},
    {"Tab to Start, Space", "7", "Command3", Key::Space, kStartLog},
    {"Pulse Out", kInitialText, "Command1", Key::None, kPulseLog},
    {"Pulse Out by Space", kInitialText, "Command1", Key::Space, kPulseLog},
    {"Stop and Close", kInitialText, "Command2", Key::None, kStopLog},
    {"Tab to Stop and Close, Space", kInitialText, "Command2", Key::Space, kStopLog},
    // Windows' dialog manager makes the button Tab reaches the default one, which Enter presses
    // (IsDialogMessage); Qt's Enter presses only auto-default buttons, none outside a dialog.
    {"Tab to Stop and Close, Enter: Windows", kInitialText, "Command2", Key::Enter, kStopLog, Toolkit::Win32},
    {"Tab to Stop and Close, Enter: Qt", kInitialText, "Command2", Key::Enter, {}, Toolkit::Qt},
};

// A click during a pulse runs after it: two whole pulses.
inline Log twoPulses()
{
    Log log = kPulseLog;
    log.insert(log.end(), kPulseLog.begin(), kPulseLog.end());
    return log;
}

// Clicks queued behind Stop and Close run nothing.
inline const Log kNothingAfterStop = kStopLog;

// Start with "3" whose first write the component refuses, then a click
// after the end: the port released, the report, status 1, and nothing more.
inline constexpr const char* kRefusedListText = "3";
inline const Log kRefusalLog {"CommPort=3", "release", "report 8005", "exit 1"};

} // namespace form_cases
