// SPDX-License-Identifier: MIT
// What both programs' wire tests expect of a run: its marks, and pulses
// that are whole and one after another.
#pragma once

#include "guest_run.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace wire {

constexpr double kPulseUs = 500'000;

// The time of the scenario's mark VALUE; a missing mark fails the test.
inline double mark(const GuestRun& run, int value)
{
    const auto t = run.trace.markTime(value);
    EXPECT_TRUE(t) << "mark " << value << " missing";
    return t.value_or(0);
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

} // namespace wire
