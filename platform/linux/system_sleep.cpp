// SPDX-License-Identifier: MIT
#include "system_sleep.h"

#include <cerrno>
#include <sys/prctl.h>
#include <time.h>

namespace platform {
namespace {

constexpr long kNanosPerSecond = 1'000'000'000L;

timespec plusNanos(timespec t, long long nanos)
{
    const long long total = static_cast<long long>(t.tv_nsec) + nanos;
    t.tv_sec += static_cast<time_t>(total / kNanosPerSecond);
    t.tv_nsec = static_cast<long>(total % kNanosPerSecond);
    if (t.tv_nsec < 0) {
        t.tv_sec -= 1;
        t.tv_nsec += kNanosPerSecond;
    }
    return t;
}

bool before(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

} // namespace

void SystemSleep::sleep(std::uint32_t milliseconds)
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const timespec deadline = plusNanos(now, static_cast<long long>(milliseconds) * 1'000'000LL);
    const timespec wake = plusNanos(deadline, -static_cast<long long>(kWatchMicroseconds) * 1000LL);
    if (before(now, wake)) {
        // The default slack (50 us) lets the kernel wake us late to batch
        // timers; for this one wait, ask for the least.
        const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
        }
        if (slack > 0) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
    }
    // The rest on the clock itself (vDSO: no system call), so the wait ends
    // within a microsecond of the deadline unless the thread is preempted.
    do {
        clock_gettime(CLOCK_MONOTONIC, &now);
    } while (before(now, deadline));
}

} // namespace platform
