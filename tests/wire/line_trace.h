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

struct LineTrace {
    std::vector<McrWrite> mcr; // Modem Control Register (base + 4)
    std::vector<Mark> marks;   // scratch register (base + 7): the scenario's marks

    static LineTrace parse(std::istream& in, unsigned base = 0x2f8);
    // An FTDI adapter's SET_MODEM_CTRL requests, each a write of DTR and RTS
    // as they stand after it. No marks: those are in the UART's trace.
    static LineTrace parseFtdi(std::istream& in);

    std::optional<double> markTime(int value) const;
    std::vector<McrWrite> writesBetween(double fromUs, double toUs) const;
    // DTR high intervals that begin in [fromUs, toUs); one still high at toUs ends there.
    std::vector<Pulse> dtrPulses(double fromUs, double toUs) const;
    // The last value written at or before `us` (0 before any write).
    McrWrite levelAt(double us) const;

    std::string describe() const; // for failure messages
};

} // namespace wire
