#pragma once

#include "platform/common/error_reporter.h"

class QWidget;

namespace platform {

// A modal critical message box captioned "DTR Pulse Out" with the error's
// number and description; Ctrl+C copies its text.
class MessageBoxReporter : public ErrorReporter {
public:
    explicit MessageBoxReporter(QWidget* parent = nullptr) : parent_(parent) {}
    void report(const console::UntrappedError& error) override;

private:
    QWidget* parent_;
};

} // namespace platform
