// SPDX-License-Identifier: MIT
// DTR Pulse Out: puts one timed pulse on the DTR line of a serial port.

#include "program.h"
#include "serial_component.h"
#include "system_sleep.h"
#include "termination_signals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DTR Pulse Out"));
    QApplication::setApplicationVersion(QStringLiteral(DTR_VERSION));
    // Docks and task switchers match the window to its menu entry by this
    // name, on X11 and Wayland alike.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.dtr_pulse_out"));
    platform::SystemSleep sleep;
    const platform::PortResolver& resolver = platform::systemPortResolver();
    platform::Program program({resolver, std::make_unique<platform::SerialComponent>(resolver), sleep, nullptr, {}});
    // Ended by a signal: the loop stops, the window and the port go, then
    // the signal ends the process as if it had never been caught.
    int endedBy = 0;
    platform::TerminationSignals terminationSignals([&](int signal) {
        endedBy = signal;
        program.dispatch().endWithStatus(128 + signal);
    });
    program.dispatch().setBeforeEachHandler([&] { terminationSignals.deliverPending(); });
    const int status = program.run();
    if (endedBy) platform::endBySignal(endedBy);
    return status;
}
