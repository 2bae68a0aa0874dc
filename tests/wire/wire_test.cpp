// SPDX-License-Identifier: MIT
// The real program in a guest, under Xvfb, driven by mouse and keyboard,
// against the kernel's 8250 driver on an emulated 16550 UART; the DTR and
// RTS lines read from the emulated hardware's side.

#include "guest_run.h"
#include "wire_expect.h"
#include "start_trials.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

namespace {

using wire::GuestRun;
using wire::expectFullPulses;
using wire::kPulseUs;
using wire::mark;

// Boots the guest, or skips with the reason where no guest can boot here.
#define RUN_SCENARIO(run, name)                                                          \
    const GuestRun run = wire::runInGuest(name);                                        \
    if (!run.booted) GTEST_SKIP() << "no guest can boot here: " << run.reason;            \
    ASSERT_EQ(run.status, 0) << run.reason << "\nscenario output:\n" << run.guestLog;      \
    SCOPED_TRACE(run.trace.describe())

TEST(Wire, TypicalUse)
{
    RUN_SCENARIO(run, "typical_use");
    EXPECT_EQ(run.results.at("status"), "0");
    EXPECT_EQ(run.results.at("uarts"), "ttyS0:4 ttyS1:4 ttyS2:0 ttyS3:0 ") << "port 2 is not ttyS1 here";
    const double before = mark(run, 1), started = mark(run, 2), pulsed = mark(run, 3), ended = mark(run, 4);
    EXPECT_TRUE(run.trace.writesBetween(0, before).size() <= 2) << "only the kernel's own set-up before Start";
    // Start: opened (the open itself may raise both lines briefly), then both held low.
    EXPECT_FALSE(run.trace.writesBetween(before, started).empty()) << "Start did not reach ttyS1";
    EXPECT_FALSE(run.trace.levelAt(started).dtr());
    EXPECT_FALSE(run.trace.levelAt(started).rts());
    expectFullPulses(run.trace.dtrPulses(started, pulsed), 3);
    for (const auto& w : run.trace.writesBetween(started, ended)) EXPECT_FALSE(w.rts()) << "RTS rose";
    // Stop and Close: the line dropped, nothing after.
    EXPECT_FALSE(run.trace.levelAt(ended).dtr());
    EXPECT_TRUE(run.trace.dtrPulses(pulsed, ended).empty());
}

TEST(Wire, PulseOutBeforeStartWritesNothingToTheLine)
{
    RUN_SCENARIO(run, "pulse_before_start");
    EXPECT_EQ(run.results.at("status"), "0");
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 1), mark(run, 3)).empty());
}

TEST(Wire, ClickDuringAPulseGivesASecondPulseAfterIt)
{
    RUN_SCENARIO(run, "click_during_pulse");
    EXPECT_EQ(run.results.at("status"), "0");
    expectFullPulses(run.trace.dtrPulses(mark(run, 1), mark(run, 2)), 2);
}

TEST(Wire, FrameCloseReleasesTheLineAndRunsNoCommand)
{
    RUN_SCENARIO(run, "frame_close");
    EXPECT_EQ(run.results.at("status"), "0");
    const double open = mark(run, 1), closed = mark(run, 2);
    EXPECT_TRUE(run.trace.dtrPulses(open, closed).empty()) << "a command ran";
    EXPECT_FALSE(run.trace.levelAt(closed).dtr());
    EXPECT_FALSE(run.trace.levelAt(closed).rts());
}

// The report's text, as the user copied it.
void expectReport(const GuestRun& run, const std::string& key, const std::vector<std::string>& parts)
{
    const std::string& report = run.results.at(key);
    for (const auto& part : parts)
        EXPECT_TRUE(report.find(part) != std::string::npos) << key << " lacks \"" << part << "\": " << report;
}

TEST(Wire, NumberWithNoDeviceAndTheSystemConsoleAreRefusedUntouched)
{
    RUN_SCENARIO(run, "no_device");
    EXPECT_EQ(run.results.at("status"), "1");
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 1), mark(run, 2)).empty());
    // Port 1 is ttyS0, the guest's console: its settings stay as they were.
    EXPECT_EQ(run.results.at("console_status"), "1");
    expectReport(run, "console_report", {"Run-time error '8010'", "port 1 (/dev/ttyS0) is the system console"});
    EXPECT_EQ(run.results.at("console_stty_after"), run.results.at("console_stty_before"));
    mark(run, 4);
}

