// SPDX-License-Identifier: MIT
#include "console_window.h"

#include "port_commands.h"

#include <algorithm>

namespace console {
namespace {

constexpr FontDef kMsSansSerif {"MS Sans Serif", 8.25, 400, false, 0};

constexpr ControlDef kControls[] = {
    {"Label1", ControlKind::Label, "Select Comm Port First", 240, 240, 2775, 375, FontDef {"Arial", 12, 700, false, 0}, 4},
    {"Combo1", ControlKind::ComboBox, "Comm Port", 240, 600, 1455, 315, kMsSansSerif, 1},
    {"Command3", ControlKind::CommandButton, "Start", 240, 1080, 1455, 375, kMsSansSerif, 3},
    {"Command1", ControlKind::CommandButton, "Pulse Out", 240, 1560, 1455, 495, FontDef {"Arial", 12, 400, true, 0}, 0},
    {"Command2", ControlKind::CommandButton, "Stop and Close", 240, 2160, 1455, 495, kMsSansSerif, 2},
    {"MSComm1", ControlKind::SerialComponent, "", 1920, 600, 0, 0, std::nullopt, kNoTabIndex},
};

// One rectangular pulse to the right of "Pulse Out", its high level level
// with the button's top.
constexpr LineDef kLines[] = {
    {"Line1", 1800, 2040, 2160, 2040}, // low level, left
    {"Line2", 2160, 1560, 2160, 2040}, // rising edge
    {"Line3", 2520, 1560, 2160, 1560}, // high level
    {"Line4", 2520, 2040, 2520, 1560}, // falling edge
    {"Line5", 2880, 2040, 2520, 2040}, // low level, right
};

constexpr Wiring kWiring[] = {
    {"Form1", Event::Load, Handler::FillPortList},
    {"Command3", Event::Click, Handler::Start},
    {"Command1", Event::Click, Handler::PulseOut},
    {"Command2", Event::Click, Handler::StopAndClose},
};

constexpr WindowDef kForm1 {"Form1", "DTR Pulse Out", 3120, 3000, 13635, 6330, kControls, kLines, kWiring};

constexpr int kFirstPort = 1;
constexpr int kLastPort = 15;

} // namespace

std::optional<Handler> WindowDef::handlerFor(std::string_view source, Event event) const
{
    for (const auto& binding : wiring)
        if (binding.event == event && source == binding.source) return binding.handler;
    return std::nullopt;
}

std::vector<const ControlDef*> WindowDef::tabOrder() const
{
    std::vector<const ControlDef*> order;
    for (const auto& control : controls)
        if (control.tabIndex != kNoTabIndex) order.push_back(&control);
    std::ranges::stable_sort(order, {}, &ControlDef::tabIndex);
    return order;
}

const WindowDef& form1() { return kForm1; }

void fillPortList(PortListEntries& list)
{
    for (int port = kFirstPort; port <= kLastPort; ++port) list.addItem(std::to_string(port));
}

void runHandler(Handler handler, const FormHost& host)
{
    switch (handler) {
    case Handler::FillPortList: fillPortList(host.entries); break;
    case Handler::Start: start(host.comm, host.text); break;
    case Handler::PulseOut: pulseOut(host.comm, host.sleep); break;
    case Handler::StopAndClose: stopAndClose(host.comm, host.end); break;
    }
}

} // namespace console
