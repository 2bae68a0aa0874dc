#pragma once

#include "console/host.h"

namespace platform {

// Blocks the calling thread for at least the given time, and as little
// longer as the system allows: an absolute deadline on the monotonic clock
// (no drift across interruptions) and the thread's timer slack at its minimum
// for the wait.
class SystemSleep : public console::SleepService {
public:
    void sleep(std::uint32_t milliseconds) override;
};

} // namespace platform
