// SPDX-License-Identifier: MIT
// Pulse width of the real Pulse Out command with the real sleep service,
// against a component that stamps its DTR writes with the performance
// counter; beside it, the same figures for a plain Sleep(500). A console
// program, run under Wine by run-pulse-width or on Windows as it is.
//
//   pulse_width [N]      N pulses of each (default 20)

#include "bench/pulse_figures.h"
#include "console/port_commands.h"
#include "platform/windows/system_sleep.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

long long counterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

class TimestampingComponent : public console::SerialComponent {
public:
    long long raised = 0, lowered = 0;
    void setCommPort(std::int16_t) override {}
    void setPortOpen(bool) override {}
    void setDTREnable(bool enable) override { (enable ? raised : lowered) = counterNow(); }
};

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const auto micros = [&](long long ticks) {
        return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency.QuadPart);
    };
    constexpr double kAsked = console::kPulseMilliseconds * 1000.0;

    std::vector<double> pulse, plain; // overshoot over 500 ms, microseconds
    TimestampingComponent comm;
    platform::SystemSleep sleep;
    for (int i = 0; i < n; ++i) {
        console::pulseOut(comm, sleep);
        pulse.push_back(micros(comm.lowered - comm.raised) - kAsked);
        const long long before = counterNow();
        Sleep(console::kPulseMilliseconds);
        plain.push_back(micros(counterNow() - before) - kAsked);
    }
    const PulseFigures a = pulseFigures(pulse), b = pulseFigures(plain);
    std::printf("overshoot of the high time over 500 ms, %d pulses, microseconds\n", n);
    std::printf("sleep service: %s\n", sleep.highResolution() ? "high-resolution waitable timer"
                                                              : "waitable timer with a 1 ms tick");
    printPulseFigures("Pulse Out", a, "Sleep(500)", b);
    return a.min < 0.0 ? 1 : 0; // shorter than asked is a fault
}
