// SPDX-License-Identifier: MIT
#pragma once

#include "console/host.h"
#include "error_reporter.h"
#include "hosted_component.h"
#include "port_resolver.h"

#include <functional>
#include <memory>

namespace platform {

// What the program is made of: the real ones in the entry, doubles in tests.
struct ProgramParts {
    const PortResolver& resolver;
    std::unique_ptr<HostedComponent> comm;       // MSComm1: the window owns it from then on
    console::SleepService& sleep;
    ErrorReporter* reporter = nullptr;           // null: the platform's message box
    std::function<void(int status)> exitProgram; // empty: end the event loop
};

} // namespace platform
