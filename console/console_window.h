// SPDX-License-Identifier: MIT
#pragma once

// The program's one window, Form1, as data: its caption, size and position,
// every control, the pulse figure and the event wiring. Positions and sizes
// are in twips (1/1440 inch; 15 twips make one pixel at 96 dpi), from the top
// left of the client area.

#include "host.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace console {

enum class ControlKind { Label, ComboBox, CommandButton, SerialComponent };

struct FontDef {
    const char* face;
    double points;
    int weight; // 400 regular, 700 bold
    bool underline;
    int charset; // 0: ANSI
};

inline constexpr int kNoTabIndex = -1;

struct ControlDef {
    const char* name;
    ControlKind kind;
    const char* text;
    int left, top, width, height; // width and height 0 where the control has no size
    std::optional<FontDef> font;
    int tabIndex;
};

struct LineDef {
    const char* name;
    int x1, y1, x2, y2;
};

enum class Event { Load, Click };
enum class Handler { FillPortList, Start, PulseOut, StopAndClose };

struct Wiring {
    const char* source;
    Event event;
    Handler handler;
};

struct WindowDef {
    const char* name;
    const char* caption;
    int clientWidth, clientHeight;
    int clientLeft, clientTop; // stored position on the screen
    std::span<const ControlDef> controls;
    std::span<const LineDef> lines;
    std::span<const Wiring> wiring;

    // The handler the wiring binds to `event` of `source` (the window or a
    // control, by name), if any.
    std::optional<Handler> handlerFor(std::string_view source, Event event) const;
    // The controls in tab order, by tab index; one without (MSComm1) takes no part.
    std::vector<const ControlDef*> tabOrder() const;
};

const WindowDef& form1();

// The list's side the Load handler needs: appending an entry at the end.
class PortListEntries {
public:
    virtual ~PortListEntries() = default;
    virtual void addItem(const std::string& text) = 0;
};

// Everything a handler may touch.
struct FormHost {
    SerialComponent& comm;
    PortListEntries& entries;
    const PortListText& text;
    SleepService& sleep;
    ProgramEnd& end;
};

// Load of Form1: the entries "1" to "15", in that order.
void fillPortList(PortListEntries& list);

void runHandler(Handler handler, const FormHost& host);

} // namespace console
