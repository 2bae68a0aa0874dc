// SPDX-License-Identifier: MIT
#pragma once

#include "console/untrapped_error.h"
#include "platform/common/comm_errors.h"
#include "platform/common/port_resolver.h"

#include <string>

namespace platform {

// Where a communications call failed: the same system error means different
// things there (ERROR_NOT_SUPPORTED at a DTR write is a device without a DTR
// line; at CreateFile it is just a refused open).
enum class CommStage {
    Open,      // CreateFile
    Settings,  // GetCommState and SetCommState
    OpenLines, // EscapeCommFunction at the end of the open
    DtrWrite,  // EscapeCommFunction on an open port, for a DTREnable write
};

// The fault a system error code at that stage is reported as. `listed`:
// whether the port's COM name is still in SERIALCOMM; one error means "no
// modem lines" while it is, and "device gone" once its driver has let it go.
CommFault commFaultFor(unsigned long error, CommStage stage, bool listed = true);

// The error for a failed call: the fault's number and text, naming the port,
// its device and the call, and ending with the system's own message.
console::UntrappedError commCallError(CommStage stage, const std::string& call, unsigned long error, int port,
                                      const std::string& device, const PortResolver& resolver);

} // namespace platform
