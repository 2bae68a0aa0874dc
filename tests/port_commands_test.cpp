// SPDX-License-Identifier: MIT
#include "console/console_window.h"
#include "doubles.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_doubles;
using console::Handler;

struct CommandCase {
    const char* name;
    Handler handler;
    std::string listText;
    int refuseWrite; // -1: the component accepts every write
    Log expected;    // writes, waits and the end, in order
    bool throws;
};

TEST(PortCommands, MakeExactlyTheirStepsInOrder)
{
    const CommandCase cases[] = {
        {"start picks 7", Handler::Start, "7", -1, {"CommPort=7", "PortOpen=true", "DTREnable=false"}, false},
        {"start on the initial text writes 0 unchecked", Handler::Start, "Comm Port", -1,
         {"CommPort=0", "PortOpen=true", "DTREnable=false"}, false},
        {"start writes a negative number unchecked", Handler::Start, "-3", -1,
         {"CommPort=-3", "PortOpen=true", "DTREnable=false"}, false},
        {"overflow writes nothing", Handler::Start, "40000", -1, {}, true},
        {"refused port number stops start", Handler::Start, "0", 0, {}, true},
        {"refused open stops start", Handler::Start, "3", 1, {"CommPort=3"}, true},
        {"refused DTR write ends start", Handler::Start, "3", 2, {"CommPort=3", "PortOpen=true"}, true},
        {"pulse", Handler::PulseOut, "", -1, {"DTREnable=true", "Sleep=500", "DTREnable=false"}, false},
        {"refused raise: no wait, no lowering", Handler::PulseOut, "", 0, {}, true},
        {"refused lowering after the wait", Handler::PulseOut, "", 1, {"DTREnable=true", "Sleep=500"}, true},
        {"stop and close", Handler::StopAndClose, "", -1, {"PortOpen=false", "End"}, false},
        {"refused close: the error ends it instead", Handler::StopAndClose, "", 0, {}, true},
    };
    for (const auto& c : cases) {
        Log log;
        RecordingComponent comm(log, c.refuseWrite);
        RecordingList list(log, c.listText);
        RecordingSleep sleep(log);
        RecordingEnd end(log);
        bool threw = false;
        try {
            console::runHandler(c.handler, {comm, list, list, sleep, end});
        } catch (const console::UntrappedError&) {
            threw = true;
        }
        EXPECT_EQ(log, c.expected) << c.name;
        EXPECT_EQ(threw, c.throws) << c.name;
    }
}

} // namespace
