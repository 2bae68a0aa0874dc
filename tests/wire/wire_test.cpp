// SPDX-License-Identifier: MIT
// The real programs in a QEMU guest, DTR and RTS read from the emulated
// hardware's side: one row per scenario of scenarios/ (README: On the wire).

#include "guest_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace wire;

constexpr double kPulseUs = 500'000;

// A missing mark or result fails the test.
double mark(const GuestRun& run, int value)
{
    const auto t = run.trace.markTime(value);
    EXPECT_TRUE(t) << "mark " << value << " missing";
    return t.value_or(0);
}

std::string result(const GuestRun& run, const std::string& key)
{
    const auto found = run.results.find(key);
    EXPECT_NE(found, run.results.end()) << "no result '" << key << "'";
    return found == run.results.end() ? std::string() : found->second;
}

void expectFullPulses(const std::vector<Pulse>& pulses, std::size_t count)
{
    ASSERT_EQ(pulses.size(), count);
    for (std::size_t i = 0; i < pulses.size(); ++i) {
        EXPECT_GE(pulses[i].widthUs(), kPulseUs) << "pulse " << i;
        if (i) {
            EXPECT_GT(pulses[i].riseUs, pulses[i - 1].fallUs) << "pulse " << i << " overlaps the one before";
        }
    }
}

// The report recorded under KEY gives error NUMBER and says each of PARTS.
void expectReport(const GuestRun& run, const std::string& key, const std::string& number,
                  const std::vector<std::string>& parts)
{
    const std::string text = result(run, key);
    const std::string head = "Run-time error '";
    const auto at = text.find(head);
    ASSERT_NE(at, std::string::npos) << text;
    const auto from = at + head.size(), to = text.find("':", from);
    EXPECT_EQ(text.substr(from, to == std::string::npos ? 0 : to - from), number) << text;
    for (const auto& part : parts) EXPECT_NE(text.find(part), std::string::npos) << "'" << part << "' in: " << text;
}

// Typical use, for both programs (marks: 1 shown, 2 started, 3 pulsed, 4
// ended): Start lowers both lines, PULSES whole pulses, RTS never up, Stop
// and Close leaves the line down.
void expectTypicalUse(const GuestRun& run, std::size_t pulses)
{
    EXPECT_EQ(result(run, "status"), "0");
    const double before = mark(run, 1), started = mark(run, 2), pulsed = mark(run, 3), ended = mark(run, 4);
    EXPECT_LE(run.trace.writesBetween(0, before).size(), 1u) << "the launch reached ttyS1";
    // The open itself may raise both lines briefly.
    EXPECT_FALSE(run.trace.writesBetween(before, started).empty()) << "Start did not reach ttyS1";
    EXPECT_FALSE(run.trace.levelAt(started).dtr());
    EXPECT_FALSE(run.trace.levelAt(started).rts());
    expectFullPulses(run.trace.dtrPulses(started, pulsed), pulses);
    for (const auto& w : run.trace.writesBetween(started, ended)) EXPECT_FALSE(w.rts()) << "RTS rose";
    EXPECT_FALSE(run.trace.levelAt(pulsed).dtr());
    EXPECT_TRUE(run.trace.dtrPulses(pulsed, ended).empty());
    EXPECT_FALSE(run.trace.levelAt(ended).dtr());
}

// The frame's close (marks: 1 the port open, 2 the close out, 3 the program
// ended): a pulse under way (PULSES 1) ends whole, and the lines are left down.
void expectFrameClose(const GuestRun& run, std::size_t pulses)
{
    EXPECT_EQ(result(run, "status"), "0");
    const double open = mark(run, 1), sent = mark(run, 2), closed = mark(run, 3);
    const auto seen = run.trace.dtrPulses(open, closed);
    expectFullPulses(seen, pulses);
    if (pulses && !seen.empty()) {
        EXPECT_GT(sent, seen[0].riseUs) << "the close went out before the pulse";
        EXPECT_LT(sent, seen[0].fallUs) << "the close went out after the pulse: not a close during a pulse";
    }
    EXPECT_FALSE(run.trace.levelAt(closed).dtr()) << "DTR left asserted";
    EXPECT_FALSE(run.trace.levelAt(closed).rts()) << "RTS left asserted";
}

// A number with no device (marks: 1 shown, 2 ended).
void expectNoDevice(const GuestRun& run, const std::vector<std::string>& parts)
{
    EXPECT_EQ(result(run, "status"), "1");
    expectReport(run, "report", "8013", parts);
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 1), mark(run, 2)).empty());
}

