// SPDX-License-Identifier: MIT
#include "doubles.h"
#include "failing_allocation.h"
#include "platform/common/handler_dispatch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace testing_doubles;

struct DispatchCase {
    const char* name;
    std::function<void(platform::HandlerDispatch&, Log&)> handler;
    Log expected; // ending in "exit N": the program has ended, and a later handler must not run
    bool reportFails = false;
};

TEST(HandlerDispatch, StopsErrorsAtTheBoundaryAndEndsTheProgram)
{
    const DispatchCase cases[] = {
        {"plain handler", [](auto&, Log& log) { log.push_back("ran"); }, {"ran"}},
        {"untrapped error: port released before the report, exit 1",
         [](auto&, Log&) { throw console::UntrappedError(8013, "No device for port 9."); },
         {"release", "report 8013 No device for port 9.", "exit 1"}},
        {"any other exception is reported too", [](auto&, Log&) { throw std::runtime_error("boom"); },
         {"release", "report 51 Internal error: boom", "exit 1"}},
        {"an exception that is no std::exception",
         [](auto&, Log&) { throw 42; }, {"release", "report 51 Internal error.", "exit 1"}},
        {"a report that fails still ends the program",
         [](auto&, Log&) { throw console::UntrappedError(8017, "Device gone."); },
         {"release", "report 8017 Device gone.", "exit 1"}, true},
        {"stop and close: exit 0, nothing runs after",
         [](platform::HandlerDispatch& d, Log&) { d.endProgram(); }, {"exit 0"}},
        {"a termination signal while the report is up: its status stands",
         [](auto&, Log&) { throw console::UntrappedError(8013, "No device for port 9."); },
         {"release", "report 8013 No device for port 9.", "exit 143", "exit 143"}},
    };
    for (const auto& c : cases) {
        Log log;
        RecordingReporter reporter(log, true, c.reportFails);
        platform::HandlerDispatch dispatch(reporter, [&] { log.push_back("release"); },
                                           [&](int status) { log.push_back("exit " + std::to_string(status)); });
        if (c.expected.back() == "exit 143") reporter.whileUp = [&] { dispatch.endWithStatus(143); };
        dispatch.run([&] { c.handler(dispatch, log); });
        EXPECT_EQ(log, c.expected) << c.name;
        const bool ended = c.expected.back().rfind("exit ", 0) == 0;
        dispatch.run([&] { log.push_back("later"); });
        EXPECT_EQ(log.back() == "later", !ended) << c.name;
        EXPECT_EQ(dispatch.exitStatus(), ended ? std::stoi(c.expected.back().substr(5)) : 0) << c.name;
    }
}

// Nothing can be allocated any more when the handler fails for lack of
// memory: the report must still come, with the port released first.
TEST(HandlerDispatchDeathTest, OutOfMemoryIsReportedWhenNothingMoreCanBeAllocated)
{
    const auto outOfMemory = [](auto makeFailure) {
        int released = 0, status = -1;
        struct NumberReporter : platform::ErrorReporter {
            int number = 0; // nothing allocated
            void report(const console::UntrappedError& e) override { number = e.number(); }
        } reporter;
        platform::HandlerDispatch dispatch(reporter, [&] { ++released; }, [&](int s) { status = s; });
        const std::function<void()> handler = makeFailure;
        {
            FailingAllocation exhausted;
            dispatch.run(handler);
        }
        std::_Exit(released == 1 && status == 1 && reporter.number == console::kOutOfMemoryError ? 0 : 2);
    };
    EXPECT_EXIT(outOfMemory([] { throw std::bad_alloc(); }), ::testing::ExitedWithCode(0), "") << "bad_alloc";
    const std::runtime_error fault("a fault"); // made while memory lasts
    EXPECT_EXIT(outOfMemory([fault] { throw fault; }), ::testing::ExitedWithCode(0), "")
        << "an exception whose text can no longer be built";
}

} // namespace
