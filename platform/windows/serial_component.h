// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/serial_component_base.h"

#include <string>

namespace platform {

class CommApi;

// The component's stored settings. The program never changes them.
struct CommSettings {
    unsigned long baudRate = 9600;
    unsigned char dataBits = 8;
    // No parity, one stop bit, no flow control of any kind: the program only
    // drives DTR, and a handshake line must not hold anything up.
    unsigned long inBufferSize = 1024;
    unsigned long outBufferSize = 512;
    char parityReplace = '?';
};

// The serial communications component hosted on the window as MSComm1, on
// the Win32 communications API. Holds the port number, the open state and
// the DTR level (the rules: platform/common/serial_component_base.h; the
// errors: comm_error_mapping.h).
class SerialComponent : public SerialComponentBase {
public:
    explicit SerialComponent(const PortResolver& resolver);
    SerialComponent(const PortResolver& resolver, CommApi& api);
    ~SerialComponent() override; // closes the port
    SerialComponent(const SerialComponent&) = delete;
    SerialComponent& operator=(const SerialComponent&) = delete;

    bool portOpen() const override { return handle_ != nullptr; }

    // Closes the port if open; never throws. For the error path.
    void release() noexcept override;

private:
    void openPort() override;
    void writeDtr(bool enable) override;

    CommApi& api_;
    CommSettings settings_;
    void* handle_ = nullptr; // the open port's HANDLE, or null
};

} // namespace platform
