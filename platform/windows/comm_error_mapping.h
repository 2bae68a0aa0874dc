// SPDX-License-Identifier: MIT
#pragma once

#include "console/untrapped_error.h"
#include "platform/common/comm_errors.h"
#include "platform/common/port_resolver.h"

#include <string>

namespace platform {

// Where a communications call failed: the same system error means different
// things there (ERROR_NOT_SUPPORTED at a DTR write is a device without a DTR
// line; at open it is just a refused open).
enum class CommStage {
    Open,     // CreateFile
    Settings, // GetCommState, SetCommState and the lines set right after the open
    DtrWrite, // EscapeCommFunction on an open port, for a DTREnable write
};

// The fault a system error code at that stage is reported as.
CommFault commFaultFor(unsigned long error, CommStage stage);

// The error for a failed call: the fault's number and text, naming the port,
// its device and the call, and ending with the system's own message.
console::UntrappedError commCallError(CommStage stage, const std::string& call, unsigned long error, int port,
                                      const std::string& device, const PortResolver& resolver);

} // namespace platform
