// SPDX-License-Identifier: MIT
#include "console/port_commands.h"
#include "doubles.h"

#include <gtest/gtest.h>


namespace {

using namespace testing_doubles;

enum class Command { Start, PulseOut, StopAndClose };

struct CommandCase {
    const char* name;
    Command command;
    std::string listText;
    int refuseWrite; // -1: the component accepts every write
    Log expected;    // writes, waits and the end, in order
    bool throws;
};

TEST(PortCommands, MakeExactlyTheirStepsInOrder)
{
    const CommandCase cases[] = {
        {"start picks 7", Command::Start, "7", -1, {"CommPort=7", "PortOpen=true", "DTREnable=false"}, false},
        {"start on the initial text writes 0 unchecked", Command::Start, "Comm Port", -1,
         {"CommPort=0", "PortOpen=true", "DTREnable=false"}, false},
        {"start writes a negative number unchecked", Command::Start, "-3", -1,
         {"CommPort=-3", "PortOpen=true", "DTREnable=false"}, false},
        {"overflow writes nothing", Command::Start, "40000", -1, {}, true},
        {"refused port number stops start", Command::Start, "0", 0, {}, true},
        {"refused open stops start", Command::Start, "3", 1, {"CommPort=3"}, true},
        {"refused DTR write ends start", Command::Start, "3", 2, {"CommPort=3", "PortOpen=true"}, true},
        {"pulse", Command::PulseOut, "", -1, {"DTREnable=true", "Sleep=500", "DTREnable=false"}, false},
        {"refused raise: no wait, no lowering", Command::PulseOut, "", 0, {}, true},
        {"refused lowering after the wait", Command::PulseOut, "", 1, {"DTREnable=true", "Sleep=500"}, true},
        {"stop and close", Command::StopAndClose, "", -1, {"PortOpen=false", "End"}, false},
        {"refused close: the error ends it instead", Command::StopAndClose, "", 0, {}, true},
    };
    for (const auto& c : cases) {
        Log log;
        RecordingComponent comm(log, c.refuseWrite);
        RecordingSleep sleep(log);
        RecordingEnd end(log);
        const FixedListText list(c.listText);
        bool threw = false;
        try {
            switch (c.command) {
            case Command::Start: console::start(comm, list); break;
            case Command::PulseOut: console::pulseOut(comm, sleep); break;
            case Command::StopAndClose: console::stopAndClose(comm, end); break;
            }
        } catch (const console::UntrappedError&) {
            threw = true;
        }
        EXPECT_EQ(log, c.expected) << c.name;
        EXPECT_EQ(threw, c.throws) << c.name;
    }
}

} // namespace
