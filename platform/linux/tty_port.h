// SPDX-License-Identifier: MIT
#pragma once

// A serial device on its file descriptor: open with DTR and RTS brought down
// by the very next system call, DTR writes, notice of a hang-up, close.
// Written on termios by hand rather than on QSerialPort because Qt runs its
// set-up (TIOCEXCL and some ten termios calls) between open() and the first
// line write, and DTR stays high at open for as long as that takes.

#include <QObject>

#include <functional>
#include <string>
#include <termios.h>

class QSocketNotifier;

namespace platform {

// The component's stored settings. The program never changes them.
struct CommSettings {
    int dataBits = 8;
    char parity = 'N';
    int stopBits = 1;
    bool flowControl = false;
};

// The termios the port is given: raw, the settings' frame, and speed B0.
// B0 is what keeps DTR and RTS down across opens: the kernel raises both at
// open only when the saved speed is not zero, and any later change from B0 to
// a speed raises them again. The 8250 runs at 9600 baud under B0.
termios commTermios(const CommSettings& settings);

class TtyPort : public QObject {
public:
    struct OpenResult {
        int openError = 0;  // errno of open(); the rest did not run
        int linesError = 0; // errno of lowering DTR and RTS (ENOTTY: no modem lines)
        int lockError = 0;  // errno of flock() on the device (EWOULDBLOCK: another program has it)
        int setupError = 0; // errno of TIOCEXCL or tcsetattr
    };

    // onHangUp runs on the event loop when the device goes away while open
    // (unplugged); the port is closed by then.
    explicit TtyPort(std::function<void(const std::string& reason)> onHangUp, QObject* parent = nullptr);
    ~TtyPort() override; // closes

    // Nothing but open() itself is left between the caller's preparations
    // and the write that lowers the lines. The device is then held as
    // Windows holds a port, as far as Linux allows: flock() on it, which
    // picocom, tio and pyserial honour whoever runs them, and TIOCEXCL,
    // which fails every other open but root's. Closed again on any error.
    OpenResult open(const std::string& device, const termios& settings);
    int setDtr(bool on); // 0 or errno
    // Puts back the termios found at open, but with speed B0 (so the next
    // open leaves the lines alone) and HUPCL (so a close drops them), then
    // closes. A program that sets only its speed afterwards finds the port as
    // it was otherwise.
    void close() noexcept;
    bool isOpen() const { return fd_ >= 0; }

private:
    void onReadable();

    std::function<void(const std::string&)> onHangUp_;
    int fd_ = -1;
    termios found_ {}; // at open
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace platform
