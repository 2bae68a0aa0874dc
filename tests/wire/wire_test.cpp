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

// TEXT with each {KEY} in it replaced by that result.
std::string expand(const GuestRun& run, std::string text)
{
    for (auto at = text.find('{'); at != std::string::npos; at = text.find('{', at)) {
        const auto end = text.find('}', at);
        const std::string value = result(run, text.substr(at + 1, end - at - 1));
        text.replace(at, end - at + 1, value);
        at += value.size();
    }
    return text;
}

// The report recorded under KEY gives error NUMBER and says each of PARTS.
struct Report {
    std::string key, number;
    std::vector<std::string> parts;
};

void expectReport(const GuestRun& run, const Report& r)
{
    const std::string text = result(run, r.key);
    const std::string head = "Run-time error '";
    const auto at = text.find(head);
    ASSERT_NE(at, std::string::npos) << r.key << ": " << text;
    const auto from = at + head.size(), to = text.find("':", from);
    EXPECT_EQ(text.substr(from, to == std::string::npos ? 0 : to - from), r.number) << text;
    for (const auto& part : r.parts) {
        const std::string said = expand(run, part);
        EXPECT_NE(text.find(said), std::string::npos) << "'" << said << "' in: " << text;
    }
}

// Between two marks: PULSES whole pulses one after another, or (kQuiet) no
// line write at all.
constexpr int kQuiet = -1;
struct Stretch {
    int from, to, pulses;
};

// A Start that scenarios/lib.sh's `refused_start PREFIX PORT MARK` records:
// exit status 1, error NUMBER saying each of PARTS, no line write from MARK
// to the next, and PREFIXkey_after as PREFIXkey_before for each key of SAME.
struct Refusal {
    std::string prefix;
    int mark;
    std::string number;
    std::vector<std::string> parts, same {};
};

void expectRefused(const GuestRun& run, const Refusal& r)
{
    SCOPED_TRACE("refused: " + r.prefix + "report");
    EXPECT_EQ(result(run, r.prefix + "status"), "1");
    expectReport(run, {r.prefix + "report", r.number, r.parts});
    EXPECT_TRUE(run.trace.writesBetween(mark(run, r.mark), mark(run, r.mark + 1)).empty()) << "the line was touched";
    for (const auto& key : r.same)
        EXPECT_EQ(result(run, r.prefix + key + "_after"), result(run, r.prefix + key + "_before")) << key;
}

// The frame's close, out at mark SENT, went out while the last pulse between
// marks FROM and TO was high.
void expectCloseInPulse(const GuestRun& run, int sent, int from, int to)
{
    const auto pulses = run.trace.dtrPulses(mark(run, from), mark(run, to));
    ASSERT_FALSE(pulses.empty());
    EXPECT_GT(mark(run, sent), pulses.back().riseUs) << "the close went out before the pulse";
    EXPECT_LT(mark(run, sent), pulses.back().fallUs) << "the close went out after the pulse";
}

// Typical use (marks: 1 shown, 2 started, 3 pulsed, 4 ended): the launch
// leaves the line alone, Start reaches it (the open may raise both lines
// briefly), RTS never rises.
void expectTypicalUse(const GuestRun& run)
{
    EXPECT_LE(run.trace.writesBetween(0, mark(run, 1)).size(), 1u) << "the launch reached ttyS1";
    EXPECT_FALSE(run.trace.writesBetween(mark(run, 1), mark(run, 2)).empty()) << "Start did not reach ttyS1";
    for (const auto& w : run.trace.writesBetween(mark(run, 2), mark(run, 4))) EXPECT_FALSE(w.rts()) << "RTS rose";
}

