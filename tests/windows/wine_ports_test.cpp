// SPDX-License-Identifier: MIT
// The real component on the COM ports com-pins pins in the suite's Wine
// prefix. COM1 is never opened: on the host it is the machine's own UART.

#include "outcome.h"
#include "platform/windows/com_ports.h"
#include "platform/windows/serial_component.h"

#include <gtest/gtest.h>

#include <tuple>

#include <windows.h>

namespace {

using platform::SerialComponent;

constexpr int kPtyPort = DTR_PTY_PORT;
constexpr int kAbsentPort = DTR_ABSENT_PORT;
constexpr int kUnmappedPort = DTR_UNMAPPED_PORT;
static_assert(kPtyPort != 1 && kAbsentPort != 1 && kUnmappedPort != 1, "COM1 is the host's own UART");

std::string named(int port) { return "port " + std::to_string(port) + " (COM" + std::to_string(port) + ")"; }
// As the ports present are listed: Wine names COMn's device \\Device\\Serial(n-1).
std::string listed(int port)
{
    return std::to_string(port) + " = COM" + std::to_string(port) + " (\\Device\\Serial" + std::to_string(port - 1) + ")";
}

DWORD handleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

TEST(WineComPorts, PinnedPortsOpenOrRefuseAsTheSystemSays)
{
    const auto open = [](SerialComponent& c) { c.setPortOpen(true); };
    const std::string noDtrLine = "No DTR line: " + named(kPtyPort)
                                  + " has no modem-control lines, so DTR cannot be set. Request not supported.";
    const std::tuple<const char*, int, std::function<void(SerialComponent&)>, int, std::string> cases[] = {
        {"pseudo-terminal: opens and closes", kPtyPort, [](auto& c) { c.setPortOpen(true); c.setPortOpen(false); }, 0, ""},
        {"pseudo-terminal: Pulse Out finds no DTR line", kPtyPort,
         [](auto& c) { c.setPortOpen(true); c.setDTREnable(true); }, 8015, noDtrLine},
        {"pseudo-terminal: Start's DTR low finds none either", kPtyPort,
         [](auto& c) { c.setPortOpen(true); c.setDTREnable(false); }, 8015, noDtrLine},
        {"a path with no device: opens, then its settings cannot be read", kAbsentPort, open, 8014,
         "Could not open " + named(kAbsentPort) + ": GetCommState failed with error 1. Invalid function."},
        {"no port at all: refused, listing the ports present", kUnmappedPort, open, 8013,
         "No device for " + named(kUnmappedPort) + ". Ports present now: " + listed(kPtyPort) + ", "
             + listed(kAbsentPort) + ". File not found."},
    };
    const platform::ComPortResolver resolver;
    for (const auto& [name, port, steps, number, text] : cases) {
        SCOPED_TRACE(name);
        wchar_t target[512];
        if (port == kUnmappedPort && QueryDosDeviceW((L"COM" + std::to_wstring(port)).c_str(), target, 512)) {
            ADD_FAILURE() << "COM" << port << " is a device here; not opening it";
            continue;
        }
        const DWORD handlesBefore = handleCount();
        SerialComponent comm(resolver);
        comm.setCommPort(static_cast<std::int16_t>(port));
        const Outcome outcome = outcomeOf([&] { steps(comm); });
        EXPECT_EQ(outcome.number, number);
        EXPECT_EQ(outcome.text, text);
        EXPECT_TRUE(number != 8013 || !comm.portOpen());
        // Whatever was refused, nothing stays held once the component lets
        // go, and the port opens again at once.
        comm.release();
        EXPECT_EQ(handleCount(), handlesBefore);
        SerialComponent next(resolver);
        next.setCommPort(static_cast<std::int16_t>(kPtyPort));
        EXPECT_NO_THROW(next.setPortOpen(true));
    }
}

} // namespace
