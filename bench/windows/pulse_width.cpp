// SPDX-License-Identifier: MIT
// Pulse width of the real Pulse Out command with the real sleep service,
// against a component that stamps its DTR writes with the performance
// counter; beside it, the same figures for a plain Sleep(500), and the CPU
// time each takes. A console program, run under Wine by run-pulse-width or on
// Windows as it is.
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

// The calling thread's CPU time, user and kernel, in microseconds. Wine
// counts it in 10 ms ticks; under Wine the thread is a Linux thread, and the
// kernel's own count (nanoseconds, /proc/thread-self/schedstat) is read
// instead where drive Z: shows it.
class ThreadCpu {
public:
    ThreadCpu() : schedstat_(CreateFileW(L"Z:\\proc\\thread-self\\schedstat", GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~ThreadCpu()
    {
        if (schedstat_ != INVALID_HANDLE_VALUE) CloseHandle(schedstat_);
    }
    const char* source() const { return schedstat_ != INVALID_HANDLE_VALUE ? "the Linux kernel" : "GetThreadTimes"; }
    double micros() const
    {
        if (schedstat_ != INVALID_HANDLE_VALUE) {
            char text[128] = {};
            DWORD got = 0;
            OVERLAPPED from {}; // offset 0: the kernel writes the figures anew
            if (ReadFile(schedstat_, text, sizeof text - 1, &got, &from)) return std::atof(text) / 1000.0;
        }
        FILETIME created, exited, kernel, user;
        GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
        const auto us = [](FILETIME t) {
            return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime)
                   / 10.0;
        };
        return us(kernel) + us(user);
    }

private:
    HANDLE schedstat_;
};

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
    double pulseCpu = 0, plainCpu = 0;
    const ThreadCpu cpuTime;
    TimestampingComponent comm;
    platform::SystemSleep sleep;
    for (int i = 0; i < n; ++i) {
        double cpu = cpuTime.micros();
        console::pulseOut(comm, sleep);
        pulseCpu += cpuTime.micros() - cpu;
        pulse.push_back(micros(comm.lowered - comm.raised) - kAsked);
        cpu = cpuTime.micros();
        const long long before = counterNow();
        Sleep(console::kPulseMilliseconds);
        plain.push_back(micros(counterNow() - before) - kAsked);
        plainCpu += cpuTime.micros() - cpu;
    }
    const PulseFigures a = pulseFigures(pulse), b = pulseFigures(plain);
    std::printf("overshoot of the high time over 500 ms, %d pulses, microseconds\n", n);
    std::printf("sleep service: %s\n", sleep.highResolution() ? "high-resolution waitable timer"
                                                              : "waitable timer with a 1 ms tick");
    printPulseFigures("Pulse Out", a, "Sleep(500)", b);
    std::printf("%-8s %14.1f %14.1f   (CPU time per wait, from %s)\n", "CPU", pulseCpu / n, plainCpu / n,
                cpuTime.source());
    return a.min < 0.0 ? 1 : 0; // shorter than asked is a fault
}
