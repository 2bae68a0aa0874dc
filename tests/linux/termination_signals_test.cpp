// SPDX-License-Identifier: MIT
// Termination signals, each in a process of its own wired as main wires
// them: one raised during a handler (a pulse) ends the program before a
// handler queued behind it runs, then kills it; a second ends a stuck
// program; one ignored at start (nohup) stays ignored.

#include "doubles.h"
#include "platform/common/handler_dispatch.h"
#include "platform/linux/termination_signals.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <csignal>
#include <functional>
#include <unistd.h>

namespace {

struct SignalCase {
    const char* name;
    int first;
    int second; // 0: none; else raised in the same handler
    std::function<bool(int)> ends;
    bool firstIgnoredAtStart = false;
};

void receive(const SignalCase& c)
{
    ::alarm(10);
    if (c.firstIgnoredAtStart) ::signal(c.first, SIG_IGN);
    testing_doubles::Log log;
    testing_doubles::RecordingReporter reporter(log);
    QEventLoop loop;
    platform::HandlerDispatch dispatch(reporter, [] {}, [&loop](int) { loop.quit(); });
    int endedBy = 0;
    platform::TerminationSignals handled([&](int signal) { dispatch.endWithStatus(128 + (endedBy = signal)); });
    dispatch.setBeforeEachHandler([&] { handled.deliverPending(); });
    dispatch.run([&] { for (const int signal : {c.first, c.second}) if (signal) ::raise(signal); }); // a pulse
    dispatch.run([] { ::_exit(99); }); // a click queued meanwhile
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    if (endedBy) platform::endBySignal(endedBy);
    ::_exit(0);
}

TEST(TerminationSignalsDeathTest, TheFirstEndsTheProgramBeforeAQueuedClickAndASecondEndsAStuckProgram)
{
    const SignalCase cases[] = {
        {"SIGHUP", SIGHUP, 0, testing::KilledBySignal(SIGHUP)},
        {"SIGINT", SIGINT, 0, testing::KilledBySignal(SIGINT)},
        {"SIGTERM", SIGTERM, 0, testing::KilledBySignal(SIGTERM)},
        {"SIGTERM twice, the loop stuck", SIGTERM, SIGTERM, testing::KilledBySignal(SIGTERM)},
        {"SIGHUP, then SIGINT, the loop stuck", SIGHUP, SIGINT, testing::KilledBySignal(SIGINT)},
        {"SIGHUP ignored at start (nohup): the program goes on", SIGHUP, 0, testing::ExitedWithCode(99), true},
    };
    for (const auto& c : cases) EXPECT_EXIT(receive(c), c.ends, "") << c.name;
}

} // namespace
