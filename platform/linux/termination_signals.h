// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace platform {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal that
// started us, kill) into an orderly end on the event loop: the window goes,
// the port is closed and its lock removed. A signal that arrives during a
// pulse waits for the pulse to end, so the line is never left high. From
// the first signal on the default actions are back, so a second one ends a
// program that no longer answers (the kernel's close still drops the lines:
// HUPCL). A signal ignored when the program started stays ignored, as
// nohup and a shell's background jobs ask.
class TerminationSignals : public QObject {
public:
    // onSignal gets the signal's number; one instance per process.
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Hands a signal that has arrived but not yet reached the event loop to
    // onSignal now: a click queued during a pulse must not outrun it.
    void deliverPending();

private:
    void deliver();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

// Ends the process by `signal` with its default action, after the orderly
// end: the caller (a shell, a script) sees a death by that signal, as from
// any program that does not catch it, and stops on Ctrl+C.
[[noreturn]] void endBySignal(int signal);

} // namespace platform
