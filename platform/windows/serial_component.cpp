// SPDX-License-Identifier: MIT
#include "serial_component.h"

#include "comm_api.h"
#include "comm_error_mapping.h"
#include "com_ports.h"
#include "platform/common/comm_errors.h"

namespace platform {
namespace {

// The stored settings over what the driver reports, so fields the program
// has no setting for (XON/XOFF limits and characters) keep the driver's values.
void applySettings(DCB& dcb, const CommSettings& settings)
{
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    // The lines are ours to set, never the driver's handshake.
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fErrorChar = TRUE; // replaces bytes with parity errors; none arrive with parity off
    dcb.ErrorChar = settings.parityReplace;
}

// The call named in an error text.
const char* escapeCall(DWORD function)
{
    switch (function) {
    case SETDTR: return "EscapeCommFunction(SETDTR)";
    case CLRDTR: return "EscapeCommFunction(CLRDTR)";
    case SETRTS: return "EscapeCommFunction(SETRTS)";
    default: return "EscapeCommFunction(CLRRTS)";
    }
}

} // namespace

SerialComponent::SerialComponent(const PortResolver& resolver) : SerialComponent(resolver, systemCommApi()) {}

SerialComponent::SerialComponent(const PortResolver& resolver, CommApi& api) : SerialComponentBase(resolver), api_(api) {}

SerialComponent::~SerialComponent() { release(); }

void SerialComponent::release() noexcept
{
    if (!handle_) return;
    // Some drivers, and Wine, leave the lines where they were at CloseHandle:
    // lower them first. Failures here change nothing, the port goes anyway.
    api_.escapeCommFunction(handle_, CLRDTR);
    api_.escapeCommFunction(handle_, CLRRTS);
    api_.closeHandle(handle_);
    handle_ = nullptr;
    device_.clear();
}

void SerialComponent::writeDtr(bool enable)
{
    const DWORD function = enable ? SETDTR : CLRDTR;
    const DWORD error = api_.escapeCommFunction(handle_, function);
    if (error == 0) return;
    const auto failure = commCallError(CommStage::DtrWrite, escapeCall(function), error, commPort(), device_, resolver_);
    // A device that went away is let go before the error is reported.
    if (failure.number() == commErrorNumber(CommFault::DeviceGone)) release();
    throw failure;
}

void SerialComponent::openPort()
{
    const auto device = resolver_.deviceFor(commPort());
    if (!device) throw commError(CommFault::NoDevice, commPort(), {}, describePresentPorts(resolver_));

    HANDLE handle = INVALID_HANDLE_VALUE;
    if (const DWORD error = api_.createFile(comDevicePath(commPort()), handle))
        throw commCallError(CommStage::Open, "CreateFile", error, commPort(), *device, resolver_);
    // Drivers raise DTR and RTS as they open a port (Windows' serial driver
    // with the settings it kept, Wine's through the kernel's), and the lines
    // stay up through every call until they are set: so they are set first,
    // DTR before RTS. A driver may refuse them before it has its settings;
    // that is not an answer yet, the same writes after the settings decide.
    const DWORD dtr = dtrEnable() ? SETDTR : CLRDTR;
    const DWORD rts = settings_.rtsEnable ? SETRTS : CLRRTS;
    api_.escapeCommFunction(handle, dtr);
    api_.escapeCommFunction(handle, rts);
    handle_ = handle;
    device_ = *device;
    // A later step that fails lets the port go (lines lowered, handle
    // closed) before the error names the step.
    const auto refuse = [this](CommStage stage, const char* call, DWORD error) {
        const auto failure = commCallError(stage, call, error, commPort(), device_, resolver_);
        release();
        return failure;
    };
    // The queue sizes are only advice to the driver, and nothing is ever sent
    // or read: a driver that refuses them still serves DTR.
    api_.setupComm(handle, settings_.inBufferSize, settings_.outBufferSize);
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (const DWORD error = api_.getCommState(handle, dcb)) throw refuse(CommStage::Settings, "GetCommState", error);
    applySettings(dcb, settings_);
    if (const DWORD error = api_.setCommState(handle, dcb)) throw refuse(CommStage::Settings, "SetCommState", error);
    // A device without modem-control lines (a pseudo-terminal under Wine)
    // still opens: the next DTR write says it has no DTR line.
    for (const DWORD function : {rts, dtr}) {
        const DWORD error = api_.escapeCommFunction(handle, function);
        if (error != 0 && commFaultFor(error, CommStage::OpenLines) != CommFault::NoDtrLine)
            throw refuse(CommStage::OpenLines, escapeCall(function), error);
    }
}

} // namespace platform
