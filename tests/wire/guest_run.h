// SPDX-License-Identifier: MIT
#pragma once

// Runs one scenario script in a wire guest (guest.sh) and reads back what it left.

#include "line_trace.h"

#include <map>
#include <string>

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

// `script`: a path, or the name of one of tests/wire/scenarios. The guest's
// time limit is the one guest.sh derives from the script's own line
// "# wire: launches N waits M", unless `timeoutSeconds` is given.
GuestRun runInGuest(const std::string& script, int timeoutSeconds = 0);

} // namespace wire
