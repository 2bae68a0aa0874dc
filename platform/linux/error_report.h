// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/error_reporter.h"

#include <QPointer>
#include <QWidget>

namespace platform {

// A modal critical message box captioned "DTR Pulse Out" with the error's
// number and description; Ctrl+C copies its text.
class MessageBoxReporter : public ErrorReporter {
public:
    explicit MessageBoxReporter(QWidget* parent = nullptr) : parent_(parent) {}
    void report(const console::UntrappedError& error) override;

private:
    QPointer<QWidget> parent_; // null once the window has gone: the box then stands alone
};

} // namespace platform
