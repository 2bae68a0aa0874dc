// SPDX-License-Identifier: MIT
// What each system error becomes, by where it happened: the number the user
// sees, and a text naming port and device and ending with the system's own.

#include "map_resolver.h"
#include "platform/windows/comm_error_mapping.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

namespace {

using platform::CommStage;

// The system's own messages as Wine words them (the tests run under Wine;
// Windows words most of them otherwise).
const std::map<DWORD, std::string> kSystemTexts = {
    {ERROR_INVALID_FUNCTION, "Invalid function."},  {ERROR_FILE_NOT_FOUND, "File not found."},
    {ERROR_PATH_NOT_FOUND, "Path not found."},      {ERROR_ACCESS_DENIED, "Access denied."},
    {ERROR_BAD_COMMAND, "Bad command."},            {ERROR_GEN_FAILURE, "General failure."},
    {ERROR_SHARING_VIOLATION, "Sharing violation."}, {ERROR_NOT_SUPPORTED, "Request not supported."},
    {ERROR_SEM_TIMEOUT, "Semaphore timeout."},      {ERROR_OPERATION_ABORTED, "I/O operation aborted."},
    {ERROR_IO_DEVICE, "I/O device error."},         {ERROR_DEVICE_NOT_CONNECTED, "The device is not connected."},
    {ERROR_DEVICE_REMOVED, "Device removed."},      {ERROR_BUSY, "Resource in use."},
    {ERROR_DEV_NOT_EXIST, "Device does not exist."},
    // ERROR_NO_SUCH_DEVICE: Wine has no text for it (Windows has: "A device
    // which does not exist was specified."), so its number stands in.
    {433, "error 433."},
};

TEST(CommErrorMapping, EachSystemErrorBecomesItsNumberAndANamingText)
{
    const char* open = "CreateFile";
    const char* raise = "EscapeCommFunction(SETDTR)";
    const char* lower = "EscapeCommFunction(CLRDTR)";
    // Port 9 is not among the ports present.
    const std::tuple<DWORD, CommStage, const char*, int, std::string> rows[] = {
        {ERROR_FILE_NOT_FOUND, CommStage::Open, open, 8013,
         "No device for port 9 (COM9). Ports present now: 3 = USB Serial Port (COM3), 5 = COM5 (\\Device\\Serial4)."},
        {ERROR_PATH_NOT_FOUND, CommStage::Open, open, 8013, "Ports present now: 3 = "},
        {ERROR_ACCESS_DENIED, CommStage::Open, open, 8010, "Port busy: port 9 (COM9) is held by another program"},
        {ERROR_SHARING_VIOLATION, CommStage::Open, open, 8010, "Port busy: port 9 (COM9) is held by another program"},
        {ERROR_BUSY, CommStage::Open, open, 8010, "Port busy: port 9 (COM9) is held by another program"},
        {ERROR_SEM_TIMEOUT, CommStage::Open, open, 8014,
         "Could not open port 9 (COM9): the device did not answer; a Bluetooth device may be off or out of range "
         "(CreateFile failed with error 121)."},
        {ERROR_NOT_SUPPORTED, CommStage::DtrWrite, raise, 8015, "No DTR line: port 9 (COM9)"},
        {ERROR_INVALID_FUNCTION, CommStage::DtrWrite, raise, 8015, "No DTR line: port 9 (COM9)"},
        {ERROR_NOT_SUPPORTED, CommStage::OpenLines, lower, 8015, "No DTR line: port 9 (COM9)"},
        {ERROR_INVALID_FUNCTION, CommStage::OpenLines, lower, 8015, "No DTR line: port 9 (COM9)"},
        {ERROR_GEN_FAILURE, CommStage::OpenLines, lower, 8015, "No DTR line: port 9 (COM9)"},
        {ERROR_GEN_FAILURE, CommStage::DtrWrite, raise, 8017,
         "Device gone: port 9 (COM9) went away while open (EscapeCommFunction(SETDTR) failed with error 31)"},
        {ERROR_DEVICE_REMOVED, CommStage::DtrWrite, raise, 8017, "error 1617). Was it unplugged? The port has been closed."},
        {ERROR_BAD_COMMAND, CommStage::DtrWrite, raise, 8017, "error 22)"},
        {ERROR_OPERATION_ABORTED, CommStage::DtrWrite, raise, 8017, "error 995)"},
        {ERROR_ACCESS_DENIED, CommStage::DtrWrite, raise, 8017, "Device gone: port 9 (COM9) went away"},
        {ERROR_DEVICE_NOT_CONNECTED, CommStage::DtrWrite, raise, 8017, "error 1167)"},
        {ERROR_FILE_NOT_FOUND, CommStage::DtrWrite, raise, 8017, "error 2)"},
        {ERROR_DEV_NOT_EXIST, CommStage::DtrWrite, raise, 8017, "error 55)"},
        {ERROR_INVALID_FUNCTION, CommStage::Settings, "GetCommState", 8014,
         "Could not open port 9 (COM9): GetCommState failed with error 1."},
        // The same codes elsewhere mean something else.
        {ERROR_NOT_SUPPORTED, CommStage::Open, open, 8014, "CreateFile failed with error 50"},
        {ERROR_GEN_FAILURE, CommStage::Settings, "SetCommState", 8014, "SetCommState failed with error 31"},
        {ERROR_IO_DEVICE, CommStage::OpenLines, lower, 8014, "EscapeCommFunction(CLRDTR) failed with error 1117"},
        {ERROR_SEM_TIMEOUT, CommStage::Settings, "GetCommState", 8014, "(COM9): GetCommState failed with error 121."},
        {ERROR_IO_DEVICE, CommStage::DtrWrite, raise, 8016,
         "Could not set DTR on port 9 (COM9): EscapeCommFunction(SETDTR) failed with error 1117."},
        {433, CommStage::Open, open, 8014, "CreateFile failed with error 433."},
    };
    MapResolver resolver;
    resolver.devices = {{3, "USB Serial Port (COM3)"}, {5, "COM5 (\\Device\\Serial4)"}};
    for (const auto& [error, stage, call, number, mention] : rows) {
        const auto e = platform::commCallError(stage, call, error, 9, "COM9", resolver);
        EXPECT_EQ(e.number(), number) << error << ": " << e.description();
        EXPECT_NE(e.description().find(mention), std::string::npos) << mention << " in " << e.description();
        EXPECT_NE(e.description().find("port 9 (COM9)"), std::string::npos) << e.description();
        EXPECT_TRUE(e.description().ends_with(" " + kSystemTexts.at(error))) << e.description();
    }
    const MapResolver none;
    const auto e = platform::commCallError(CommStage::Open, open, ERROR_FILE_NOT_FOUND, 9, "COM9", none);
    EXPECT_NE(e.description().find("No device for port 9 (COM9). No serial port is present now. "), std::string::npos)
        << e.description();
}

} // namespace
