// SPDX-License-Identifier: MIT
// Pulse widths on the wire: the real program and a minimal C pulser, each
// 20 pulses on the same emulated 16550 in the same guest, read from the
// emulated hardware's side. Then the glitch each open makes, taking turns on
// the same device (tests/wire/scenarios/start_trials.sh), on the 16550 and on
// the emulated FTDI adapter: first opens (saved speed not zero) and later ones.
// Then, given the Windows build, its .exe's under Wine beside a minimal Win32
// opener's (bench/wire/wine_start_lines.sh).
//
//   wire_pulse                     the program of this build
//   WIRE_BUILD_DIR=DIR wire_pulse  the program (and C pulser) of another build
//   WIRE_WINDOWS_EXE=EXE wire_pulse   and the Windows rows
//   WIRE_WINDOWS_EXE=EXE wire_pulse wine   the Windows rows alone

#include "guest_run.h"
#include "pulse_figures.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

struct Figures {
    std::size_t count;
    double min, median, p99, max;
};

Figures figures(const std::vector<wire::Pulse>& pulses)
{
    std::vector<double> us;
    for (const auto& p : pulses) us.push_back(p.widthUs());
    if (us.empty()) return {0, 0, 0, 0, 0};
    const PulseFigures f = pulseFigures(us);
    return {us.size(), f.min, f.median, f.p99, f.max};
}

// How long DTR stayed high at its first rise in the stretch; 0 where it never rose.
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
    const auto opens = trace.windows(begin, end);
    std::vector<double> us;
    std::size_t raised = 0;
    for (const auto& w : opens) {
        us.push_back(glitch(trace, w.fromUs, w.toUs));
        raised += us.back() > 0;
    }
    if (us.empty()) return {0, 0, 0, 0, 0};
    const PulseFigures f = pulseFigures(us);
    return {raised, opens.size(), f.median, f.min, f.max};
}

struct GlitchRow {
    const char* who;
    const char* when;
    int begin, end; // the marks around its opens
};

// One line a row; returns the rows' medians.
std::vector<double> printGlitches(const char* device, const wire::LineTrace& trace,
                                  std::initializer_list<GlitchRow> rows)
{
    std::vector<double> medians;
    for (const auto& r : rows) {
        const GlitchFigures f = glitchFigures(trace, r.begin, r.end);
        std::printf("%-16s %-17s %-12s %6zu/%-3zu %10.0f %10.0f %10.0f\n", device, r.who, r.when, f.raised, f.opens,
                    f.median, f.min, f.max);
        medians.push_back(f.median);
    }
    return medians;
}

wire::GuestRun runAlone(const std::string& script) { return wire::runInGuest({script}).front(); }

bool ran(const wire::GuestRun& run, const char* name)
{
    if (run.booted && run.status == 0) return true;
    std::fprintf(stderr, "the guest run %s failed:\n%s\n%s\n", name, run.reason.c_str(), run.guestLog.c_str());
    return false;
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
    std::printf("%-16s %-17s %-12s %10s %10s %10s %10s\n", "device", "", "", "raised", "median", "min", "max");
    for (const auto& s : scenarios) {
        const auto run = runAlone(s.name);
        if (!ran(run, s.name)) return 1;
        printGlitches(s.device, run.*s.trace,
                      {{"dtr-pulse-out", "first Start", wire::kProgramBegins, wire::kProgramEnds},
                       {"dtr-pulse-out", "later Start", wire::kLaterStartBegins, wire::kLaterStartEnds},
                       {"C pulser", "first open", wire::kPulserBegins, wire::kPulserEnds},
                       {"C pulser", "after us", wire::kPulserAfterUsBegins, wire::kPulserAfterUsEnds}});
    }
    return 0;
}

// The .exe's Start under Wine beside com_opener's open, taking turns in one
// guest, and then the .exe's typical use there: Wine's start, its pulses.
// WIRE_WINDOWS_EXE names the .exe, com_opener.exe is beside it in its
// build's bench/windows; a prefix is made for the run unless
// WIRE_WINE_PREFIX names one.
int wineRows()
{
    const char* exe = std::getenv("WIRE_WINDOWS_EXE");
    if (!exe || !*exe) {
        std::printf("(the rows for the .exe under Wine: set WIRE_WINDOWS_EXE to build-windows/dtr-pulse-out.exe)\n");
        return 0;
    }
    const std::string prefixes = "bash " BENCH_DIR "/../scripts/wine-prefix ";
    std::string made;
    if (!std::getenv("WIRE_WINE_PREFIX")) {
        char dir[] = "/tmp/wine-bench-XXXXXX";
        if (!::mkdtemp(dir) || std::system((prefixes + "create " + dir + " >/dev/null").c_str()) != 0) {
            std::fprintf(stderr, "no Wine prefix for the guest\n");
            return 1;
        }
        made = dir;
        ::setenv("WIRE_WINE_PREFIX", dir, 1);
    }
    const char* name = BENCH_DIR "/wire/wine_start_lines.sh";
    const auto runs = wire::runInGuest(std::vector<std::string> {name, "wine_typical_use"});
    if (!made.empty() && std::system((prefixes + "remove " + made).c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", made.c_str());
    if (!ran(runs[0], name) || !ran(runs[1], "wine_typical_use")) return 1;
    const auto medians = printGlitches("COM2 (Wine)", runs[0].trace,
                                       {{"dtr-pulse-out.exe", "Start", wire::kProgramBegins, wire::kProgramEnds},
                                        {"com_opener.exe", "open", wire::kPulserBegins, wire::kPulserEnds}});
    if (medians[1] > 0) std::printf("the .exe's median over the opener's: %.2fx\n", medians[0] / medians[1]);

    const auto& typical = runs[1];
    const auto at = [&](const char* key) { return typical.results.count(key) ? typical.results.at(key).c_str() : "-"; };
    std::printf("\nThe .exe's typical use under Wine (Wine booted before): guest uptime at start %s s, window %s s, "
                "exit %s s\n", at("t_start"), at("t_window"), at("t_exit"));
    const double started = typical.trace.markTime(2).value_or(0), pulsed = typical.trace.markTime(3).value_or(0);
    for (const auto& p : typical.trace.dtrPulses(started, pulsed)) std::printf("  DTR pulse %.0f us\n", p.widthUs());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "wine") return wineRows();
    const auto run = runAlone(BENCH_DIR "/wire/pulses.sh");
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
    const int wine = glitches ? 0 : wineRows();
    return program.min < 500'000 ? 1 : glitches | wine;
}
