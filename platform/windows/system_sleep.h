// SPDX-License-Identifier: MIT
#pragma once

#include "console/host.h"

namespace platform {

// Blocks the calling thread for at least the given time, and as little
// longer as the system allows: never short, and not stretched to the next
// tick of the system's 15.6 ms timer. One blocking wait (no message
// pumping) against a deadline on the performance counter: on a waitable
// timer to shortly before it, then on the counter itself.
class SystemSleep : public console::SleepService {
public:
    // Takes the high-resolution timer where the system has one (Windows 10
    // 1803 and later), else a plain timer with the tick at 1 ms during each
    // wait. tryHighResolution false takes the second way at once.
    explicit SystemSleep(bool tryHighResolution = true);
    ~SystemSleep() override;
    SystemSleep(const SystemSleep&) = delete;
    SystemSleep& operator=(const SystemSleep&) = delete;

    void sleep(std::uint32_t milliseconds) override;

    bool highResolution() const { return highResolution_; }

private:
    void* timer_ = nullptr; // the waitable timer's HANDLE
    bool highResolution_ = false;
};

} // namespace platform
