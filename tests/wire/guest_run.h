// SPDX-License-Identifier: MIT
#pragma once

// Runs scenario scripts in a wire guest (guest.sh) and reads back what each left.

#include "line_trace.h"

#include <map>
#include <string>
#include <vector>

namespace wire {

struct GuestRun {
    bool booted = false;              // false: no guest can boot here (see reason)
    std::string reason;
    std::map<std::string, std::string> results; // the scenario's key=value lines
    LineTrace trace;                  // the 16550 behind ttyS1, and the marks
    LineTrace usbTrace;               // the FTDI adapter behind ttyUSB0, with the same marks
    std::string guestLog;             // the scenario's own output
    int status = -1;                  // the scenario's exit status
};

// `scripts`: paths, or names of tests/wire/scenarios, run one after another
// in one guest; one GuestRun each, holding its own part of the traces.
std::vector<GuestRun> runInGuest(const std::vector<std::string>& scripts);

// A scenario's run, from the one guest for the scenarios WIRE_GUEST lists
// (comma-separated) if it lists this one, else from a guest of its own.
const GuestRun& scenarioRun(const std::string& name);

} // namespace wire
