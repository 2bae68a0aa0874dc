// SPDX-License-Identifier: MIT
#pragma once

#include "com_ports.h"

#include <map>
#include <string>
#include <vector>

namespace platform {

// The values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, where every serial
// driver enters the ports it serves; none where the key is missing.
std::vector<SerialCommValue> readSerialComm();

// The friendly names of the serial devices present, by port name ("COM3" ->
// "USB Serial Port (COM3)"), from SetupAPI: the Ports class and every device
// with a COM port interface (modems included).
std::map<std::string, std::string> readFriendlyNames();

} // namespace platform
