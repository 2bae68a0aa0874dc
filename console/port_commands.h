// SPDX-License-Identifier: MIT
#pragma once

#include "host.h"

#include <cstdint>

namespace console {

inline constexpr std::uint32_t kPulseMilliseconds = 500;

// The three commands behind the buttons. They keep nothing between calls:
// the component holds the port, its number and the DTR level; the list holds
// the text. A refused step throws and the steps after it are not made.

// "Start": open the port named by the list's text, DTR low.
void start(SerialComponent& comm, const PortListText& list);

// "Pulse Out": DTR high for 500 ms, then low.
void pulseOut(SerialComponent& comm, SleepService& sleep);

// "Stop and Close": close the port, then end the program.
void stopAndClose(SerialComponent& comm, ProgramEnd& end);

} // namespace console
