// SPDX-License-Identifier: MIT
#include "serial_component.h"

#include "comm_api.h"
#include "comm_error_mapping.h"
#include "com_ports.h"
#include "platform/common/comm_errors.h"

namespace platform {
namespace {

// The stored settings over what the driver reports. Every field that
// SetCommState or the driver checks gets a value of ours, not one another
// program or the driver left: SetCommState refuses equal XON and XOFF
// characters (its page on learn.microsoft.com; some virtual COM drivers
// report both as 0, purejavacomm #122), and the driver refuses XON/XOFF
// limits beyond its input queue (IOCTL_SERIAL_SET_HANDFLOW in the WDK's
// serial sample; limits another program left, pywin32 #382, pyserial #669).
void applySettings(DCB& dcb, const CommSettings& settings)
{
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE; // the only mode Windows has
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    // Off, or a line error would make the driver cancel every later call.
    dcb.fAbortOnError = FALSE;
    // The lines are ours to set, never the driver's handshake.
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.wReserved = 0; // must be zero (DCB's page)
    // XON/XOFF is off, but the driver checks these all the same: the ASCII
    // characters (as pyserial sets them), and limits well inside the input
    // queue asked for.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = static_cast<WORD>(settings.inBufferSize / 4);
    dcb.XoffLim = static_cast<WORD>(settings.inBufferSize / 4);
    dcb.fErrorChar = TRUE; // replaces bytes with parity errors; none arrive with parity off
    dcb.ErrorChar = settings.parityReplace;
}

DWORD dtrFunction(bool raise) { return raise ? SETDTR : CLRDTR; }

// The call named in an error text: only DTR writes are ever reported.
const char* dtrCall(bool raise) { return raise ? "EscapeCommFunction(SETDTR)" : "EscapeCommFunction(CLRDTR)"; }

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
    const DWORD error = api_.escapeCommFunction(handle_, dtrFunction(enable));
    if (error == 0) return;
    // Whether the device is still there, where the error alone does not say:
    // one without modem lines answers the other comm calls (at least one of
    // them), one that has gone answers none.
    const auto answers = [this] {
        return api_.clearCommError(handle_) == 0 || api_.getCommModemStatus(handle_) == 0;
    };
    const auto failure =
        commCallError(CommStage::DtrWrite, dtrCall(enable), error, commPort(), device_, resolver_, answers);
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
    api_.escapeCommFunction(handle, dtrFunction(dtrEnable()));
    api_.escapeCommFunction(handle, CLRRTS);
    // Line errors left pending under another program's abort-on-error make
    // the driver cancel every call (ERROR_OPERATION_ABORTED) until they are
    // acknowledged (fAbortOnError, DCB on learn.microsoft.com); the settings
    // below turn abort-on-error off. Its own failure is left to the calls
    // after it.
    api_.clearCommError(handle);
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
    // The lines again, DTR first: it is what the program is for. A device
    // without modem-control lines (a pseudo-terminal under Wine, some USB
    // bridges) still opens: the next DTR write says it has no DTR line.
    const DWORD dtrError = api_.escapeCommFunction(handle, dtrFunction(dtrEnable()));
    if (dtrError != 0 && commFaultFor(dtrError, CommStage::OpenLines) != CommFault::NoDtrLine)
        throw refuse(CommStage::OpenLines, dtrCall(dtrEnable()), dtrError);
    // RTS is held low only so that a line keying a transmitter or resetting
    // a board is not left asserted: a driver that refuses it still serves DTR.
    api_.escapeCommFunction(handle, CLRRTS);
}

} // namespace platform
