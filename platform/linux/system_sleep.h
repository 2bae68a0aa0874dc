// SPDX-License-Identifier: MIT
#pragma once

#include "console/host.h"

#include <cstdint>

namespace platform {

// Blocks the calling thread for at least the given time, and as little longer
// as the system allows: one wait for an absolute deadline on the monotonic
// clock (no drift across interruptions). It sleeps until shortly before the
// deadline, with the thread's timer slack at its minimum, then watches the
// clock for the rest: a timer wake-up alone comes 0.1-0.2 ms late.
class SystemSleep : public console::SleepService {
public:
    // How long before the deadline the sleep ends and the clock is watched.
    // Covers the usual wake-up latency; costs about that much CPU per wait.
    static constexpr std::uint32_t kWatchMicroseconds = 300;

    void sleep(std::uint32_t milliseconds) override;
};

} // namespace platform
