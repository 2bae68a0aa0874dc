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
// HUPCL).
class TerminationSignals : public QObject {
public:
    // onSignal gets the signal's number; one instance per process.
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void deliver();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace platform
