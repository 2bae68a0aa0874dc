// SPDX-License-Identifier: MIT
// What the wire tests expect of a run, for both programs, and of the
// scenarios both play.
#pragma once

#include "guest_run.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace wire {

constexpr double kPulseUs = 500'000;

// A missing mark or result fails the test.
inline double mark(const GuestRun& run, int value)
{
    const auto t = run.trace.markTime(value);
    EXPECT_TRUE(t) << "mark " << value << " missing";
    return t.value_or(0);
}

inline std::string result(const GuestRun& run, const std::string& key)
{
    const auto found = run.results.find(key);
    EXPECT_NE(found, run.results.end()) << "no result '" << key << "'";
    return found == run.results.end() ? std::string() : found->second;
}

inline void expectFullPulses(const std::vector<Pulse>& pulses, std::size_t count)
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
inline void expectReport(const GuestRun& run, const std::string& key, const std::string& number,
                         const std::vector<std::string>& parts = {})
{
    const std::string text = result(run, key);
    const std::string head = "Run-time error '";
    const auto at = text.find(head);
    ASSERT_NE(at, std::string::npos) << text;
    const auto from = at + head.size(), to = text.find("':", from);
    EXPECT_EQ(text.substr(from, to == std::string::npos ? 0 : to - from), number) << text;
    for (const auto& part : parts) EXPECT_NE(text.find(part), std::string::npos) << "'" << part << "' in: " << text;
}

// Typical use (marks: 1 shown, 2 started, 3 pulsed, 4 ended): Start lowers
// both lines, PULSES whole pulses, RTS never up, Stop and Close leaves the
// line down.
inline void expectTypicalUse(const GuestRun& run, std::size_t pulses)
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
inline void expectFrameClose(const GuestRun& run, std::size_t pulses)
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
inline void expectNoDevice(const GuestRun& run, const std::vector<std::string>& parts)
{
    EXPECT_EQ(result(run, "status"), "1");
    expectReport(run, "report", "8013", parts);
    EXPECT_TRUE(run.trace.writesBetween(mark(run, 1), mark(run, 2)).empty());
}

} // namespace wire
