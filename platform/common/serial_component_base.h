// SPDX-License-Identifier: MIT
#pragma once

#include "hosted_component.h"
#include "port_resolver.h"

#include <cstdint>
#include <string>

namespace platform {

// What the serial component's three properties do, the same on every
// platform: the port number is fixed while the port is open and starts at 1,
// a port opens once, and a DTR level written while the port is closed is
// kept for the next open. Each platform's component opens, closes and
// writes DTR on its own device; refused writes throw console::UntrappedError
// (comm_errors.h).
class SerialComponentBase : public HostedComponent {
public:
    void setCommPort(std::int16_t port) final;
    void setPortOpen(bool open) final;
    void setDTREnable(bool enable) final;

    std::int16_t commPort() const { return commPort_; }
    bool dtrEnable() const { return dtrEnable_; }
    virtual bool portOpen() const = 0;

protected:
    explicit SerialComponentBase(const PortResolver& resolver) : resolver_(resolver) {}

    // Opens port commPort(), which is not open, with DTR at dtrEnable();
    // sets device_ once it is open.
    virtual void openPort() = 0;
    // Sets DTR on the open port.
    virtual void writeDtr(bool enable) = 0;
    // A platform's reason to refuse any use of the port now, before the
    // rules above (a device that went away while open), by throwing.
    virtual void checkUsable() {}

    const PortResolver& resolver_;
    std::string device_; // of the open port, for error texts; empty while closed

private:
    std::int16_t commPort_ = 1;
    bool dtrEnable_ = false;
};

} // namespace platform
