// SPDX-License-Identifier: MIT
#pragma once

#include "error_report.h"
#include "form.h"
#include "platform/common/handler_dispatch.h"
#include "platform/common/program_parts.h"

#include <memory>

namespace platform {

// The program from start to end: creates Form1 with its controls, runs Load,
// shows the window, runs the event loop, tears the window down.
class Program {
public:
    explicit Program(ProgramParts parts);
    ~Program();

    // Creates the window, runs Load and shows the window. A failing Load
    // ends the program before the event loop starts.
    void start();
    // start(), the event loop, teardown; returns the exit status.
    int run();
    // Destroys the window, its controls and the component (which releases the port).
    void tearDown();

    Form* form() const { return form_.get(); }
    HandlerDispatch& dispatch() { return dispatch_; }

private:
    void runHandler(console::Handler handler);

    ProgramParts parts_;
    std::unique_ptr<Form> form_;
    MessageBoxReporter messageBox_;
    HandlerDispatch dispatch_;
};

} // namespace platform
