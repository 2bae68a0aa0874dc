// SPDX-License-Identifier: MIT
// Termination signals in a process of their own each, wired as main wires
// them: a signal raised during a handler (as during a pulse) reaches the
// program before a handler queued behind it, and the process then dies of
// it; a second ends a program whose loop is stuck; one ignored at start
// (nohup) stays ignored.

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
    platform::TerminationSignals handled([&](int signal) {
        endedBy = signal;
        dispatch.endWithStatus(128 + signal);
    });
    dispatch.setBeforeEachHandler([&] { handled.deliverPending(); });
    dispatch.run([&] {
        ::raise(c.first);
        if (c.second) ::raise(c.second);
    });
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
