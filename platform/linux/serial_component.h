// SPDX-License-Identifier: MIT
#pragma once

#include "platform/common/hosted_component.h"
#include "platform/common/port_resolver.h"
#include "port_lock.h"
#include "tty_port.h"

#include <cstdint>
#include <string>

namespace platform {

// The serial communications component hosted on the window as MSComm1, on
// termios (tty_port.h says why not QSerialPort). Holds the port number, the
// open state and the DTR level. Refused writes throw console::UntrappedError
// (see comm_errors.h).
class SerialComponent : public HostedComponent {
public:
    explicit SerialComponent(const PortResolver& resolver);
    ~SerialComponent() override; // closes the port

    void setCommPort(std::int16_t port) override;
    void setPortOpen(bool open) override;
    void setDTREnable(bool enable) override;

    std::int16_t commPort() const { return commPort_; }
    // A port whose device went away stays open to the program until it is
    // closed, so the next command can say what happened.
    bool portOpen() const { return port_.isOpen() || !lostReason_.empty(); }
    bool dtrEnable() const { return dtrEnable_; }
    const CommSettings& settings() const { return settings_; }

    // Closes the port if open; never throws. For the error path.
    void release() noexcept override;

private:
    void open();
    [[noreturn]] void throwOpenFailure(const std::string& device, int error);
    [[noreturn]] void throwDeviceGone(const std::string& reason = {});
    bool deviceNodeGone() const;

    const PortResolver& resolver_;
    CommSettings settings_;
    std::int16_t commPort_ = 1;
    bool dtrEnable_ = false;
    std::string device_;     // of the open port
    std::string lostReason_; // why the open port's device went away, if it did
    PortLock lock_;
    TtyPort port_;
};

} // namespace platform
