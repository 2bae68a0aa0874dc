// SPDX-License-Identifier: MIT
#include "port_commands.h"

#include "port_number.h"

namespace console {

void start(SerialComponent& comm, const PortListText& list)
{
    // The reading comes first, so a text that does not fit leaves the
    // component untouched.
    const std::int16_t port = readPortNumber(list.text());
    comm.setCommPort(port);
    comm.setPortOpen(true);
    comm.setDTREnable(false);
}

void pulseOut(SerialComponent& comm, SleepService& sleep)
{
    comm.setDTREnable(true);
    sleep.sleep(kPulseMilliseconds);
    comm.setDTREnable(false);
}

void stopAndClose(SerialComponent& comm, ProgramEnd& end)
{
    comm.setPortOpen(false);
    end.endProgram();
}

} // namespace console