void typicalUse(const GuestRun& run)
{
    EXPECT_EQ(result(run, "uarts"), "ttyS0:4 ttyS1:4 ttyS2:0 ttyS3:0 ") << "port 2 is not ttyS1 here";
    expectTypicalUse(run, 3);
}

void pulseBeforeStart(const GuestRun& run)
{
    EXPECT_EQ(result(run, "status"), "0");
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 1), mark(run, 3)).empty());
}

void clickDuringPulse(const GuestRun& run)
{
    EXPECT_EQ(result(run, "status"), "0");
    expectFullPulses(run.trace.dtrPulses(mark(run, 1), mark(run, 2)), 2);
}

void secondInstance(const GuestRun& run)
{
    EXPECT_EQ(result(run, "second"), "1");
    const std::string first = result(run, "first_pid");
    EXPECT_EQ(result(run, "lock"), first) << "the lock names the first instance";
    expectReport(run, "report", "8010", {"port 2 (/dev/ttyS1)", "pid " + first});
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 1), mark(run, 2)).empty()) << "the second instance touched the line";
    expectFullPulses(run.trace.dtrPulses(mark(run, 2), mark(run, 3)), 1);
    EXPECT_EQ(result(run, "first"), "0");
}

void portInUse(const GuestRun& run)
{
    for (const std::string who : {"console", "holder", "stale"}) EXPECT_EQ(result(run, who + "_status"), "1") << who;
    expectReport(run, "console_report", "8010", {"port 1 (/dev/ttyS0) is the system console"});
    EXPECT_EQ(result(run, "console_stty_after"), result(run, "console_stty_before"));
    expectReport(run, "holder_report", "8010",
                 {"port 2 (/dev/ttyS1) is held by sleep (pid " + result(run, "holder_pid") + ")"});
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 3), mark(run, 4)).empty()) << "the line was touched under its holder";
    EXPECT_EQ(result(run, "holder_stty_after"), result(run, "holder_stty_before"));
    expectReport(run, "stale_report", "8018",
                 {"port 2 (/dev/ttyS1) is locked by /var/lock/LCK..ttyS1, left behind by user root: its process (pid "
                      + result(run, "stale_pid") + ") has ended",
                  "(sudo rm /var/lock/LCK..ttyS1)"});
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 5), mark(run, 6)).empty()) << "the line was touched";
}

// The serial programs people run, as another dialout user (daemon) and as
// root: see scenarios/serial_peers.sh for the marks.
void serialPeers(const GuestRun& run)
{
    struct Holder {
        const char* peer;
        const char* program; // its /proc/PID/comm, which the report names
        const char* user;    // named where it is not ours: screen runs as ours
        int mark;
    };
    const Holder holders[] = {
        {"picocom", "picocom", ", user daemon", 10}, {"tio", "tio", ", user daemon", 12},
        {"minicom", "minicom", ", user daemon", 14}, {"screen", "screen", "", 16},
        {"pyserial", "python3", ", user daemon", 18},
    };
    for (const auto& h : holders) {
        SCOPED_TRACE(std::string("they hold: ") + h.peer);
        const std::string key = std::string(h.peer) + "_";
        EXPECT_EQ(result(run, key + "status"), "1");
        expectReport(run, key + "report", "8010",
                     {"port 2 (/dev/ttyS1) is held by " + std::string(h.program) + " (pid " + result(run, key + "pid")
                      + h.user + ")"});
        EXPECT_TRUE(run.trace.writesBetween(mark(run, h.mark), mark(run, h.mark + 1)).empty())
            << "the line was touched under its holder";
        EXPECT_EQ(result(run, key + "lines_after"), result(run, key + "lines_before"));
        EXPECT_EQ(result(run, key + "stty_after"), result(run, key + "stty_before"));
    }
    // A user's open meets our TIOCEXCL; root passes it and meets only our
    // locks: the lock file (minicom), the flock on the device (the rest).
    struct PeerTry {
        const char* peer;
        const char* user;
        const char* status;
        const char* says;
    };
    const PeerTry tries[] = {
        {"picocom", "daemon", "1", "FATAL: cannot open /dev/ttyS1: Device or resource busy"},
        {"picocom", "root", "1", "FATAL: cannot lock /dev/ttyS1: Resource temporarily unavailable"},
        {"tio", "daemon", "1", "Error: Could not open tty device (Device or resource busy)"},
        {"tio", "root", "1", "Error: Device file is locked by another process"},
        {"minicom", "daemon", "1", "Device /dev/ttyS1 is locked."},
        {"minicom", "root", "1", "Device /dev/ttyS1 is locked."},
        {"screen", "daemon", "0", "Cannot open line '/dev/ttyS1' for R/W: Device or resource busy"}, // 0 all the same
        {"pyserial", "daemon", "1", "could not open port /dev/ttyS1: [Errno 16] Device or resource busy"},
        {"pyserial", "root", "1", "Could not exclusively lock port /dev/ttyS1"},
    };
    int at = 30; // each try between its mark and the next; Stop and Close at 39
    for (const auto& r : tries) {
        const std::string key = std::string(r.peer) + "_" + r.user + "_";
        SCOPED_TRACE(std::string("we hold: ") + r.peer + " as " + r.user);
        EXPECT_EQ(result(run, key + "status"), r.status);
        EXPECT_NE(result(run, key + "says").find(r.says), std::string::npos) << result(run, key + "says");
        for (const auto& w : run.trace.writesBetween(mark(run, at), mark(run, at + 1)))
            EXPECT_FALSE(w.dtr() || w.rts()) << "a line raised under us";
        ++at;
    }
    EXPECT_EQ(result(run, "status"), "0");
}

