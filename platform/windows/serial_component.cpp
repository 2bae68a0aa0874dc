#include "serial_component.h"

#include "platform/common/comm_errors.h"

namespace platform {

// Placeholder until the Win32 communications code lands: refuses every open.
SerialComponent::SerialComponent(const PortResolver& resolver) : resolver_(resolver) {}
SerialComponent::~SerialComponent() { release(); }
bool SerialComponent::portOpen() const { return handle_ != nullptr; }
void SerialComponent::release() noexcept { handle_ = nullptr; }

void SerialComponent::setCommPort(std::int16_t port)
{
    if (port < 1) throw commError(CommFault::InvalidPortNumber, port, {});
    commPort_ = port;
}

void SerialComponent::setPortOpen(bool open)
{
    if (open) throw commError(CommFault::OpenFailed, commPort_, "COM" + std::to_string(commPort_), "not built yet");
    release();
}

void SerialComponent::setDTREnable(bool enable) { dtrEnable_ = enable; }

} // namespace platform
