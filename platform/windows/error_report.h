// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/error_reporter.h"

#include <windows.h>

namespace platform {

// The error report: a modal message box with the error icon, owned by the
// window, captioned "DTR Pulse Out", with the error's number and
// description. Windows' own message box copies its text with Ctrl+C.
class MessageBoxReporter : public ErrorReporter {
public:
    explicit MessageBoxReporter(HWND owner = nullptr) : owner_(owner) {}
    void report(const console::UntrappedError& error) override;

private:
    HWND owner_;
};

} // namespace platform
