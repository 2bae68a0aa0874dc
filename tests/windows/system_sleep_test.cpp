// SPDX-License-Identifier: MIT
#include "platform/windows/system_sleep.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

// Only the lower bound is asserted: a shared machine may wake us late, but a
// wait shorter than asked is a fault at any load. Both ways of waiting are
// taken: the high-resolution timer, and the plain one with a 1 ms tick.
TEST(WindowsSystemSleep, NeverWakesBeforeTheTimeAsked)
{
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    for (const bool tryHighResolution : {true, false}) {
        platform::SystemSleep sleep(tryHighResolution);
        if (tryHighResolution) RecordProperty("high_resolution_timer", sleep.highResolution() ? "yes" : "no");
        for (const std::uint32_t ms : {0u, 1u, 7u, 50u, 500u}) {
            QueryPerformanceCounter(&before);
            sleep.sleep(ms);
            QueryPerformanceCounter(&after);
            const long long elapsed = after.QuadPart - before.QuadPart;
            EXPECT_GE(elapsed * 1000, ms * frequency.QuadPart) << ms << " ms, high resolution "
                << sleep.highResolution() << ": woke after " << elapsed * 1000.0 / frequency.QuadPart << " ms";
        }
    }
}

} // namespace
