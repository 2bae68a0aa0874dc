#pragma once

#include "platform/common/hosted_component.h"
#include "platform/common/port_resolver.h"

#include <QSerialPort>

#include <cstdint>
#include <string>

namespace platform {

// The component's stored settings. The program never changes them.
struct CommSettings {
    qint32 baudRate = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;
    qint64 inBufferSize = 1024;
    qint64 outBufferSize = 512; // kept for completeness: nothing is ever sent
    char parityReplace = '?';   // likewise: nothing is ever read
    // Lowered right after each open: a line that keys a transmitter or resets
    // a board must not be left asserted.
    bool rtsEnable = false;
};

// The serial communications component hosted on the window as MSComm1, on
// QSerialPort. Holds the port number, the open state and the DTR level.
// Refused writes throw console::UntrappedError (see comm_errors.h).
class SerialComponent : public QObject, public HostedComponent {
public:
    explicit SerialComponent(const PortResolver& resolver, QObject* parent = nullptr);
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
    void applyLinesAfterOpen();
    [[noreturn]] void throwOpenFailure(const std::string& device);
    void onPortError(QSerialPort::SerialPortError error);
    [[noreturn]] void throwDeviceGone();
    bool deviceNodeGone() const;

    const PortResolver& resolver_;
    CommSettings settings_;
    std::int16_t commPort_ = 1;
    bool dtrEnable_ = false;
    std::string device_; // of the open port
    std::string lostReason_; // why the open port's device went away, if it did
    QSerialPort port_;
};

} // namespace platform
