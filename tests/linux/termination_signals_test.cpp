// SPDX-License-Identifier: MIT
// Termination signals in a process of their own each: the first reaches the
// event loop, which ends the program with 128 + its number, as main does; a
// second ends a program whose loop is stuck.

#include "platform/linux/termination_signals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <csignal>
#include <functional>
#include <unistd.h>

namespace {

struct SignalCase {
    const char* name;
    int first;
    int second; // 0: none; else raised before the loop runs again
    std::function<bool(int)> ends;
};

void receive(int first, int second)
{
    ::alarm(10);
    platform::TerminationSignals handled([](int signal) { ::_exit(128 + signal); });
    ::raise(first);
    if (second) ::raise(second);
    for (;;) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

TEST(TerminationSignalsDeathTest, TheFirstReachesTheLoopAndASecondEndsAStuckProgram)
{
    const SignalCase cases[] = {
        {"SIGHUP", SIGHUP, 0, testing::ExitedWithCode(129)},
        {"SIGINT", SIGINT, 0, testing::ExitedWithCode(130)},
        {"SIGTERM", SIGTERM, 0, testing::ExitedWithCode(143)},
        {"SIGTERM twice, the loop stuck", SIGTERM, SIGTERM, testing::KilledBySignal(SIGTERM)},
        {"SIGHUP, then SIGINT, the loop stuck", SIGHUP, SIGINT, testing::KilledBySignal(SIGINT)},
    };
    for (const auto& c : cases) EXPECT_EXIT(receive(c.first, c.second), c.ends, "") << c.name;
}

} // namespace
