// SPDX-License-Identifier: MIT
#pragma once

#include "console/untrapped_error.h"

#include <span>
#include <string>

namespace platform {

// Every way the serial component refuses a write.
enum class CommFault {
    PortOpenNow,      // CommPort written while the port is open
    InvalidPortNumber,
    AlreadyOpen,
    NoDevice,         // no serial device has this number now
    DeviceMissing,    // the device node is not there
    Busy,
    SystemConsole,    // the device is an active system console: busy too
    Locked,           // a lock file that may be live, though no live process is seen behind it: busy too
    StaleLock,        // a lock left by a process that ended, which we may not remove
    PermissionDenied,
    OpenFailed,
    NoDtrLine,        // the device has no modem-control lines
    LineFailed,       // setting DTR failed on an open port
    DeviceGone,       // the device went away while the port was open
};

// Builds the error for a fault: its stable number, and a description that
// names the port, the device and the cause.
console::UntrappedError commError(CommFault fault, int port, const std::string& device,
                                  const std::string& detail = {});

// The number a fault is reported with.
int commErrorNumber(CommFault fault);

struct CommFaultRow {
    CommFault fault;
    int number;
    const char* text; // {port}, {device} and {detail} are filled in
};
// The rows behind commError, one for each fault.
std::span<const CommFaultRow> commFaultTable();

} // namespace platform
