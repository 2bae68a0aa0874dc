// SPDX-License-Identifier: MIT
// Port numbers to COM devices, and the SERIALCOMM listing to the ports
// present, as the error texts and the port list's tooltips show them.

#include "outcome.h"
#include "scripted_comm_api.h"
#include "platform/windows/com_ports.h"
#include "platform/windows/serial_component.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

TEST(ComPorts, NumberNamesTheDeviceAndBelowOneIsRefused)
{
    // The path is what the next open takes: a refused number leaves port 1.
    const std::tuple<std::int16_t, std::optional<std::string>, std::wstring> rows[] = {
        {1, "COM1", L"\\\\.\\COM1"},    {9, "COM9", L"\\\\.\\COM9"},       {10, "COM10", L"\\\\.\\COM10"},
        {15, "COM15", L"\\\\.\\COM15"}, {256, "COM256", L"\\\\.\\COM256"}, {32767, "COM32767", L"\\\\.\\COM32767"},
        {0, std::nullopt, L"\\\\.\\COM1"}, {-1, std::nullopt, L"\\\\.\\COM1"}, {-32768, std::nullopt, L"\\\\.\\COM1"},
    };
    const platform::ComPortResolver resolver;
    for (const auto& [number, device, path] : rows) {
        EXPECT_EQ(resolver.deviceFor(number), device) << number;
        ScriptedCommApi api; // no port is opened
        platform::SerialComponent comm(resolver, api);
        const Outcome outcome = outcomeOf([&] { comm.setCommPort(number); });
        EXPECT_EQ(outcome.number, device ? 0 : 8002) << number;
        EXPECT_EQ(outcome.text,
                  device ? "" : "Invalid port number " + std::to_string(number) + " (no device): port numbers start at 1.");
        EXPECT_EQ(comm.commPort(), device ? number : 1) << number << ": a refused number is not kept";
        EXPECT_TRUE(api.log.empty()) << number;
        comm.setPortOpen(true);
        EXPECT_EQ(api.log.front(), "CreateFile " + platform::narrow(path)) << number;
    }
}

TEST(ComPorts, SerialCommValuesListThePortsByNumberWithTheirNames)
{
    using Values = std::vector<platform::SerialCommValue>;
    using Ports = std::vector<std::pair<int, std::string>>;
    const std::tuple<const char*, Values, std::map<std::string, std::string>, Ports> listings[] = {
        {"none", {}, {}, {}},
        {"as Wine enters them, no friendly names",
         {{"\\Device\\Serial0", "COM1"}, {"\\Device\\Serial8", "COM9"}, {"\\Device\\Serial4", "COM5"}},
         {},
         {{1, "COM1 (\\Device\\Serial0)"}, {5, "COM5 (\\Device\\Serial4)"}, {9, "COM9 (\\Device\\Serial8)"}}},
        {"by number, not by name: COM10 after COM9",
         {{"\\Device\\VCP1", "COM10"}, {"\\Device\\Serial1", "COM2"}, {"\\Device\\VCP0", "COM9"}},
         {{"COM10", "USB Serial Port (COM10)"}},
         {{2, "COM2 (\\Device\\Serial1)"}, {9, "COM9 (\\Device\\VCP0)"}, {10, "USB Serial Port (COM10)"}}},
        {"a friendly name without its port gets it added",
         {{"\\Device\\BthModem0", "COM4"}, {"\\Device\\USBSER000", "COM3"}},
         {{"COM4", "Standard Serial over Bluetooth link"}, {"COM3", "USB Serial Device (COM3)"}},
         {{3, "USB Serial Device (COM3)"}, {4, "Standard Serial over Bluetooth link (COM4)"}}},
        {"names that are no COMn port are left out",
         {{"\\Device\\com0com10", "CNCA0"}, {"\\Device\\Serial9", "COM0"}, {"\\Device\\Serial10", "COM"},
          {"\\Device\\Serial11", "COMx"}, {"\\Device\\Serial12", "COM40000"}, {"\\Device\\Serial13", "COM05"},
          {"\\Device\\Serial6", "com7"}},
         {},
         {{7, "COM7 (\\Device\\Serial6)"}}},
    };
    for (const auto& [name, values, friendlyNames, expected] : listings) {
        Ports ports;
        for (const auto& port : platform::listComPorts(values, friendlyNames)) ports.emplace_back(port.number, port.device);
        EXPECT_EQ(ports, expected) << name;
    }
}

} // namespace
