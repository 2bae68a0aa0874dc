// SPDX-License-Identifier: MIT
// Pulse widths on the wire: the real program and a minimal C pulser, each
// 20 pulses on the same emulated 16550 in the same guest, read from the
// emulated hardware's side. Then the glitch each open makes, taking turns on
// the same device (tests/wire/scenarios/start_trials.sh), on the 16550 and on
// the emulated FTDI adapter: first opens (saved speed not zero) and later ones.
//
// With WIRE_WINDOWS_EXE and WIRE_WINE_PREFIX set, the Windows build under
// Wine too, in a guest of its own: Wine's start, its pulses, its open glitch.
//
//   wire_pulse                     the program of this build
//   WIRE_BUILD_DIR=DIR wire_pulse  the program (and C pulser) of another build

#include "guest_run.h"
#include "start_trials.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Figures {
    std::size_t count;
    double min, median, p99, max;
};

Figures figures(const std::vector<wire::Pulse>& pulses)
{
    std::vector<double> us;
    for (const auto& p : pulses) us.push_back(p.widthUs());
    std::sort(us.begin(), us.end());
    if (us.empty()) return {0, 0, 0, 0, 0};
    const auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1) + 0.5)]; };
    return {us.size(), us.front(), at(0.5), at(0.99), us.back()};
}

double glitch(const wire::LineTrace& trace, double from, double to)
{
    const auto pulses = trace.dtrPulses(from, to);
    return pulses.empty() ? 0 : pulses.front().widthUs();
}

struct GlitchFigures {
    std::size_t raised, opens;
    double median, min, max;
};

// Every open in the windows counts; one that raised nothing counts as 0.
GlitchFigures glitchFigures(const wire::LineTrace& trace, int begin, int end)
{
    const auto opens = wire::windows(trace, begin, end);
    std::vector<double> us;
    std::size_t raised = 0;
    for (const auto& w : opens) {
        const auto lines = wire::openLines(trace, w);
        raised += lines.raised;
        us.push_back(lines.raised ? lines.glitchUs : 0);
    }
    if (us.empty()) return {0, 0, 0, 0, 0};
    const auto [min, max] = std::minmax_element(us.begin(), us.end());
    return {raised, opens.size(), wire::median(us), *min, *max};
}

void printGlitches(const char* device, const wire::LineTrace& trace)
{
    struct Row {
        const char* who;
        const char* when;
        int begin, end;
    };
    const Row rows[] = {
        {"dtr-pulse-out", "first Start", wire::kProgramBegins, wire::kProgramEnds},
        {"dtr-pulse-out", "later Start", wire::kLaterStartBegins, wire::kLaterStartEnds},
        {"C pulser", "first open", wire::kPulserBegins, wire::kPulserEnds},
        {"C pulser", "after us", wire::kPulserAfterUsBegins, wire::kPulserAfterUsEnds},
    };
    for (const auto& r : rows) {
        const GlitchFigures f = glitchFigures(trace, r.begin, r.end);
        std::printf("%-16s %-14s %-12s %6zu/%-3zu %10.0f %10.0f %10.0f\n", device, r.who, r.when, f.raised, f.opens,
                    f.median, f.min, f.max);
    }
}

int glitchTable()
{
    struct Scenario {
        const char* name;
        const char* device;
        wire::LineTrace wire::GuestRun::*trace;
    };
    const Scenario scenarios[] = {
        {BENCH_DIR "/wire/start_lines.sh", "ttyS1 (16550)", &wire::GuestRun::trace},
        {BENCH_DIR "/wire/usb_start_lines.sh", "ttyUSB0 (FTDI)", &wire::GuestRun::usbTrace},
    };
    std::printf("\nDTR high at open (glitch), microseconds; raised/opens, then median, min, max over all opens\n");
    std::printf("%-16s %-14s %-12s %10s %10s %10s %10s\n", "device", "", "", "raised", "median", "min", "max");
    for (const auto& s : scenarios) {
        const auto run = wire::runInGuest(s.name);
        if (!run.booted || run.status != 0) {
            std::fprintf(stderr, "the guest run %s failed:\n%s\n%s\n", s.name, run.reason.c_str(), run.guestLog.c_str());
            return 1;
        }
        printGlitches(s.device, run.*s.trace);
    }
    return 0;
}

