#include "handler_dispatch.h"

#include <new>

namespace platform {

HandlerDispatch::HandlerDispatch(ErrorReporter& reporter, std::function<void()> releasePort,
                                 std::function<void(int)> exitProgram)
    : reporter_(reporter), releasePort_(std::move(releasePort)), exitProgram_(std::move(exitProgram))
{
}

void HandlerDispatch::run(const std::function<void()>& handler) noexcept
{
    if (ended_) return;
    try {
        handler();
    } catch (const console::UntrappedError& error) {
        fail(error);
    } catch (const std::bad_alloc&) {
        fail(console::UntrappedError(console::kOutOfMemoryError, "Out of memory."));
    } catch (const std::exception& e) {
        fail(console::UntrappedError(console::kInternalError, std::string("Internal error: ") + e.what()));
    } catch (...) {
        fail(console::UntrappedError(console::kInternalError, "Internal error."));
    }
}

void HandlerDispatch::endProgram()
{
    if (ended_) return;
    ended_ = true;
    exitStatus_ = 0;
    exitProgram_(0);
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
    exitProgram_(kErrorExitStatus);
}

} // namespace platform
