// SPDX-License-Identifier: MIT
#include "platform/linux/system_sleep.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/time.h>
#include <utility>

namespace {

void ignoreAlarm(int) {}

// Only the lower bound: a busy machine may wake us late, but never early,
// nor may a signal (SIGALRM, without SA_RESTART) shorten the wait. A wait of
// 0 ms must not block: a voluntary context switch counts each time it does.
TEST(SystemSleep, NeverWakesBeforeTheTimeAsked)
{
    // The wait, and the SIGALRM in it (0: none), in ms.
    const std::pair<std::uint32_t, int> cases[] = {{0, 0}, {1, 0}, {7, 0}, {50, 0}, {500, 0}, {50, 10}, {500, 499}};
    struct sigaction action {}, previous {};
    action.sa_handler = ignoreAlarm;
    sigemptyset(&action.sa_mask);
    sigaction(SIGALRM, &action, &previous);
    platform::SystemSleep sleep;
    for (const auto& [ms, signalAfterMs] : cases) {
        itimerval timer {};
        timer.it_value.tv_usec = signalAfterMs * 1000;
        setitimer(ITIMER_REAL, &timer, nullptr);
        rusage threadBefore {}, threadAfter {};
        getrusage(RUSAGE_THREAD, &threadBefore);
        const auto before = std::chrono::steady_clock::now();
        sleep.sleep(ms);
        const auto slept = std::chrono::steady_clock::now() - before;
        getrusage(RUSAGE_THREAD, &threadAfter);
        EXPECT_GE(slept, std::chrono::milliseconds(ms)) << ms << " ms, signal after " << signalAfterMs;
        EXPECT_TRUE(ms != 0 || threadAfter.ru_nvcsw == threadBefore.ru_nvcsw) << "a wait of 0 ms blocked";
    }
    sigaction(SIGALRM, &previous, nullptr);
}

} // namespace
