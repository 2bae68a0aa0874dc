// SPDX-License-Identifier: MIT
// The Windows serial component against scripted communications calls: their
// order, and what it does with each failure a real device can give.

#include "map_resolver.h"
#include "outcome.h"
#include "scripted_comm_api.h"
#include "platform/windows/serial_component.h"

#include <gtest/gtest.h>

namespace {

using platform::SerialComponent;
using Calls = std::vector<std::string>;

// An open of port 3 that got as far as its settings, then `more`. The lines
// come down before anything else: a driver raises them as it opens.
Calls opened(const Calls& more)
{
    Calls calls = {"CreateFile \\\\.\\COM3", "CLRDTR", "CLRRTS", "ClearCommError", "SetupComm 1024 512",
                   "GetCommState", "SetCommState 9600 8N1 lines ours ?"};
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

struct Scenario {
    const char* name;
    std::map<std::string, DWORD> failing;                         // from the start
    std::function<void(SerialComponent&, ScriptedCommApi&)> steps; // after CommPort 3, listed as COM3
    int number;
    Calls calls;
    bool openAfter;
};

TEST(WindowsSerialComponent, MakesItsCallsInOrderAndLetsGoOfAPortThatFailed)
{
    const auto open = [](SerialComponent& c, auto&) { c.setPortOpen(true); };
    const auto pulse = [](SerialComponent& c, auto&) { c.setPortOpen(true); c.setDTREnable(true); };
    MapResolver resolver;
    // Pulse Out on an open port, the call named failing with the error from
    // then on; `unlisted`: and COM3 gone from the ports present.
    const auto pulseFailing = [&resolver](const char* call, DWORD error, bool unlisted = false) {
        return [=, &resolver](SerialComponent& c, ScriptedCommApi& api) {
            c.setPortOpen(true);
            api.failing[call] = error;
            if (unlisted) resolver.devices.erase(3);
            c.setDTREnable(true);
        };
    };
    const Scenario scenarios[] = {
        {"Start, Pulse Out, Stop and Close", {},
         [](auto& c, auto&) {
             c.setPortOpen(true); c.setDTREnable(false); c.setDTREnable(true); c.setDTREnable(false);
             c.setPortOpen(false);
         },
         0, opened({"CLRDTR", "CLRRTS", "CLRDTR", "SETDTR", "CLRDTR", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"queue sizes refused: still serves DTR", {{"SetupComm", ERROR_INVALID_PARAMETER}}, open, 0,
         opened({"CLRDTR", "CLRRTS"}), true},
        {"DTREnable while closed is kept for the next open, and written first", {},
         [](auto& c, auto&) { c.setDTREnable(true); c.setPortOpen(true); }, 0,
         {"CreateFile \\\\.\\COM3", "SETDTR", "CLRRTS", "ClearCommError", "SetupComm 1024 512", "GetCommState",
          "SetCommState 9600 8N1 lines ours ?", "SETDTR", "CLRRTS"},
         true},
        {"held by another program", {{"CreateFile", ERROR_ACCESS_DENIED}}, open, 8010, {"CreateFile \\\\.\\COM3"}, false},
        {"settings unreadable: port let go first", {{"GetCommState", ERROR_INVALID_FUNCTION}}, open, 8014,
         {"CreateFile \\\\.\\COM3", "CLRDTR", "CLRRTS", "ClearCommError", "SetupComm 1024 512", "GetCommState",
          "CLRDTR", "CLRRTS", "CloseHandle"},
         false},
        {"settings refused: port let go first", {{"SetCommState", ERROR_INVALID_PARAMETER}}, open, 8014,
         opened({"CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"a line error pending under abort-on-error: acknowledged first", {{"GetCommState", ERROR_OPERATION_ABORTED}},
         open, 0, opened({"CLRDTR", "CLRRTS"}), true},
        {"RTS refused at open: DTR served", {{"CLRRTS", ERROR_IO_DEVICE}}, open, 0, opened({"CLRDTR", "CLRRTS"}), true},
        {"general failure on DTR at open: no modem lines, opens", {{"CLRDTR", ERROR_GEN_FAILURE}}, open, 0,
         opened({"CLRDTR", "CLRRTS"}), true},
        {"DTR refused at open otherwise", {{"CLRDTR", ERROR_IO_DEVICE}}, open, 8014,
         opened({"CLRDTR", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"no DTR line: opens, refuses the write, keeps the port",
         {{"SETDTR", ERROR_NOT_SUPPORTED}, {"CLRDTR", ERROR_NOT_SUPPORTED}, {"CLRRTS", ERROR_NOT_SUPPORTED}}, pulse,
         8015, opened({"CLRDTR", "CLRRTS", "SETDTR"}), true},
        {"no modem lines, as a USB driver says it: opens, refuses the write",
         {{"SETDTR", ERROR_INVALID_FUNCTION}, {"CLRDTR", ERROR_INVALID_FUNCTION}, {"CLRRTS", ERROR_INVALID_FUNCTION}},
         pulse, 8015, opened({"CLRDTR", "CLRRTS", "SETDTR"}), true},
        {"general failure, the handle answering: no modem lines, kept", {}, pulseFailing("SETDTR", ERROR_GEN_FAILURE),
         8015, opened({"CLRDTR", "CLRRTS", "SETDTR", "ClearCommError"}), true},
        {"general failure, COM3 listed, the handle answering nothing: pulled, let go",
         {{"ClearCommError", ERROR_GEN_FAILURE}, {"GetCommModemStatus", ERROR_GEN_FAILURE}},
         pulseFailing("SETDTR", ERROR_GEN_FAILURE), 8017,
         opened({"CLRDTR", "CLRRTS", "SETDTR", "ClearCommError", "GetCommModemStatus", "CLRDTR", "CLRRTS",
                 "CloseHandle"}),
         false},
        {"general failure once COM3 has gone: the port is let go", {}, pulseFailing("SETDTR", ERROR_GEN_FAILURE, true),
         8017, opened({"CLRDTR", "CLRRTS", "SETDTR", "ClearCommError", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"adapter pulled: the port is let go before the error", {}, pulseFailing("SETDTR", ERROR_DEVICE_REMOVED), 8017,
         opened({"CLRDTR", "CLRRTS", "SETDTR", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"adapter pulled, access denied: the port is let go", {}, pulseFailing("SETDTR", ERROR_ACCESS_DENIED), 8017,
         opened({"CLRDTR", "CLRRTS", "SETDTR", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"DTR write failing otherwise keeps the port", {}, pulseFailing("SETDTR", ERROR_IO_DEVICE), 8016,
         opened({"CLRDTR", "CLRRTS", "SETDTR"}), true},
        {"Start pressed twice", {}, [](auto& c, auto&) { c.setPortOpen(true); c.setCommPort(3); }, 8000,
         opened({"CLRDTR", "CLRRTS"}), true},
        {"PortOpen true while open", {}, [](auto& c, auto&) { c.setPortOpen(true); c.setPortOpen(true); }, 8005,
         opened({"CLRDTR", "CLRRTS"}), true},
    };
    for (const auto& s : scenarios) {
        resolver.devices = {{3, "COM3"}};
        ScriptedCommApi api;
        api.failing = s.failing;
        {
            SerialComponent comm(resolver, api);
            comm.setCommPort(3);
            const Outcome outcome = outcomeOf([&] { s.steps(comm, api); });
            EXPECT_EQ(outcome.number, s.number) << s.name << ": " << outcome.text;
            EXPECT_TRUE(!outcome.number || outcome.mentions("port 3 (COM3)")) << outcome.text;
            EXPECT_EQ(api.log, s.calls) << s.name;
            EXPECT_EQ(comm.portOpen(), s.openAfter) << s.name;
            EXPECT_EQ(api.openHandles, s.openAfter ? 1 : 0) << s.name;
        }
        EXPECT_EQ(api.openHandles, 0) << s.name << ": destroying the component lets the port go";
    }
}

} // namespace
