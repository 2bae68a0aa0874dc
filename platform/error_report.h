#pragma once

#include "console/untrapped_error.h"

class QWidget;

namespace platform {

// Shows an untrapped error to the user. Tests replace it.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void report(const console::UntrappedError& error) = 0;
};

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
