// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/serial_component_base.h"
#include "port_lock.h"
#include "tty_port.h"

#include <string>

namespace platform {

// The serial communications component hosted on the window as MSComm1, on
// termios (tty_port.h says why not QSerialPort). Holds the port number, the
// open state and the DTR level (the rules: serial_component_base.h).
class SerialComponent : public SerialComponentBase {
public:
    explicit SerialComponent(const PortResolver& resolver);
    ~SerialComponent() override; // closes the port

    // A port whose device went away stays open to the program until it is
    // closed, so the next command can say what happened.
    bool portOpen() const override { return port_.isOpen() || !lostReason_.empty(); }

    // Closes the port if open; never throws. For the error path.
    void release() noexcept override;

private:
    void openPort() override;
    void writeDtr(bool enable) override;
    void checkUsable() override;
    [[noreturn]] void throwOpenFailure(const std::string& device, int error);
    [[noreturn]] void throwDeviceGone(const std::string& reason = {});
    bool deviceNodeGone() const;

    CommSettings settings_;
    std::string lostReason_; // why the open port's device went away, if it did
    PortLock lock_;
    TtyPort port_;
};

} // namespace platform
