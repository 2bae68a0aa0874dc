// SPDX-License-Identifier: MIT
#pragma once

#include "console/untrapped_error.h"

#include <string>

namespace platform {

// Shows an untrapped error to the user. Each platform has a message box;
// tests replace it.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void report(const console::UntrappedError& error) = 0;
};

// The caption of the program's window and of its error report.
inline constexpr const char* kReportCaption = "DTR Pulse Out";

// "Run-time error '8013':" then a blank line and the description: the same
// text on every platform, so a user can search for it.
inline std::string reportText(const console::UntrappedError& error)
{
    return "Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.description();
}

} // namespace platform