// The .exe under Wine: seconds of guest uptime at each step of its start,
// then what the line did.
int wineFigures()
{
    const auto run = wire::runInGuest("wine_typical_use");
    if (!run.booted || run.status != 0) {
        std::fprintf(stderr, "the Wine guest run failed:\n%s\n%s\n", run.reason.c_str(), run.guestLog.c_str());
        return 1;
    }
    const auto at = [&](const char* key) { return run.results.count(key) ? run.results.at(key).c_str() : "-"; };
    std::printf("\nThe .exe under Wine in the guest (Wine booted before): uptime at start %s s, window %s s, exit %s s\n",
                at("t_start"), at("t_window"), at("t_exit"));
    const auto& mcr = run.trace.mcr;
    const double end = mcr.empty() ? 0 : mcr.back().us + 1;
    for (const auto& p : run.trace.dtrPulses(0, end))
        if (!run.trace.levelAt(p.riseUs).rts()) // RTS up too: the open, below
            std::printf("  DTR pulse %.0f us\n", p.widthUs());
    // RTS rises only as the driver opens the port: how long it and DTR stay up.
    for (std::size_t i = 0; i < mcr.size(); ++i) {
        if (!mcr[i].rts() || (i && mcr[i - 1].rts())) continue;
        const auto low = std::find_if(mcr.begin() + static_cast<long>(i), mcr.end(),
                                      [](const auto& w) { return !w.rts() && !w.dtr(); });
        if (low != mcr.end()) std::printf("  open glitch %.0f us\n", low->us - mcr[i].us);
    }
    return 0;
}

} // namespace

int main()
{
    const auto run = wire::runInGuest(BENCH_DIR "/wire/pulses.sh");
    if (!run.booted || run.status != 0) {
        std::fprintf(stderr, "the guest run failed:\n%s\n%s\n", run.reason.c_str(), run.guestLog.c_str());
        return 1;
    }
    const auto& t = run.trace;
    const auto m = [&](int v) { return t.markTime(v).value_or(0); };
    // The program: opened between marks 1 and 2, pulses between 2 and 3.
    const Figures program = figures(t.dtrPulses(m(2), m(3)));
    // The C pulser: its open glitch is the first high interval after mark 4, then its pulses.
    auto cPulses = t.dtrPulses(m(4), m(5));
    double cGlitch = 0;
    if (!cPulses.empty() && cPulses.front().widthUs() < 100'000) {
        cGlitch = cPulses.front().widthUs();
        cPulses.erase(cPulses.begin());
    }
    const Figures c = figures(cPulses);
    std::printf("DTR high time on the emulated 16550 (QEMU trace), microseconds\n");
    std::printf("%-18s %14s %14s\n", "", "dtr-pulse-out", "C pulser");
    std::printf("%-18s %14zu %14zu\n", "pulses", program.count, c.count);
    std::printf("%-18s %14.0f %14.0f\n", "min", program.min, c.min);
    std::printf("%-18s %14.0f %14.0f\n", "median", program.median, c.median);
    std::printf("%-18s %14.0f %14.0f\n", "p99", program.p99, c.p99);
    std::printf("%-18s %14.0f %14.0f\n", "max", program.max, c.max);
    std::printf("%-18s %14.0f %14.0f\n", "open glitch", glitch(t, m(1), m(2)), cGlitch);
    const int glitches = glitchTable();
    const int wine = std::getenv("WIRE_WINDOWS_EXE") ? wineFigures() : 0;
    return program.min < 500'000 ? 1 : glitches ? glitches : wine;
}
