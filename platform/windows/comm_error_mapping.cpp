// SPDX-License-Identifier: MIT
#include "comm_error_mapping.h"

#include "text.h"

#include <windows.h>

#include <algorithm>
#include <optional>

namespace platform {
namespace {

struct ErrorRow {
    unsigned long error;
    CommStage stage;
    CommFault fault;
    std::optional<CommFault> gone = std::nullopt; // where the device shows it is no longer there
    const char* cause = nullptr;                  // said before the call that failed
};

constexpr ErrorRow kErrorRows[] = {
    // Nothing answers to \\.\COMn.
    {ERROR_FILE_NOT_FOUND, CommStage::Open, CommFault::NoDevice},
    {ERROR_PATH_NOT_FOUND, CommStage::Open, CommFault::NoDevice},
    // Windows opens a communications port for one program at a time. The
    // system's serial driver refuses a second open with access denied; some
    // other drivers answer as for a file held without sharing, or that the
    // device is busy (the system's own text for it: "The requested resource
    // is in use").
    {ERROR_ACCESS_DENIED, CommStage::Open, CommFault::Busy},
    {ERROR_SHARING_VIOLATION, CommStage::Open, CommFault::Busy},
    {ERROR_BUSY, CommStage::Open, CommFault::Busy},
    // A Bluetooth port blocks in CreateFile while the stack calls its remote
    // device, and gives up with a timeout when the device is off or away.
    {ERROR_SEM_TIMEOUT, CommStage::Open, CommFault::OpenFailed, std::nullopt,
     "the device did not answer; a Bluetooth device may be off or out of range"},
    // A device without modem-control lines: a pseudo-terminal under Wine says
    // the request is not supported, some USB drivers that it is an invalid
    // function. The open goes on; the DTR write says there is no DTR line.
    {ERROR_NOT_SUPPORTED, CommStage::OpenLines, CommFault::NoDtrLine},
    {ERROR_INVALID_FUNCTION, CommStage::OpenLines, CommFault::NoDtrLine},
    {ERROR_NOT_SUPPORTED, CommStage::DtrWrite, CommFault::NoDtrLine},
    {ERROR_INVALID_FUNCTION, CommStage::DtrWrite, CommFault::NoDtrLine},
    // Some USB drivers without modem lines fail EscapeCommFunction with a
    // general failure, right after the open too (dotnet/corefx #33026).
    // Others answer so the moment their adapter is pulled, while its COM
    // name stays in SERIALCOMM until the driver has handled the removal; a
    // device that has gone answers no other call on its handle either.
    {ERROR_GEN_FAILURE, CommStage::OpenLines, CommFault::NoDtrLine},
    {ERROR_GEN_FAILURE, CommStage::DtrWrite, CommFault::NoDtrLine, CommFault::DeviceGone},
    // What Windows answers on the handle of a pulled USB adapter: access
    // denied (ziglang/zig #23648, RJCP.DLL.SerialPortStream #143), file not
    // found (node-serialport #95), or what its driver says of a device no
    // longer there.
    {ERROR_ACCESS_DENIED, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_FILE_NOT_FOUND, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_DEV_NOT_EXIST, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_BAD_COMMAND, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_DEVICE_NOT_CONNECTED, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_DEVICE_REMOVED, CommStage::DtrWrite, CommFault::DeviceGone},
    {ERROR_OPERATION_ABORTED, CommStage::DtrWrite, CommFault::DeviceGone},
};

const ErrorRow* rowFor(unsigned long error, CommStage stage)
{
    for (const auto& row : kErrorRows)
        if (row.error == error && row.stage == stage) return &row;
    return nullptr;
}

bool isListed(const PortResolver& resolver, int port)
{
    const auto present = resolver.present();
    return std::any_of(present.begin(), present.end(), [port](const auto& p) { return p.number == port; });
}

std::string detailFor(CommFault fault, const char* cause, const std::string& call, unsigned long error,
                      const PortResolver& resolver)
{
    switch (fault) {
    case CommFault::NoDevice:
        return describePresentPorts(resolver);
    case CommFault::Busy:
        return "another program (Windows gives a port to one program at a time and does not say which)";
    default: {
        const std::string failed = call + " failed with error " + std::to_string(error);
        return cause ? cause + (" (" + failed + ")") : failed;
    }
    }
}

} // namespace

CommFault commFaultFor(unsigned long error, CommStage stage, bool present)
{
    if (const ErrorRow* row = rowFor(error, stage)) return !present && row->gone ? *row->gone : row->fault;
    // Any other error: on an open port setting DTR failed; elsewhere the open did.
    return stage == CommStage::DtrWrite ? CommFault::LineFailed : CommFault::OpenFailed;
}

console::UntrappedError commCallError(CommStage stage, const std::string& call, unsigned long error, int port,
                                      const std::string& device, const PortResolver& resolver,
                                      const std::function<bool()>& answers)
{
    const ErrorRow* row = rowFor(error, stage);
    // The device is asked, and the ports present read, only where the answer
    // depends on them.
    const bool present = !row || !row->gone || (answers() && isListed(resolver, port));
    const CommFault fault = commFaultFor(error, stage, present);
    const auto base = commError(fault, port, device, detailFor(fault, row ? row->cause : nullptr, call, error, resolver));
    std::string message = systemMessage(error);
    if (!message.empty() && message.back() != '.') message += '.';
    return console::UntrappedError(base.number(), base.description() + " " + message);
}

} // namespace platform