TEST(Wire, APortInUseIsRefusedWithItsLineAndSettingsAsTheyWere)
{
    RUN_SCENARIO(run, "second_instance");
    EXPECT_EQ(run.results.at("second"), "1");
    EXPECT_EQ(run.results.at("lock"), run.results.at("first_pid")) << "the lock names the first instance";
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 1), mark(run, 2)).empty()) << "the second instance touched the line";
    expectFullPulses(run.trace.dtrPulses(mark(run, 2), mark(run, 3)), 1);
    EXPECT_EQ(run.results.at("first"), "0");
    // A program with the port open and no lock: named; no write after its own open.
    EXPECT_EQ(run.results.at("holder_status"), "1");
    expectReport(run, "holder_report",
                 {"Run-time error '8010'",
                  "port 2 (/dev/ttyS1) is held by sleep (pid " + run.results.at("holder_pid") + ")"});
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 4), mark(run, 5)).empty()) << "the line was touched under its holder";
    EXPECT_EQ(run.results.at("holder_stty_after"), run.results.at("holder_stty_before"));
    // Another user's stale lock: an error of its own, with the fix; the lock stays, the line untouched.
    EXPECT_EQ(run.results.at("stale_status"), "1");
    expectReport(run, "stale_report",
                 {"Run-time error '8018'",
                  "port 2 (/dev/ttyS1) is locked by /var/lock/LCK..ttyS1, left behind by user root: its process (pid "
                      + run.results.at("stale_pid") + ") has ended",
                  "(sudo rm /var/lock/LCK..ttyS1)"});
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 6), mark(run, 7)).empty()) << "the line was touched";
    EXPECT_EQ(run.results.at("stale_lock_owner"), "root");
}

TEST(Wire, AdapterUnpluggedWhileOpenIsReportedAndLetGo)
{
    RUN_SCENARIO(run, "usb_unplug");
    for (const std::string when : {"mid", "idle"}) {
        SCOPED_TRACE(when);
        EXPECT_EQ(run.results.at("opened_" + when), "yes");
        const std::string report = run.results.at("report_" + when);
        EXPECT_NE(report.find("Run-time error '8017'"), std::string::npos) << report;
        EXPECT_NE(report.find("port 3 (/dev/ttyUSB0) went away while open"), std::string::npos) << report;
        EXPECT_EQ(run.results.at("status_" + when), "1");
        EXPECT_EQ(run.results.at("lock_" + when), "none") << "lock left behind";
    }
    EXPECT_NE(run.results.at("asleep_at_unplug").find("nanosleep"), std::string::npos) << "not pulled mid-pulse";
    // Idle with a dead device: no busy loop (clock ticks of CPU over 2 s).
    EXPECT_LE(std::stol(run.results.at("cpu_idle_later")) - std::stol(run.results.at("cpu_idle")), 20);
}

TEST(Wire, EveryWayOfEndingLetsTheNextInstanceOpenWithTheLineDown)
{
    RUN_SCENARIO(run, "exit_paths");
    struct Ending {
        const char* name;
        int mark;
        const char* status;
        const char* lock;     // what the lock directory says afterwards
        int fullPulses;       // pulses of at least 500 ms before the end
    };
    const Ending endings[] = {
        {"stop", 1, "0", "none", 1},
        {"frame", 2, "0", "none", 1},  // the close waits for the pulse
        {"error", 3, "1", "none", 0},
        {"term", 4, "143", "none", 1}, // the signal waits for the pulse
        {"kill", 5, "137", "stale", 0}, // cut short: the kernel drops the line
        {"hup", 8, "129", "none", 1},
        {"int", 9, "130", "none", 0},   // while the report is up
        {"last", 6, "0", "none", 0},
    };
    double from = 0;
    for (const auto& e : endings) {
        const double at = mark(run, e.mark);
        SCOPED_TRACE(e.name);
        EXPECT_EQ(run.results.at(std::string("opened_") + e.name), "yes") << "the port was not free";
        EXPECT_EQ(run.results.at(std::string("status_") + e.name), e.status);
        EXPECT_EQ(run.results.at(std::string("lock_") + e.name), e.lock);
        EXPECT_FALSE(run.trace.levelAt(at).dtr()) << "DTR still asserted";
        EXPECT_FALSE(run.trace.levelAt(at).rts()) << "RTS still asserted";
        const auto pulses = run.trace.dtrPulses(from, at);
        std::size_t full = 0;
        for (const auto& p : pulses) full += p.widthUs() >= kPulseUs;
        EXPECT_EQ(full, static_cast<std::size_t>(e.fullPulses));
        from = at;
    }
}

