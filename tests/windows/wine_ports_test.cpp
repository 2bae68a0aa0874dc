// The real component on the COM ports the suite pins in its Wine prefix
// (com-pins): one on a pseudo-terminal the harness holds open, one on a path
// with no device behind it, and a number with no port at all. COM1 is never
// opened: on the host it is the machine's own UART, often its console.

#include "console/untrapped_error.h"
#include "platform/windows/com_ports.h"
#include "platform/windows/serial_component.h"
#include "platform/windows/text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace {

using platform::SerialComponent;

constexpr int kPtyPort = DTR_PTY_PORT;
constexpr int kAbsentPort = DTR_ABSENT_PORT;
constexpr int kUnmappedPort = DTR_UNMAPPED_PORT;
static_assert(kPtyPort != 1 && kAbsentPort != 1 && kUnmappedPort != 1, "COM1 is the host's own UART");

// Whether COMn is a device here at all, found without opening it.
bool comDeviceExists(int port)
{
    wchar_t target[512];
    return QueryDosDeviceW((L"COM" + std::to_wstring(port)).c_str(), target, 512) != 0;
}

DWORD handleCount()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

std::string portText(int port) { return "port " + std::to_string(port) + " (COM" + std::to_string(port) + ")"; }

std::string endsWithMessage(DWORD error)
{
    std::string message = platform::systemMessage(error);
    return message.back() == '.' ? message : message + ".";
}

struct Case {
    const char* name;
    int port;
    std::function<void(SerialComponent& comm)> steps;
    int number; // 0: nothing refused
    std::vector<std::string> mentions;
};

TEST(WineComPorts, PinnedPortsOpenOrRefuseAsTheSystemSays)
{
    ASSERT_TRUE(comDeviceExists(kPtyPort) && comDeviceExists(kAbsentPort)) << "the suite's COM pins are missing";
    const auto open = [](SerialComponent& c) { c.setPortOpen(true); };
    const Case cases[] = {
        {"pseudo-terminal: opens and closes", kPtyPort,
         [&](auto& c) {
             open(c);
             EXPECT_TRUE(c.portOpen());
             c.setPortOpen(false);
         },
         0, {}},
        {"pseudo-terminal: Pulse Out finds no DTR line", kPtyPort,
         [&](auto& c) {
             open(c);
             c.setDTREnable(true);
         },
         8015, {"No DTR line: " + portText(kPtyPort), endsWithMessage(ERROR_NOT_SUPPORTED)}},
        {"pseudo-terminal: Start's DTR low finds none either", kPtyPort,
         [&](auto& c) {
             open(c);
             c.setDTREnable(false);
         },
         8015, {"No DTR line: " + portText(kPtyPort)}},
        {"pinned to a path with no device: opens, then its settings cannot be read", kAbsentPort, open, 8014,
         {"Could not open " + portText(kAbsentPort) + ": GetCommState failed with error 1.",
          endsWithMessage(ERROR_INVALID_FUNCTION)}},
    };
    const platform::ComPortResolver resolver;
    for (const auto& c : cases) {
        const DWORD handlesBefore = handleCount();
        SerialComponent comm(resolver);
        comm.setCommPort(static_cast<std::int16_t>(c.port));
        int number = 0;
        try {
            c.steps(comm);
        } catch (const console::UntrappedError& e) {
            number = e.number();
            for (const auto& mention : c.mentions)
                EXPECT_NE(e.description().find(mention), std::string::npos) << c.name << ": " << e.description();
        }
        EXPECT_EQ(number, c.number) << c.name;
        // Whatever was refused, nothing stays held once the component lets go,
        // and the port can be opened again at once.
        comm.release();
        EXPECT_EQ(handleCount(), handlesBefore) << c.name;
        SerialComponent next(resolver);
        next.setCommPort(static_cast<std::int16_t>(kPtyPort));
        EXPECT_NO_THROW(next.setPortOpen(true)) << c.name;
    }
}

TEST(WineComPorts, PortWithNoDeviceIsRefusedListingThePortsPresent)
{
    if (comDeviceExists(kUnmappedPort)) GTEST_SKIP() << "COM" << kUnmappedPort << " is a device here; not opening it";
    const platform::ComPortResolver resolver;
    SerialComponent comm(resolver);
    comm.setCommPort(static_cast<std::int16_t>(kUnmappedPort));
    try {
        comm.setPortOpen(true);
        FAIL() << "not refused";
    } catch (const console::UntrappedError& e) {
        const std::string& text = e.description();
        EXPECT_EQ(e.number(), 8013) << text;
        for (const auto& mention : {"No device for " + portText(kUnmappedPort) + ". Ports present now: ",
                                    std::to_string(kPtyPort) + " = COM" + std::to_string(kPtyPort) + " (\\Device\\Serial",
                                    std::to_string(kAbsentPort) + " = COM" + std::to_string(kAbsentPort) + " (",
                                    endsWithMessage(ERROR_FILE_NOT_FOUND)})
            EXPECT_NE(text.find(mention), std::string::npos) << mention << " in " << text;
    }
    EXPECT_FALSE(comm.portOpen());
}

} // namespace
