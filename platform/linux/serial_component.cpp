#include "serial_component.h"

#include "platform/common/comm_errors.h"
#include "port_access.h"

#include <QFileInfo>

namespace platform {

SerialComponent::SerialComponent(const PortResolver& resolver, QObject* parent)
    : QObject(parent), resolver_(resolver)
{
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialComponent::onPortError);
}

SerialComponent::~SerialComponent() { release(); }

void SerialComponent::release() noexcept
{
    try {
        if (port_.isOpen()) port_.close();
    } catch (...) {
    }
    device_.clear();
    lostReason_.clear();
}

void SerialComponent::onPortError(QSerialPort::SerialPortError error)
{
    // A device unplugged while open makes the port readable forever, each
    // read failing: Qt reports that on every turn of the event loop. Let the
    // port go at once (no busy loop, no lock left) and tell the next command.
    if (!port_.isOpen() || (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)) return;
    lostReason_ = port_.errorString().toStdString();
    port_.close();
}

bool SerialComponent::deviceNodeGone() const
{
    return !device_.empty() && !QFileInfo::exists(QString::fromStdString(device_));
}

void SerialComponent::throwDeviceGone()
{
    const std::string reason = lostReason_.empty() ? "the device node is gone" : lostReason_;
    const std::string device = device_;
    release();
    throw commError(CommFault::DeviceGone, commPort_, device, reason);
}

void SerialComponent::setCommPort(std::int16_t port)
{
    if (portOpen()) throw commError(CommFault::PortOpenNow, commPort_, device_);
    if (port < 1) throw commError(CommFault::InvalidPortNumber, port, {});
    commPort_ = port;
}

void SerialComponent::setPortOpen(bool open)
{
    if (open)
        this->open();
    else
        release();
}

void SerialComponent::setDTREnable(bool enable)
{
    dtrEnable_ = enable;
    if (!lostReason_.empty()) throwDeviceGone();
    if (!port_.isOpen()) return;
    port_.clearError();
    if (port_.setDataTerminalReady(enable)) return;
    if (!lostReason_.empty() || deviceNodeGone()) throwDeviceGone();
    if (port_.error() == QSerialPort::UnsupportedOperationError)
        throw commError(CommFault::NoDtrLine, commPort_, device_);
    throw commError(CommFault::LineFailed, commPort_, device_, port_.errorString().toStdString());
}

void SerialComponent::open()
{
    if (!lostReason_.empty()) throwDeviceGone();
    if (port_.isOpen()) throw commError(CommFault::AlreadyOpen, commPort_, device_);
    const auto device = resolver_.deviceFor(commPort_);
    if (!device) throw commError(CommFault::NoDevice, commPort_, {}, describePresentPorts(resolver_));

    port_.setPortName(QString::fromStdString(*device));
    port_.setBaudRate(settings_.baudRate);
    port_.setDataBits(settings_.dataBits);
    port_.setParity(settings_.parity);
    port_.setStopBits(settings_.stopBits);
    port_.setFlowControl(settings_.flowControl);
    port_.setReadBufferSize(settings_.inBufferSize);
    port_.clearError();
    if (!port_.open(QIODevice::ReadWrite)) throwOpenFailure(*device);
    device_ = *device;
    applyLinesAfterOpen();
}

void SerialComponent::applyLinesAfterOpen()
{
    // Opening a UART raises DTR and RTS; bring both to their stored levels at
    // once. A device without modem-control lines (a pseudo-terminal) still
    // opens: the next DTR write says it has no DTR line.
    const auto set = [this](bool ok) {
        if (ok || port_.error() == QSerialPort::UnsupportedOperationError) return;
        const std::string reason = port_.errorString().toStdString();
        const std::string device = device_;
        release();
        throw commError(CommFault::OpenFailed, commPort_, device, "setting its control lines failed: " + reason);
    };
    port_.clearError();
    set(port_.setRequestToSend(settings_.rtsEnable));
    port_.clearError();
    set(port_.setDataTerminalReady(dtrEnable_));
}

void SerialComponent::throwOpenFailure(const std::string& device)
{
    const QSerialPort::SerialPortError error = port_.error();
    const std::string reason = port_.errorString().toStdString();
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        throw commError(CommFault::DeviceMissing, commPort_, device, describePresentPorts(resolver_));
    case QSerialPort::PermissionError:
        // Qt reports a lock held by another program, an exclusive open and a
        // missing permission alike; tell them apart here.
        if (const auto holder = liveLockHolder(device))
            throw commError(CommFault::Busy, commPort_, device, describeHolder(holder));
        if (const auto holder = openHolder(device))
            throw commError(CommFault::Busy, commPort_, device, describeHolder(holder));
        if (accessDenied(device))
            throw commError(CommFault::PermissionDenied, commPort_, device, accessAdvice(device));
        if (reason.find("creating lock file") != std::string::npos)
            throw commError(CommFault::OpenFailed, commPort_, device,
                            "no lock directory is writable (" + reason + ")");
        throw commError(CommFault::Busy, commPort_, device, describeHolder(std::nullopt));
    default:
        throw commError(CommFault::OpenFailed, commPort_, device, reason);
    }
}

} // namespace platform