void usbUnplug(const GuestRun& run)
{
    for (const std::string when : {"mid", "idle"}) {
        SCOPED_TRACE(when);
        EXPECT_EQ(result(run, "opened_" + when), "yes");
        expectReport(run, "report_" + when, "8017", {"port 3 (/dev/ttyUSB0) went away while open"});
        EXPECT_EQ(result(run, "status_" + when), "1");
        EXPECT_EQ(result(run, "lock_" + when), "none") << "lock left behind";
    }
    EXPECT_NE(result(run, "asleep_at_unplug").find("nanosleep"), std::string::npos) << "not pulled mid-pulse";
    // No busy loop with a dead device: clock ticks of CPU over 2 s.
    EXPECT_LE(std::stol(result(run, "cpu_idle_later")) - std::stol(result(run, "cpu_idle")), 20);
}

void exitPaths(const GuestRun& run)
{
    struct Ending {
        const char* name;
        int mark;
        const char* status;
        const char* lock; // what the lock directory says afterwards
        int fullPulses;   // pulses of at least 500 ms before the end
    };
    const Ending endings[] = {
        {"stop", 1, "0", "none", 1},
        {"frame", 2, "0", "none", 1}, // the close waits for the pulse
        {"error", 3, "1", "none", 0},
        {"term", 4, "143", "none", 1},  // the signal waits for the pulse
        {"kill", 5, "137", "stale", 0}, // cut short: the kernel drops the line
        {"hup", 8, "129", "none", 1},
        {"int", 9, "130", "none", 0},   // while the report is up
        {"last", 6, "0", "none", 0},
    };
    double from = 0;
    for (const auto& e : endings) {
        const double at = mark(run, e.mark);
        SCOPED_TRACE(e.name);
        EXPECT_EQ(result(run, std::string("status_") + e.name), e.status);
        EXPECT_EQ(result(run, std::string("lock_") + e.name), e.lock);
        EXPECT_FALSE(run.trace.levelAt(at).dtr()) << "DTR still asserted";
        EXPECT_FALSE(run.trace.levelAt(at).rts()) << "RTS still asserted";
        const auto pulses = run.trace.dtrPulses(from, at);
        EXPECT_EQ(std::count_if(pulses.begin(), pulses.end(), [](const Pulse& p) { return p.widthUs() >= kPulseUs; }),
                  e.fullPulses);
        from = at;
    }
    // The frame's close went out while the pulse was high (mark 7).
    const double closeSent = mark(run, 7);
    const auto framePulses = run.trace.dtrPulses(mark(run, 1), mark(run, 2));
    ASSERT_FALSE(framePulses.empty());
    EXPECT_GT(closeSent, framePulses.back().riseUs);
    EXPECT_LT(closeSent, framePulses.back().fallUs) << "the close went out after the pulse";
    expectReport(run, "report_error", "8000", {"port 2 (/dev/ttyS1) is open"});
}

