// SPDX-License-Identifier: MIT
// How late a 500 ms wait ends, three ways: the sleep service (through the real
// Pulse Out command, against a component that timestamps its DTR writes),
// clock_nanosleep alone (absolute deadline, 1 ns timer slack) and a plain
// std::this_thread::sleep_for. Beside each, the CPU it costs per pulse.
//
//   pulse_width [N]      N pulses of each (default 20)

#include "bench/pulse_figures.h"
#include "console/port_commands.h"
#include "platform/linux/system_sleep.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include <sys/prctl.h>
#include <time.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPulseUs = 500'000;

class TimestampingComponent : public console::SerialComponent {
public:
    Clock::time_point raised, lowered;
    void setCommPort(std::int16_t) override {}
    void setPortOpen(bool) override {}
    void setDTREnable(bool enable) override { (enable ? raised : lowered) = Clock::now(); }
};

double threadCpuUs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Method {
    const char* name;
    std::function<double()> pulse; // one 500 ms wait; returns its length in microseconds
};

double clockNanosleepAlone()
{
    timespec deadline {};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    const auto start = Clock::now();
    deadline.tv_nsec += 500'000'000L;
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) != 0) {
    }
    const auto end = Clock::now();
    prctl(PR_SET_TIMERSLACK, 0UL, 0, 0, 0); // back to the default
    return micros(end - start);
}

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    TimestampingComponent comm;
    platform::SystemSleep sleep;
    const Method methods[] = {
        {"sleep service",
         [&] {
             console::pulseOut(comm, sleep);
             return micros(comm.lowered - comm.raised);
         }},
        {"clock_nanosleep", clockNanosleepAlone},
        {"sleep_for",
         [] {
             const auto before = Clock::now();
             std::this_thread::sleep_for(std::chrono::milliseconds(500));
             return micros(Clock::now() - before);
         }},
    };
    // The methods take turns, so a change of load falls on all of them alike.
    constexpr std::size_t kMethods = std::size(methods);
    std::vector<double> over[kMethods];
    double cpu[kMethods] = {};
    for (int i = 0; i < n; ++i) {
        for (std::size_t m = 0; m < kMethods; ++m) {
            const double before = threadCpuUs();
            over[m].push_back(methods[m].pulse() - kPulseUs);
            cpu[m] += threadCpuUs() - before;
        }
    }
    std::printf("overshoot of a 500 ms wait over %d pulses each, microseconds; CPU per pulse\n", n);
    std::printf("%-16s %9s %9s %9s %9s %12s\n", "", "min", "median", "p99", "max", "CPU");
    bool shortWait = false;
    for (std::size_t m = 0; m < kMethods; ++m) {
        const PulseFigures f = pulseFigures(over[m]);
        std::printf("%-16s %9.1f %9.1f %9.1f %9.1f %12.1f\n", methods[m].name, f.min, f.median, f.p99, f.max,
                    cpu[m] / static_cast<double>(n));
        shortWait = shortWait || f.min < 0;
    }
    return shortWait ? 1 : 0; // shorter than asked is a fault
}
