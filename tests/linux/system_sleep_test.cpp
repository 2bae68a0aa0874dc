#include "platform/linux/system_sleep.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// Only the lower bound is asserted: a shared machine may wake us late, but a
// wait shorter than asked is a fault at any load.
TEST(SystemSleep, NeverWakesBeforeTheTimeAsked)
{
    platform::SystemSleep sleep;
    for (const std::uint32_t ms : {0u, 1u, 7u, 50u, 500u}) {
        const auto before = std::chrono::steady_clock::now();
        sleep.sleep(ms);
        const auto slept = std::chrono::steady_clock::now() - before;
        EXPECT_GE(slept, std::chrono::milliseconds(ms)) << ms << " ms";
    }
}

} // namespace