// A first open (saved speed not zero) raises the lines inside open(): the
// program lowers both with its very next write, as the C pulser does; a
// later Start moves neither. The glitches' lengths vary with the load under
// TCG: bench/wire_pulse prints them.
void startLines(const LineTrace& trace, const GuestRun& run)
{
    SCOPED_TRACE(trace.describe());
    EXPECT_FALSE(trace.mcr.empty()) << "no line writes of this device in the trace";
    for (const auto& [key, value] : run.results)
        if (key.rfind("status_", 0) == 0) {
            EXPECT_EQ(value, "0") << key;
        }
    const auto programOpens = trace.windows(kProgramBegins, kProgramEnds);
    const auto pulserOpens = trace.windows(kPulserBegins, kPulserEnds);
    EXPECT_GE(programOpens.size(), 3u);
    EXPECT_GE(pulserOpens.size(), 3u);
    for (std::size_t i = 0; i < pulserOpens.size(); ++i)
        EXPECT_TRUE(trace.openLines(pulserOpens[i]).raised) << "first open " << i << " of the C pulser raised nothing";
    for (std::size_t i = 0; i < programOpens.size(); ++i) {
        const auto lines = trace.openLines(programOpens[i]);
        EXPECT_TRUE(lines.raised) << "first Start " << i << ": the open raised nothing, so nothing was proven";
        EXPECT_TRUE(lines.lowerNext) << "Start " << i << ": DTR not lowered by the write after the open's";
        EXPECT_TRUE(lines.rtsDownByNext) << "Start " << i << ": RTS not lowered by that write or the next";
    }
    const auto later = trace.windows(kLaterStartBegins, kLaterStartEnds);
    EXPECT_EQ(later.size(), programOpens.size() + 1) << "a later Start after each first one, and one that pulses";
    for (std::size_t i = 0; i < later.size(); ++i)
        EXPECT_FALSE(trace.openLines(later[i]).anyLineSet) << "later Start " << i << " raised DTR or RTS";
    // After us, another program sets its own speed and reads as it always did.
    EXPECT_EQ(result(run, "read_status"), "124") << "the read did not wait for data";
}

struct Scenario {
    const char* name; // of scenarios/
    bool windows;     // the .exe under Wine
    void (*expect)(const GuestRun&);
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

const Scenario kScenarios[] = {
    {"typical_use", false, typicalUse},
    {"pulse_before_start", false, pulseBeforeStart},
    {"click_during_pulse", false, clickDuringPulse},
    {"frame_close", false, [](const GuestRun& run) { expectFrameClose(run, 0); }},
    {"no_device", false,
     [](const GuestRun& run) {
         expectNoDevice(run, {"port 9", "Ports present now: 1 = /dev/ttyS0, 2 = /dev/ttyS1, 3 = /dev/ttyUSB0"});
     }},
    {"second_instance", false, secondInstance},
    {"usb_unplug", false, usbUnplug},
    {"exit_paths", false, exitPaths},
    {"start_lines", false, [](const GuestRun& run) { startLines(run.trace, run); }},
    {"usb_start_lines", false,
     [](const GuestRun& run) {
         startLines(run.usbTrace, run);
         // At speed 0 an open that sets no speed raises nothing, until a replug.
         EXPECT_EQ(result(run, "replug_speed_before"), "0");
         for (const auto& w : run.usbTrace.writesBetween(mark(run, 12), mark(run, 13)))
             EXPECT_FALSE(w.dtr() || w.rts()) << "a plain open at speed 0 raised a line";
         const auto replugged = run.usbTrace.writesBetween(mark(run, 14), mark(run, 15));
         EXPECT_TRUE(std::any_of(replugged.begin(), replugged.end(), [](const auto& w) { return w.dtr() && w.rts(); }))
             << "a plain open after replug raised neither line";
     }},
    {"port_in_use", false, portInUse},
    {"serial_peers", false, serialPeers},
    {"wine_typical_use", true,
     [](const GuestRun& run) {
         expectTypicalUse(run, 2);
         // Wine's driver raises the lines at every open; the program's very
         // next write, before its settings, lowers DTR.
         const auto lines = run.trace.openLines({mark(run, 1), mark(run, 2)});
         EXPECT_TRUE(lines.raised) << "the open did not raise DTR: nothing here shows the order of the writes";
         EXPECT_TRUE(lines.lowerNext) << "DTR not lowered by the write after the open's";
     }},
    {"wine_frame_close", true, [](const GuestRun& run) { expectFrameClose(run, 1); }},
    {"wine_no_device", true, [](const GuestRun& run) { expectNoDevice(run, {"port 9"}); }},
};

class Wire : public testing::TestWithParam<Scenario> {};

TEST_P(Wire, Scenario)
{
    const Scenario& s = GetParam();
    if (s.windows && !std::getenv("WIRE_WINDOWS_EXE")) GTEST_SKIP() << "set WIRE_WINDOWS_EXE to the .exe";
    const GuestRun& run = scenarioRun(s.name);
    if (!run.booted) GTEST_SKIP() << "no guest can boot here: " << run.reason;
    ASSERT_EQ(run.status, 0) << run.reason << "\nscenario output:\n" << run.guestLog;
    SCOPED_TRACE(run.trace.describe());
    // Every COM port the .exe could reach is one the prefix pins.
    if (s.windows) {
        EXPECT_EQ(result(run, "ports"), "ok") << result(run, "port_map");
    }
    s.expect(run);
}

INSTANTIATE_TEST_SUITE_P(Wire, Wire, testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
