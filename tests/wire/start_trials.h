// SPDX-License-Identifier: MIT
#pragma once

// What DTR and RTS did while a port opened, between the marks of
// scenarios/start_trials.sh.

#include "line_trace.h"

#include <vector>

namespace wire {

enum StartTrialMark {
    kResetBegins = 1, kProgramBegins = 2, kProgramEnds = 3, kPulserBegins = 4, kPulserEnds = 5,
    kLaterStartBegins = 6, kLaterStartEnds = 7, kAfterUsBegins = 8, kAfterUsEnds = 9,
    kPulserAfterUsBegins = 10, kPulserAfterUsEnds = 11,
};

struct Window {
    double fromUs, toUs;
};

// Each stretch from a `begin` mark to the next `end` mark, in order.
std::vector<Window> windows(const LineTrace& trace, int begin, int end);

struct OpenLines {
    bool raised = false;        // the open raised DTR
    double glitchUs = 0;        // how long DTR stayed high
    bool lowerNext = false;     // the write after the raise lowered DTR
    bool rtsDownByNext = false; // RTS low in that write, or the one after it
    bool anyLineSet = false;    // some write in the window set DTR or RTS
};

OpenLines openLines(const LineTrace& trace, const Window& window);

double median(std::vector<double> values); // 0 for none

} // namespace wire
