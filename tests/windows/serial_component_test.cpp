// The Windows serial component against scripted communications calls: the
// order of its calls, and what it does with each failure a real device can
// give (busy, unplugged, no DTR line), without any device.

#include "map_resolver.h"
#include "scripted_comm_api.h"
#include "console/untrapped_error.h"
#include "platform/windows/serial_component.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using platform::SerialComponent;
using Calls = std::vector<std::string>;

const std::string kOpenCalls[] = {"CreateFile \\\\.\\COM3", "SetupComm 1024 512", "GetCommState",
                                  "SetCommState 9600 8N1 flow=none dtr=off rts=off replace=?"};

// The calls of an open of port 3 that got as far as its settings, then `more`.
Calls openCalls(const Calls& more)
{
    Calls calls(std::begin(kOpenCalls), std::end(kOpenCalls));
    calls.insert(calls.end(), more.begin(), more.end());
    return calls;
}

void open3(SerialComponent& comm)
{
    comm.setCommPort(3);
    comm.setPortOpen(true);
}

struct Scenario {
    const char* name;
    std::function<void(SerialComponent& comm, ScriptedCommApi& api)> steps;
    int number; // the refusal's, or 0
    Calls calls;
    bool openAfter;
};

TEST(WindowsSerialComponent, MakesItsCallsInOrderAndLetsGoOfAPortThatFailed)
{
    const Scenario scenarios[] = {
        {"Start, Pulse Out, Stop and Close",
         [](auto& c, auto&) {
             open3(c);
             c.setDTREnable(false);
             c.setDTREnable(true);
             c.setDTREnable(false);
             c.setPortOpen(false);
         },
         0, openCalls({"CLRRTS", "CLRDTR", "CLRDTR", "SETDTR", "CLRDTR", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"DTREnable while closed is kept for the next open",
         [](auto& c, auto&) { c.setDTREnable(true); open3(c); }, 0, openCalls({"CLRRTS", "SETDTR"}), true},
        {"closing a closed port does nothing", [](auto& c, auto&) { c.setPortOpen(false); }, 0, {}, false},
        {"a driver that refuses the queue sizes still serves DTR",
         [](auto& c, auto& api) { api.failing["SetupComm"] = ERROR_INVALID_PARAMETER; open3(c); }, 0,
         openCalls({"CLRRTS", "CLRDTR"}), true},
        {"held by another program",
         [](auto& c, auto& api) { api.failing["CreateFile"] = ERROR_ACCESS_DENIED; open3(c); }, 8010,
         {"CreateFile \\\\.\\COM3"}, false},
        {"no such port", [](auto& c, auto& api) { api.failing["CreateFile"] = ERROR_FILE_NOT_FOUND; open3(c); }, 8013,
         {"CreateFile \\\\.\\COM3"}, false},
        {"settings unreadable: the handle is closed before the error",
         [](auto& c, auto& api) { api.failing["GetCommState"] = ERROR_INVALID_FUNCTION; open3(c); }, 8014,
         {"CreateFile \\\\.\\COM3", "SetupComm 1024 512", "GetCommState", "CloseHandle"}, false},
        {"settings refused: the handle is closed before the error",
         [](auto& c, auto& api) { api.failing["SetCommState"] = ERROR_INVALID_PARAMETER; open3(c); }, 8014,
         openCalls({"CloseHandle"}), false},
        {"lines refused at open for a cause other than a missing line",
         [](auto& c, auto& api) { api.failing["CLRRTS"] = ERROR_GEN_FAILURE; open3(c); }, 8014,
         openCalls({"CLRRTS", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"no DTR line: opens, then refuses the DTR write and keeps the port",
         [](auto& c, auto& api) {
             api.failing = {{"SETDTR", ERROR_NOT_SUPPORTED}, {"CLRDTR", ERROR_NOT_SUPPORTED},
                            {"CLRRTS", ERROR_NOT_SUPPORTED}};
             open3(c);
             c.setDTREnable(true);
         },
         8015, openCalls({"CLRRTS", "CLRDTR", "SETDTR"}), true},
        {"adapter pulled mid-pulse: the port is let go before the error",
         [](auto& c, auto& api) {
             open3(c);
             c.setDTREnable(true);
             api.failing["CLRDTR"] = api.failing["CLRRTS"] = ERROR_DEVICE_REMOVED;
             c.setDTREnable(false);
         },
         8017, openCalls({"CLRRTS", "CLRDTR", "SETDTR", "CLRDTR", "CLRDTR", "CLRRTS", "CloseHandle"}), false},
        {"DTR write failing otherwise keeps the port",
         [](auto& c, auto& api) {
             open3(c);
             api.failing["SETDTR"] = ERROR_DEVICE_NOT_CONNECTED;
             c.setDTREnable(true);
         },
         8016, openCalls({"CLRRTS", "CLRDTR", "SETDTR"}), true},
        {"Start pressed twice", [](auto& c, auto&) { open3(c); open3(c); }, 8000, openCalls({"CLRRTS", "CLRDTR"}),
         true},
        {"PortOpen true while open", [](auto& c, auto&) { open3(c); c.setPortOpen(true); }, 8005,
         openCalls({"CLRRTS", "CLRDTR"}), true},
    };
    for (const auto& s : scenarios) {
        MapResolver resolver;
        resolver.devices[3] = "COM3";
        ScriptedCommApi api;
        {
            SerialComponent comm(resolver, api);
            int number = 0;
            try {
                s.steps(comm, api);
            } catch (const console::UntrappedError& e) {
                number = e.number();
                EXPECT_NE(e.description().find("port 3 (COM3)"), std::string::npos) << s.name << ": " << e.description();
            }
            EXPECT_EQ(number, s.number) << s.name;
            EXPECT_EQ(api.log, s.calls) << s.name;
            EXPECT_EQ(comm.portOpen(), s.openAfter) << s.name;
            EXPECT_EQ(api.openHandles, s.openAfter ? 1 : 0) << s.name;
        }
        // Destroying the component lets go of the port, lines lowered first.
        EXPECT_EQ(api.openHandles, 0) << s.name;
        if (s.openAfter && api.log.size() >= 3) {
            const Calls lastThree(api.log.end() - 3, api.log.end());
            EXPECT_EQ(lastThree, (Calls {"CLRDTR", "CLRRTS", "CloseHandle"})) << s.name;
        }
    }
}

} // namespace