// While we hold the port, the serial programs people run try it (marks 30 to
// 38, one a try): a user's open meets our TIOCEXCL; root passes it and meets
// only our locks: the lock file (minicom), the flock on the device (the rest).
void peersRefused(const GuestRun& run)
{
    struct PeerTry {
        const char *peer, *user, *status, *says;
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
    int at = 30;
    for (const auto& r : tries) {
        const std::string key = std::string(r.peer) + "_" + r.user + "_";
        SCOPED_TRACE(std::string("we hold: ") + r.peer + " as " + r.user);
        EXPECT_EQ(result(run, key + "status"), r.status);
        EXPECT_NE(result(run, key + "says").find(r.says), std::string::npos) << result(run, key + "says");
        for (const auto& w : run.trace.writesBetween(mark(run, at), mark(run, at + 1)))
            EXPECT_FALSE(w.dtr() || w.rts()) << "a line raised under us";
        ++at;
    }
}

void usbUnplug(const GuestRun& run)
{
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
    expectCloseInPulse(run, 7, 1, 2);
}

// A first open (saved speed not zero) raises the lines inside open(): the
// program lowers both with its very next write, as the C pulser does; a
// later Start moves neither. bench/wire_pulse prints the glitches' lengths.
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

// At speed 0 (replug_speed_before) an open that sets no speed raises
// nothing, until a replug.
void usbStartLines(const GuestRun& run)
{
    startLines(run.usbTrace, run);
    for (const auto& w : run.usbTrace.writesBetween(mark(run, 12), mark(run, 13)))
        EXPECT_FALSE(w.dtr() || w.rts()) << "a plain open at speed 0 raised a line";
    const auto replugged = run.usbTrace.writesBetween(mark(run, 14), mark(run, 15));
    EXPECT_TRUE(std::any_of(replugged.begin(), replugged.end(), [](const auto& w) { return w.dtr() && w.rts(); }))
        << "a plain open after replug raised neither line";
}

struct Scenario {
    const char* name;     // of scenarios/
    bool windows = false; // the .exe under Wine
    std::vector<std::pair<std::string, std::string>> results {}; // as they must read ({KEY}: that result)
    std::vector<Report> reports {};
    std::vector<int> linesDown {}; // marks where DTR and RTS are both low
    std::vector<Stretch> stretches {};
    std::vector<Refusal> refusals {};
    void (*more)(const GuestRun&) = nullptr;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

const std::string kHeld = "port 2 (/dev/ttyS1) is held by ", kGone = "port 3 (/dev/ttyUSB0) went away while open";
const std::pair<std::string, std::string> kExitZero {"status", "0"};

const Scenario kScenarios[] = {
    {.name = "typical_use", .results = {kExitZero, {"uarts", "ttyS0:4 ttyS1:4 ttyS2:0 ttyS3:0 "}},
     .linesDown = {2, 3, 4}, .stretches = {{2, 3, 3}, {3, 4, 0}}, .more = expectTypicalUse},
    {.name = "pulse_before_start", .results = {kExitZero}, .stretches = {{1, 3, kQuiet}}},
    {.name = "click_during_pulse", .results = {kExitZero}, .stretches = {{1, 2, 2}}},
    {.name = "frame_close", .results = {kExitZero}, .linesDown = {3}, .stretches = {{1, 2, 0}, {2, 3, 0}}},
    {.name = "no_device",
     .refusals = {{"", 1, "8013", {"port 9", "Ports present now: 1 = /dev/ttyS0, 2 = /dev/ttyS1, 3 = /dev/ttyUSB0"}}}},
    {.name = "second_instance", .results = {{"second", "1"}, {"lock", "{first_pid}"}, {"first", "0"}},
     .reports = {{"report", "8010", {"port 2 (/dev/ttyS1)", "pid {first_pid}"}}},
     .stretches = {{1, 2, kQuiet}, {2, 3, 1}}},
    {.name = "usb_unplug",
     .results = {{"opened_mid", "yes"}, {"status_mid", "1"}, {"lock_mid", "none"},
                 {"opened_idle", "yes"}, {"status_idle", "1"}, {"lock_idle", "none"}},
     .reports = {{"report_mid", "8017", {kGone}}, {"report_idle", "8017", {kGone}}}, .more = usbUnplug},
    {.name = "exit_paths", .reports = {{"report_error", "8000", {"port 2 (/dev/ttyS1) is open"}}}, .more = exitPaths},
    {.name = "start_lines", .more = [](const GuestRun& run) { startLines(run.trace, run); }},
    {.name = "usb_start_lines", .results = {{"replug_speed_before", "0"}}, .more = usbStartLines},
    {.name = "port_in_use",
     .refusals = {{"console_", 1, "8010", {"port 1 (/dev/ttyS0) is the system console"}, {"stty"}},
                  {"holder_", 3, "8010", {kHeld + "sleep (pid {holder_pid})"}, {"stty"}},
                  {"stale_", 5, "8018",
                   {"port 2 (/dev/ttyS1) is locked by /var/lock/LCK..ttyS1, left behind by user root: its process "
                    "(pid {stale_pid}) has ended",
                    "(sudo rm /var/lock/LCK..ttyS1)"}}}},
    // The serial programs people run hold the port, as another dialout user
    // (daemon; screen as ours): the report names the program by its comm.
    {.name = "serial_peers", .results = {kExitZero},
     .refusals = {{"picocom_", 10, "8010", {kHeld + "picocom (pid {picocom_pid}, user daemon)"}, {"lines", "stty"}},
                  {"tio_", 12, "8010", {kHeld + "tio (pid {tio_pid}, user daemon)"}, {"lines", "stty"}},
                  {"minicom_", 14, "8010", {kHeld + "minicom (pid {minicom_pid}, user daemon)"}, {"lines", "stty"}},
                  {"screen_", 16, "8010", {kHeld + "screen (pid {screen_pid})"}, {"lines", "stty"}},
                  {"pyserial_", 18, "8010", {kHeld + "python3 (pid {pyserial_pid}, user daemon)"}, {"lines", "stty"}}},
     .more = peersRefused},
    {.name = "wine_typical_use", .windows = true, .results = {kExitZero}, .linesDown = {2, 3, 4},
     .stretches = {{2, 3, 2}, {3, 4, 0}},
     .more = [](const GuestRun& run) {
         expectTypicalUse(run);
         // Wine's driver raises the lines at every open; the program's very
         // next write, before its settings, lowers DTR.
         const auto lines = run.trace.openLines({mark(run, 1), mark(run, 2)});
         EXPECT_TRUE(lines.raised) << "the open did not raise DTR: nothing here shows the order of the writes";
         EXPECT_TRUE(lines.lowerNext) << "DTR not lowered by the write after the open's";
     }},
    {.name = "wine_frame_close", .windows = true, .results = {kExitZero}, .linesDown = {3}, .stretches = {{1, 3, 1}},
     .more = [](const GuestRun& run) { expectCloseInPulse(run, 2, 1, 3); }},
    {.name = "wine_no_device", .windows = true, .refusals = {{"", 1, "8013", {"port 9"}}}},
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
    for (const auto& [key, value] : s.results) EXPECT_EQ(result(run, key), expand(run, value)) << key;
    for (const auto& r : s.reports) expectReport(run, r);
    for (const int at : s.linesDown) {
        EXPECT_FALSE(run.trace.levelAt(mark(run, at)).dtr()) << "DTR up at mark " << at;
        EXPECT_FALSE(run.trace.levelAt(mark(run, at)).rts()) << "RTS up at mark " << at;
    }
    for (const auto& [from, to, pulses] : s.stretches) {
        SCOPED_TRACE("from mark " + std::to_string(from) + " to " + std::to_string(to));
        if (pulses == kQuiet) {
            EXPECT_TRUE(run.trace.writesBetween(mark(run, from), mark(run, to)).empty()) << "a line write";
        } else {
            expectFullPulses(run.trace.dtrPulses(mark(run, from), mark(run, to)), static_cast<std::size_t>(pulses));
        }
    }
    for (const auto& r : s.refusals) expectRefused(run, r);
    if (s.more) s.more(run);
}

INSTANTIATE_TEST_SUITE_P(Wire, Wire, testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
