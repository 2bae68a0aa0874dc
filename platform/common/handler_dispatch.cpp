// SPDX-License-Identifier: MIT
#include "handler_dispatch.h"

#include <new>
#include <optional>

namespace platform {

HandlerDispatch::HandlerDispatch(ErrorReporter& reporter, std::function<void()> releasePort,
                                 std::function<void(int)> exitProgram)
    : reporter_(reporter), releasePort_(std::move(releasePort)), exitProgram_(std::move(exitProgram)),
      outOfMemory_(console::kOutOfMemoryError, "Out of memory."),
      internalError_(console::kInternalError, "Internal error.")
{
}

void HandlerDispatch::run(const std::function<void()>& handler) noexcept
{
    if (beforeEachHandler_ && !ended_) beforeEachHandler_();
    if (ended_) return;
    try {
        handler();
    } catch (const console::UntrappedError& error) {
        fail(error);
    } catch (const std::bad_alloc&) {
        fail(outOfMemory_);
    } catch (const std::exception& e) {
        // Describing it takes memory; where there is none left, that is the error to report.
        std::optional<console::UntrappedError> described;
        try {
            described.emplace(console::kInternalError, std::string("Internal error: ") + e.what());
        } catch (...) {
        }
        fail(described ? *described : outOfMemory_);
    } catch (...) {
        fail(internalError_);
    }
}

void HandlerDispatch::endProgram()
{
    if (ended_) return;
    ended_ = true;
    exitStatus_ = 0;
    exitProgram_(0);
}

void HandlerDispatch::endWithStatus(int status)
{
    ended_ = true;
    exitStatus_ = status;
    exitProgram_(status);
}

void HandlerDispatch::fail(const console::UntrappedError& error) noexcept
{
    ended_ = true;
    exitStatus_ = kErrorExitStatus;
    // The port goes first: the report waits for the user, maybe for hours,
    // and must not keep the port or its DTR line held meanwhile.
    releasePort_();
    try {
        reporter_.report(error);
    } catch (...) {
    }
    exitProgram_(exitStatus_); // a signal during the report has set its own
}

} // namespace platform
