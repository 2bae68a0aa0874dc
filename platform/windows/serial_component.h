#pragma once

#include "platform/common/hosted_component.h"
#include "platform/common/port_resolver.h"

#include <cstdint>
#include <string>

namespace platform {

// The serial communications component hosted on the window as MSComm1, on
// the Win32 communications API. Holds the port number, the open state and
// the DTR level. Refused writes throw console::UntrappedError (see
// platform/common/comm_errors.h).
class SerialComponent : public HostedComponent {
public:
    explicit SerialComponent(const PortResolver& resolver);
    ~SerialComponent() override; // closes the port
    SerialComponent(const SerialComponent&) = delete;
    SerialComponent& operator=(const SerialComponent&) = delete;

    void setCommPort(std::int16_t port) override;
    void setPortOpen(bool open) override;
    void setDTREnable(bool enable) override;

    std::int16_t commPort() const { return commPort_; }
    bool portOpen() const;
    bool dtrEnable() const { return dtrEnable_; }

    // Closes the port if open; never throws. For the error path.
    void release() noexcept override;

private:
    const PortResolver& resolver_;
    std::int16_t commPort_ = 1;
    bool dtrEnable_ = false;
    void* handle_ = nullptr; // the open port's HANDLE, or null
};

} // namespace platform
