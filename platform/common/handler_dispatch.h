// SPDX-License-Identifier: MIT
#pragma once

#include "console/console_window.h"
#include "error_reporter.h"

#include <functional>

namespace platform {

// Runs the program's handlers, one at a time, and is where untrapped errors
// stop: nothing is thrown through the event loop. After the program's end
// (Stop and Close, or a reported error) no handler runs any more, so a click
// already queued behind it does nothing.
class HandlerDispatch : public console::ProgramEnd {
public:
    static constexpr int kErrorExitStatus = 1;

    // releasePort closes the port without throwing; exitProgram asks the
    // event loop to end with the given status.
    HandlerDispatch(ErrorReporter& reporter, std::function<void()> releasePort,
                    std::function<void(int status)> exitProgram);

    void run(const std::function<void()>& handler) noexcept;
    // One of the window's handlers, on its controls; none once the window,
    // and the component with it, has gone (comm null).
    void runHandler(console::Handler handler, console::SerialComponent* comm, console::PortListEntries& entries,
                    const console::PortListText& text, console::SleepService& sleep) noexcept
    {
        run([&] { if (comm) console::runHandler(handler, {*comm, entries, text, sleep, *this}); });
    }

    // Runs before each handler, first: where an end was asked for from
    // outside while a handler ran (a signal during a pulse), it must reach
    // the program before a click queued meanwhile does. Must not throw.
    void setBeforeEachHandler(std::function<void()> check) { beforeEachHandler_ = std::move(check); }

    // Stop and Close's end: status 0.
    void endProgram() override;
    // An end from outside (a termination signal): its status stands, also
    // when it comes while an error report is up.
    void endWithStatus(int status);

    bool ended() const { return ended_; }
    int exitStatus() const { return exitStatus_; }

private:
    void fail(const console::UntrappedError& error) noexcept;

    ErrorReporter& reporter_;
    std::function<void()> releasePort_;
    std::function<void(int)> exitProgram_;
    std::function<void()> beforeEachHandler_;
    // Made beforehand: when memory runs out, the report must not need any.
    const console::UntrappedError outOfMemory_;
    const console::UntrappedError internalError_;
    bool ended_ = false;
    int exitStatus_ = 0;
};

} // namespace platform