// Start on a fresh port (saved speed not zero) raises the lines inside
// open(): the program must lower both with its very next write, as the C
// pulser does. A later Start must not move them at all. The glitch lengths
// are reported, not asserted: under TCG on a shared machine they vary by
// milliseconds with the load (bench/wire_pulse prints the comparison).
struct StartDevice {
    const char* scenario;
    const char* name;
    wire::LineTrace GuestRun::*trace;
    bool replug; // the scenario also shows speed 0 lasting until replug
};

void PrintTo(const StartDevice& d, std::ostream* os) { *os << d.name; }

class StartLines : public testing::TestWithParam<StartDevice> {};

TEST_P(StartLines, HoldDtrAndRtsDownFromTheOpenOn)
{
    const StartDevice& d = GetParam();
    const GuestRun run = wire::runInGuest(d.scenario);
    if (!run.booted) GTEST_SKIP() << "no guest can boot here: " << run.reason;
    ASSERT_EQ(run.status, 0) << run.reason << "\nscenario output:\n" << run.guestLog;
    const wire::LineTrace& trace = run.*d.trace;
    SCOPED_TRACE(trace.describe());
    for (const auto& [key, value] : run.results)
        if (key.rfind("status_", 0) == 0) {
            EXPECT_EQ(value, "0") << key;
        }

    const auto programOpens = wire::windows(trace, wire::kProgramBegins, wire::kProgramEnds);
    const auto pulserOpens = wire::windows(trace, wire::kPulserBegins, wire::kPulserEnds);
    EXPECT_GE(programOpens.size(), 3u);
    EXPECT_GE(pulserOpens.size(), 3u);
    for (std::size_t i = 0; i < programOpens.size(); ++i) {
        const auto lines = wire::openLines(trace, programOpens[i]);
        if (!lines.raised) continue; // the kernel left the lines alone: nothing to lower
        EXPECT_TRUE(lines.lowerNext) << "Start " << i << ": DTR not lowered by the write after the open's";
        EXPECT_TRUE(lines.rtsDownByNext) << "Start " << i << ": RTS not lowered by that write or the next";
    }
    const double program = wire::median(wire::glitches(trace, programOpens));
    const double pulser = wire::median(wire::glitches(trace, pulserOpens));
    std::cout << d.name << ": median open glitch " << program << " us (program), " << pulser
              << " us (C pulser), ratio " << (pulser > 0 ? program / pulser : 0) << "\n";

    const auto later = wire::windows(trace, wire::kLaterStartBegins, wire::kLaterStartEnds);
    EXPECT_EQ(later.size(), programOpens.size() + 1) << "a later Start after each first one, and one that pulses";
    for (std::size_t i = 0; i < later.size(); ++i)
        EXPECT_FALSE(wire::openLines(trace, later[i]).anyLineSet) << "later Start " << i << " raised DTR or RTS";
    // After us, another program sets its own speed and reads as it always did.
    EXPECT_EQ(run.results.at("stty_status"), "0");
    EXPECT_EQ(run.results.at("speed"), "9600");
    EXPECT_EQ(run.results.at("read_status"), "124") << "the read did not wait for data";
    if (!d.replug) return;
    // At speed 0 an open that sets no speed raises nothing, until the adapter is plugged in again.
    EXPECT_EQ(run.results.at("replug_speed_before"), "0");
    for (const auto& w : trace.writesBetween(mark(run, 12), mark(run, 13)))
        EXPECT_FALSE(w.dtr() || w.rts()) << "a plain open at speed 0 raised a line";
    const auto afterReplug = trace.writesBetween(mark(run, 14), mark(run, 15));
    EXPECT_TRUE(std::any_of(afterReplug.begin(), afterReplug.end(), [](const auto& w) { return w.dtr() && w.rts(); }))
        << "a plain open after replug raised neither line";
}

INSTANTIATE_TEST_SUITE_P(Wire, StartLines,
                         testing::Values(StartDevice {"start_lines", "ttyS1 (16550)", &GuestRun::trace, false},
                                         StartDevice {"usb_start_lines", "ttyUSB0 (FTDI)", &GuestRun::usbTrace, true}),
                         [](const auto& info) { return std::string(info.param.scenario); });

} // namespace
