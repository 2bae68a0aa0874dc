// SPDX-License-Identifier: MIT
#include "serial_component_base.h"

#include "comm_errors.h"

namespace platform {

void SerialComponentBase::setCommPort(std::int16_t port)
{
    if (portOpen()) throw commError(CommFault::PortOpenNow, commPort_, device_);
    if (port < 1) throw commError(CommFault::InvalidPortNumber, port, {});
    commPort_ = port;
}

void SerialComponentBase::setPortOpen(bool open)
{
    if (!open) return release();
    checkUsable();
    if (portOpen()) throw commError(CommFault::AlreadyOpen, commPort_, device_);
    openPort();
}

void SerialComponentBase::setDTREnable(bool enable)
{
    dtrEnable_ = enable;
    checkUsable();
    if (portOpen()) writeDtr(enable);
}

} // namespace platform
