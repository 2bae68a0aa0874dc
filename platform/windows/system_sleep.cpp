#include "system_sleep.h"

#include <windows.h>

namespace platform {

// Placeholder until the high-resolution wait lands.
void SystemSleep::sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

} // namespace platform
