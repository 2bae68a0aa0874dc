// DTR Pulse Out: puts one timed pulse on the DTR line of a serial port.

#include "program.h"
#include "serial_component.h"
#include "system_sleep.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    platform::SystemSleep sleep;
    const platform::PortResolver& resolver = platform::systemPortResolver();
    platform::Program program({resolver, std::make_unique<platform::SerialComponent>(resolver), sleep, nullptr, {}});
    return program.run();
}
