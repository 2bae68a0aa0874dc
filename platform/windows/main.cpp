// DTR Pulse Out: puts one timed pulse on the DTR line of a serial port.

#include "program.h"
#include "serial_component.h"
#include "system_sleep.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    platform::SystemSleep sleep;
    const platform::PortResolver& resolver = platform::systemPortResolver();
    platform::Program program({resolver, std::make_unique<platform::SerialComponent>(resolver), sleep, nullptr, {}});
    return program.run();
}
