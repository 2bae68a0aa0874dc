// SPDX-License-Identifier: MIT
#pragma once

// The second UART's register writes as QEMU traced them, read back as line
// levels over time (microseconds of the host's wall clock).

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace wire {

struct McrWrite {
    double us;
    int value;
    bool dtr() const { return value & 0x01; }
    bool rts() const { return value & 0x02; }
};

struct Mark {
    double us;
    int value;
};

struct Pulse {
    double riseUs, fallUs;
    double widthUs() const { return fallUs - riseUs; }
};

// A stretch of the trace, between two marks.
struct Window {
    double fromUs, toUs;
};

// What DTR and RTS did while a port opened.
struct OpenLines {
    bool raised = false;        // the open raised DTR
    bool lowerNext = false;     // the write after the raise lowered DTR
    bool rtsDownByNext = false; // RTS low in that write, or the one after it
    bool anyLineSet = false;    // some write in the window set DTR or RTS
};

// The marks scenarios/start_trials.sh writes around the opens it makes.
enum StartTrialMark {
    kProgramBegins = 2, kProgramEnds = 3, kPulserBegins = 4, kPulserEnds = 5,
    kLaterStartBegins = 6, kLaterStartEnds = 7, kPulserAfterUsBegins = 10, kPulserAfterUsEnds = 11,
};

struct LineTrace {
    std::vector<McrWrite> mcr; // Modem Control Register (base + 4)
    std::vector<Mark> marks;   // scratch register (base + 7): the scenario's marks

    static LineTrace parse(std::istream& in);
    // An FTDI adapter's SET_MODEM_CTRL requests, each a write of DTR and RTS
    // as they stand after it; no marks.
    static LineTrace parseFtdi(std::istream& in);

    std::optional<double> markTime(int value) const;
    std::vector<McrWrite> writesBetween(double fromUs, double toUs) const;
    // DTR high intervals that begin in [fromUs, toUs); one still high at toUs ends there.
    std::vector<Pulse> dtrPulses(double fromUs, double toUs) const;
    // The last value written at or before `us` (0 before any write).
    McrWrite levelAt(double us) const;
    // Each stretch from a `begin` mark to the next `end` mark, in order.
    std::vector<Window> windows(int begin, int end) const;
    OpenLines openLines(const Window& window) const;

    std::string describe() const; // for failure messages
};

} // namespace wire
