// SPDX-License-Identifier: MIT
#include "system_sleep.h"

#include <windows.h>

#include <timeapi.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002 // Windows 10 1803; older mingw-w64 headers lack it
#endif

namespace platform {
namespace {

long long counterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

long long counterFrequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

// `ticks` of a counter running at `frequency` in `unit`ths of a second,
// rounded up, without overflow for any wait of 32-bit milliseconds.
long long ticksToUnitsUp(long long ticks, long long frequency, long long unit)
{
    return ticks / frequency * unit + (ticks % frequency * unit + frequency - 1) / frequency;
}

long long unitsToTicksUp(long long units, long long unit, long long frequency)
{
    return units / unit * frequency + (units % unit * frequency + unit - 1) / unit;
}

constexpr long long kHundredNanoseconds = 10'000'000; // the waitable timer's unit, per second
constexpr long long kMilliseconds = 1'000;
constexpr long long kMicroseconds = 1'000'000;

// The timer is set this far short of the deadline, and the counter watched
// for the rest. Woken late by more than this, the wait ends late; a timer
// wakes 0.3-1 ms late under Wine (its server signals the timer) and by less
// on Windows, so 2 ms costs at most 2 ms of one core's time per wait.
constexpr long long kWatchMicroseconds = 2'000;

} // namespace

SystemSleep::SystemSleep(bool tryHighResolution)
{
    if (tryHighResolution)
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    highResolution_ = timer_ != nullptr;
    if (!timer_) timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

SystemSleep::~SystemSleep()
{
    if (timer_) CloseHandle(timer_);
}

void SystemSleep::sleep(std::uint32_t milliseconds)
{
    const long long frequency = counterFrequency();
    const long long deadline = counterNow() + unitsToTicksUp(milliseconds, kMilliseconds, frequency);
    const long long wake = deadline - unitsToTicksUp(kWatchMicroseconds, kMicroseconds, frequency);
    // A plain timer fires on the system's tick, 15.6 ms by default.
    if (!highResolution_) timeBeginPeriod(1);
    // A wait may end early: wait again for whatever remains.
    for (long long now = counterNow(); now < wake; now = counterNow()) {
        LARGE_INTEGER due;
        due.QuadPart = -ticksToUnitsUp(wake - now, frequency, kHundredNanoseconds); // negative: relative
        if (timer_ && SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE))
            WaitForSingleObject(timer_, INFINITE);
        else
            Sleep(static_cast<DWORD>(ticksToUnitsUp(wake - now, frequency, kMilliseconds)));
    }
    if (!highResolution_) timeEndPeriod(1);
    // The rest on the counter itself, as the Linux build does on its clock:
    // the wait ends within microseconds of the deadline unless the thread is
    // preempted.
    while (counterNow() < deadline) YieldProcessor();
}

} // namespace platform
