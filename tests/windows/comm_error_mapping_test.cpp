// What each system error becomes, by where it happened: the number the user
// sees, and a text naming port and device and ending with the system's own
// message. No device needed: the table is data.

#include "map_resolver.h"
#include "platform/windows/comm_error_mapping.h"
#include "platform/windows/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace {

using platform::CommStage;

struct Row {
    DWORD error;
    CommStage stage;
    const char* call;
    int number;
    std::vector<std::string> mentions; // besides "port 9 (COM9)" and the system message
    bool portsPresent = true;
};

TEST(CommErrorMapping, EachSystemErrorBecomesItsNumberAndANamingText)
{
    const Row rows[] = {
        {ERROR_FILE_NOT_FOUND, CommStage::Open, "CreateFile", 8013,
         {"No device for port 9 (COM9).", "Ports present now: 3 = USB Serial Port (COM3), 5 = COM5 (\\Device\\Serial4)."}},
        {ERROR_PATH_NOT_FOUND, CommStage::Open, "CreateFile", 8013, {"Ports present now: 3 = "}},
        {ERROR_FILE_NOT_FOUND, CommStage::Open, "CreateFile", 8013, {"No serial port is present now."}, false},
        {ERROR_ACCESS_DENIED, CommStage::Open, "CreateFile", 8010, {"Port busy: port 9 (COM9) is held by another program"}},
        {ERROR_NOT_SUPPORTED, CommStage::DtrWrite, "EscapeCommFunction(SETDTR)", 8015, {"No DTR line: port 9 (COM9)"}},
        {ERROR_GEN_FAILURE, CommStage::DtrWrite, "EscapeCommFunction(SETDTR)", 8017,
         {"Device gone: port 9 (COM9) went away while open (EscapeCommFunction(SETDTR) failed with error 31)",
          "The port has been closed."}},
        {ERROR_DEVICE_REMOVED, CommStage::DtrWrite, "EscapeCommFunction(CLRDTR)", 8017, {"error 1617"}},
        {ERROR_BAD_COMMAND, CommStage::DtrWrite, "EscapeCommFunction(SETDTR)", 8017, {"error 22"}},
        {ERROR_OPERATION_ABORTED, CommStage::DtrWrite, "EscapeCommFunction(SETDTR)", 8017, {"error 995"}},
        {ERROR_INVALID_FUNCTION, CommStage::Settings, "GetCommState", 8014,
         {"Could not open port 9 (COM9): GetCommState failed with error 1."}},
        // The same codes elsewhere mean something else.
        {ERROR_NOT_SUPPORTED, CommStage::Open, "CreateFile", 8014, {"CreateFile failed with error 50"}},
        {ERROR_GEN_FAILURE, CommStage::Settings, "SetCommState", 8014, {"SetCommState failed with error 31"}},
        {ERROR_FILE_NOT_FOUND, CommStage::Settings, "GetCommState", 8014, {"GetCommState failed with error 2"}},
        {ERROR_ACCESS_DENIED, CommStage::DtrWrite, "EscapeCommFunction(SETDTR)", 8016,
         {"Could not set DTR on port 9 (COM9): EscapeCommFunction(SETDTR) failed with error 5."}},
        {ERROR_DEVICE_NOT_CONNECTED, CommStage::DtrWrite, "EscapeCommFunction(CLRDTR)", 8016, {"error 1167"}},
        // A code the system has no text for still ends the description.
        {433, CommStage::Open, "CreateFile", 8014, {"CreateFile failed with error 433."}},
    };
    MapResolver some, none;
    some.devices = {{3, "USB Serial Port (COM3)"}, {5, "COM5 (\\Device\\Serial4)"}};
    for (const auto& r : rows) {
        const auto e = platform::commCallError(r.stage, r.call, r.error, 9, "COM9", r.portsPresent ? some : none);
        const std::string& text = e.description();
        EXPECT_EQ(e.number(), r.number) << r.error << ": " << text;
        EXPECT_NE(text.find("port 9 (COM9)"), std::string::npos) << text;
        for (const auto& mention : r.mentions) EXPECT_NE(text.find(mention), std::string::npos) << mention << " in " << text;
        std::string message = platform::systemMessage(r.error);
        if (message.back() != '.') message += '.';
        EXPECT_TRUE(text.ends_with(" " + message)) << text;
    }
}

} // namespace
