// SPDX-License-Identifier: MIT
#pragma once

#include "console/untrapped_error.h"
#include "platform/common/comm_errors.h"
#include "platform/common/port_resolver.h"

#include <functional>
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

// The fault a system error code at that stage is reported as. `present`:
// whether the device still shows it is there; one error means "no modem
// lines" while it does, and "device gone" once it does not.
CommFault commFaultFor(unsigned long error, CommStage stage, bool present = true);

// The error for a failed call: the fault's number and text, naming the port,
// its device and the call, and ending with the system's own message. Where
// the fault depends on it, the device is present while its COM name is in
// SERIALCOMM and `answers` says its handle still answers other calls.
console::UntrappedError commCallError(CommStage stage, const std::string& call, unsigned long error, int port,
                                      const std::string& device, const PortResolver& resolver,
                                      const std::function<bool()>& answers = [] { return true; });

} // namespace platform
