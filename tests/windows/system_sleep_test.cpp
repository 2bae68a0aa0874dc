// SPDX-License-Identifier: MIT
#include "platform/windows/system_sleep.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

// Every wait is at least as long as asked: a shorter one is a fault at any
// load. And waits are not stretched to the system's 15.6 ms tick: the median
// of three stays under the time asked plus 15 ms, which only a machine busy
// for most of a second would break; 0 ms has that bound alone. Both ways of
// waiting are taken: the high-resolution timer, and the plain one with a 1 ms tick.
TEST(WindowsSystemSleep, NeverWakesBeforeTheTimeAskedNorOnTheTick)
{
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    const auto ms = [&](long long ticks) { return static_cast<double>(ticks) * 1000.0 / frequency.QuadPart; };
    for (const bool tryHighResolution : {true, false}) {
        platform::SystemSleep sleep(tryHighResolution);
        if (tryHighResolution) RecordProperty("high_resolution_timer", sleep.highResolution() ? "yes" : "no");
        for (const std::uint32_t asked : {0u, 1u, 7u, 50u, 500u}) {
            SCOPED_TRACE(testing::Message() << asked << " ms, high resolution " << sleep.highResolution());
            std::vector<double> elapsed;
            for (int i = 0; i < 3; ++i) {
                QueryPerformanceCounter(&before);
                sleep.sleep(asked);
                QueryPerformanceCounter(&after);
                if (asked > 0) {
                    EXPECT_GE((after.QuadPart - before.QuadPart) * 1000, asked * frequency.QuadPart)
                        << "woke after " << ms(after.QuadPart - before.QuadPart) << " ms";
                }
                elapsed.push_back(ms(after.QuadPart - before.QuadPart));
            }
            std::sort(elapsed.begin(), elapsed.end());
            EXPECT_LT(elapsed[1], asked + 15.0) << "the median wait";
        }
    }
}

} // namespace
