// Pulse width of the real Pulse Out command with the real sleep service,
// against a component that timestamps its DTR writes; beside it, the same
// figures for a plain std::this_thread::sleep_for(500 ms).
//
//   pulse_width [N]      N pulses of each (default 20)

#include "bench/pulse_figures.h"
#include "console/port_commands.h"
#include "platform/linux/system_sleep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class TimestampingComponent : public console::SerialComponent {
public:
    Clock::time_point raised, lowered;
    void setCommPort(std::int16_t) override {}
    void setPortOpen(bool) override {}
    void setDTREnable(bool enable) override { (enable ? raised : lowered) = Clock::now(); }
};

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::vector<double> pulse, plain;
    TimestampingComponent comm;
    platform::SystemSleep sleep;
    for (int i = 0; i < n; ++i) {
        console::pulseOut(comm, sleep);
        pulse.push_back(micros(comm.lowered - comm.raised));
        const auto before = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        plain.push_back(micros(Clock::now() - before));
    }
    const PulseFigures a = pulseFigures(pulse), b = pulseFigures(plain);
    std::printf("high time over %d pulses, microseconds\n", n);
    printPulseFigures("Pulse Out", a, "sleep_for", b);
    return a.min < 500000.0 ? 1 : 0; // shorter than asked is a fault
}
