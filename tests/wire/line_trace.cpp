// SPDX-License-Identifier: MIT
#include "line_trace.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace wire {

LineTrace LineTrace::parse(std::istream& in)
{
    constexpr unsigned base = 0x2f8; // ttyS1
    LineTrace trace;
    for (std::string line; std::getline(in, line);) {
        // 28631@1796627058.058760:memory_region_ops_write cpu 0 mr 0x5581 addr 0x2fc value 0x8 size 1 name 'serial'
        unsigned long sec = 0, usec = 0, addr = 0, value = 0;
        const auto at = line.find('@'), a = line.find(" addr ");
        if (at == std::string::npos || a == std::string::npos) continue;
        if (std::sscanf(line.c_str() + at + 1, "%lu.%lu:", &sec, &usec) != 2) continue;
        if (std::sscanf(line.c_str() + a, " addr %lx value %lx", &addr, &value) != 2) continue;
        const double us = static_cast<double>(sec) * 1e6 + static_cast<double>(usec);
        if (addr == base + 4) trace.mcr.push_back({us, static_cast<int>(value)});
        if (addr == base + 7) trace.marks.push_back({us, static_cast<int>(value)});
    }
    return trace;
}

LineTrace LineTrace::parseFtdi(std::istream& in)
{
    // 13062@1796660917.469443:usb_serial_handle_control dev 0:1 got control 0x4001, value 0x303
    // Request 0x4001 is the vendor request SET_MODEM_CTRL: the value's high
    // byte says which lines it sets (0x100 DTR, 0x200 RTS), the low byte to what.
    constexpr unsigned kSetModemCtrl = 0x4001;
    LineTrace trace;
    int level = 0;
    for (std::string line; std::getline(in, line);) {
        unsigned long sec = 0, usec = 0, request = 0, value = 0;
        const auto at = line.find('@'), c = line.find(" control ");
        if (at == std::string::npos || c == std::string::npos) continue;
        if (std::sscanf(line.c_str() + at + 1, "%lu.%lu:", &sec, &usec) != 2) continue;
        if (std::sscanf(line.c_str() + c, " control %lx, value %lx", &request, &value) != 2) continue;
        if (request != kSetModemCtrl) continue;
        const int mask = static_cast<int>(value >> 8) & 0x03;
        level = (level & ~mask) | (static_cast<int>(value) & mask);
        trace.mcr.push_back({static_cast<double>(sec) * 1e6 + static_cast<double>(usec), level});
    }
    return trace;
}

std::optional<double> LineTrace::markTime(int value) const
{
    for (const auto& m : marks)
        if (m.value == value) return m.us;
    return std::nullopt;
}

std::vector<McrWrite> LineTrace::writesBetween(double fromUs, double toUs) const
{
    std::vector<McrWrite> found;
    for (const auto& w : mcr)
        if (w.us >= fromUs && w.us < toUs) found.push_back(w);
    return found;
}

McrWrite LineTrace::levelAt(double us) const
{
    McrWrite level {0, 0};
    for (const auto& w : mcr)
        if (w.us <= us) level = w;
    return level;
}

std::vector<Pulse> LineTrace::dtrPulses(double fromUs, double toUs) const
{
    std::vector<Pulse> pulses;
    bool high = levelAt(fromUs).dtr();
    double rise = fromUs;
    for (const auto& w : writesBetween(fromUs, toUs)) {
        if (w.dtr() && !high) rise = w.us;
        if (!w.dtr() && high) pulses.push_back({rise, w.us});
        high = w.dtr();
    }
    if (high && rise > fromUs) pulses.push_back({rise, toUs});
    return pulses;
}

std::vector<Window> LineTrace::windows(int begin, int end) const
{
    std::vector<Window> found;
    double from = -1; // no window open
    for (const auto& m : marks) {
        if (m.value == begin) from = m.us;
        if (m.value == end && from >= 0) {
            found.push_back({from, m.us});
            from = -1;
        }
    }
    return found;
}

OpenLines LineTrace::openLines(const Window& window) const
{
    OpenLines lines;
    const auto writes = writesBetween(window.fromUs, window.toUs);
    for (const auto& w : writes) lines.anyLineSet = lines.anyLineSet || w.dtr() || w.rts();
    const auto raise = std::find_if(writes.begin(), writes.end(), [](const McrWrite& w) { return w.dtr(); });
    if (raise == writes.end()) return lines;
    lines.raised = true;
    if (const auto next = raise + 1; next != writes.end()) {
        lines.lowerNext = !next->dtr();
        lines.rtsDownByNext = !next->rts() || (next + 1 != writes.end() && !(next + 1)->rts());
    }
    return lines;
}

std::string LineTrace::describe() const
{
    std::ostringstream out;
    const double t0 = mcr.empty() ? 0 : mcr.front().us;
    out << "MCR writes (ms since the first, value):";
    for (const auto& w : mcr) out << " " << (w.us - t0) / 1000 << ":0x" << std::hex << w.value << std::dec;
    out << "\nmarks:";
    for (const auto& m : marks) out << " " << (m.us - t0) / 1000 << ":" << m.value;
    return out.str();
}

} // namespace wire
