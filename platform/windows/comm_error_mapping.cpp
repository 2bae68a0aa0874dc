// SPDX-License-Identifier: MIT
#include "comm_error_mapping.h"

#include "text.h"

#include <windows.h>

namespace platform {
namespace {

struct ErrorRow {
    unsigned long error;
    CommStage stage;
    CommFault fault;
};

constexpr ErrorRow kErrorRows[] = {
    // Nothing answers to \\.\COMn.
    {ERROR_FILE_NOT_FOUND, CommStage::Open, CommFault::NoDevice},
    {ERROR_PATH_NOT_FOUND, CommStage::Open, CommFault::NoDevice},
    // Windows opens a communications port for one program at a time.
    {ERROR_ACCESS_DENIED, CommStage::Open, CommFault::Busy},
    // The device has no modem-control lines (a pseudo-terminal under Wine).
    {ERROR_NOT_SUPPORTED, CommStage::DtrWrite, CommFault::NoDtrLine},
    // What a USB adapter's driver answers once the adapter is pulled.
    {ERROR_GEN_FAILURE, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_DEVICE_REMOVED, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_BAD_COMMAND, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_OPERATION_ABORTED, CommStage::DtrWrite, CommFault::DeviceGone},
};

// Any other error.
constexpr std::pair<CommStage, CommFault> kOtherErrors[] = {
    {CommStage::Open, CommFault::OpenFailed},
    {CommStage::Settings, CommFault::OpenFailed},
    {CommStage::DtrWrite, CommFault::LineFailed},
};

std::string detailFor(CommFault fault, const std::string& call, unsigned long error, const PortResolver& resolver)
{
    switch (fault) {
    case CommFault::NoDevice:
        return describePresentPorts(resolver);
    case CommFault::Busy:
        return "another program (Windows gives a port to one program at a time and does not say which)";
    default:
        return call + " failed with error " + std::to_string(error);
    }
}

} // namespace

CommFault commFaultFor(unsigned long error, CommStage stage)
{
    for (const auto& row : kErrorRows)
        if (row.error == error && row.stage == stage) return row.fault;
    for (const auto& [otherStage, fault] : kOtherErrors)
        if (otherStage == stage) return fault;
    return CommFault::OpenFailed;
}

console::UntrappedError commCallError(CommStage stage, const std::string& call, unsigned long error, int port,
                                      const std::string& device, const PortResolver& resolver)
{
    const CommFault fault = commFaultFor(error, stage);
    const auto base = commError(fault, port, device, detailFor(fault, call, error, resolver));
    std::string message = systemMessage(error);
    if (!message.empty() && message.back() != '.') message += '.';
    return console::UntrappedError(base.number(), base.description() + " " + message);
}

} // namespace platform
