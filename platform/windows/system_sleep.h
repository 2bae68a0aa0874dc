#pragma once

#include "console/host.h"

namespace platform {

// Blocks the calling thread for at least the given time, and as little
// longer as the system allows: never short, and not stretched to the next
// tick of the system's 15.6 ms timer.
class SystemSleep : public console::SleepService {
public:
    void sleep(std::uint32_t milliseconds) override;
};

} // namespace platform
