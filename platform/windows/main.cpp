// SPDX-License-Identifier: MIT
// DTR Pulse Out: puts one timed pulse on the DTR line of a serial port.

#include "program.h"
#include "serial_component.h"
#include "system_sleep.h"
#include "text.h"

#include <windows.h>

#include <exception>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        platform::SystemSleep sleep;
        const platform::PortResolver& resolver = platform::systemPortResolver();
        platform::Program program({resolver, std::make_unique<platform::SerialComponent>(resolver), sleep, nullptr, {}});
        return program.run();
    } catch (const std::exception& e) {
        // The window could not be made (no desktop, out of resources): say so
        // rather than vanish.
        const std::string text = std::string("DTR Pulse Out could not start: ") + e.what();
        MessageBoxW(nullptr, platform::widen(text).c_str(), platform::widen(platform::kReportCaption).c_str(),
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
