// SPDX-License-Identifier: MIT
#include "tty_port.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {
namespace {

struct DataBitsRow {
    int bits;
    tcflag_t flag;
};
constexpr DataBitsRow kDataBits[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};

} // namespace

termios commTermios(const CommSettings& settings)
{
    termios t {}; // all clear: no input or output processing, no echo, no signals
    for (const auto& row : kDataBits)
        if (row.bits == settings.dataBits) t.c_cflag |= row.flag;
    if (settings.parity != 'N') t.c_cflag |= PARENB | (settings.parity == 'O' ? PARODD : 0);
    if (settings.stopBits == 2) t.c_cflag |= CSTOPB;
    if (settings.flowControl) t.c_cflag |= CRTSCTS;
    // CLOCAL: no waiting for carrier. HUPCL: the kernel drops DTR and RTS at
    // the last close, however the program ends.
    t.c_cflag |= CREAD | CLOCAL | HUPCL;
    ::cfsetispeed(&t, B0);
    ::cfsetospeed(&t, B0);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return t;
}

TtyPort::TtyPort(std::function<void(const std::string&)> onHangUp, QObject* parent)
    : QObject(parent), onHangUp_(std::move(onHangUp))
{
}

TtyPort::~TtyPort() { close(); }

TtyPort::OpenResult TtyPort::open(const std::string& device, const termios& settings)
{
    close();
    const char* path = device.c_str();
    static constexpr int kBothLines = TIOCM_DTR | TIOCM_RTS;
    OpenResult result;
    // These two calls stay side by side: the kernel raises DTR and RTS inside
    // open() (unless the saved speed is B0), and every call between would
    // lengthen that pulse on the wire.
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.openError = errno;
        return result;
    }
    if (::ioctl(fd, TIOCMBIC, &kBothLines) != 0) result.linesError = errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Its settings are its holder's: not a byte of them is ours to put back.
        result.lockError = errno;
        ::close(fd);
        return result;
    }
    fd_ = fd;
    if (::tcgetattr(fd, &found_) != 0 || ::ioctl(fd, TIOCEXCL) != 0 || ::tcsetattr(fd, TCSANOW, &settings) != 0) {
        result.setupError = errno;
        close();
        return result;
    }
    // A device that goes away hangs the descriptor up, which polls readable:
    // that is how an unplug is noticed without a busy loop.
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TtyPort::onReadable);
    return result;
}

int TtyPort::setDtr(bool on)
{
    static constexpr int kDtr = TIOCM_DTR;
    if (fd_ < 0) return EBADF;
    return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &kDtr) == 0 ? 0 : errno;
}

void TtyPort::close() noexcept
{
    delete notifier_;
    notifier_ = nullptr;
    if (fd_ < 0) return;
    termios leave = found_;
    ::cfsetispeed(&leave, B0);
    ::cfsetospeed(&leave, B0);
    leave.c_cflag |= HUPCL;
    ::tcsetattr(fd_, TCSANOW, &leave); // fails on a hung-up device: nothing to keep then
    // TIOCEXCL marks the tty, not our descriptor, and a tty the kernel keeps
    // after the last close keeps it: a pseudo-terminal's slave lives while
    // its master is open (tty_io.c), and every later open but root's would
    // get EBUSY.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

void TtyPort::onReadable()
{
    pollfd state {fd_, POLLIN, 0};
    std::string reason;
    if (::poll(&state, 1, 0) == 1 && (state.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        reason = "the system hung it up";
    } else {
        // Nothing is ever read: what arrives on the line is dropped.
        char discard[256];
        if (::read(fd_, discard, sizeof discard) >= 0 || errno == EAGAIN || errno == EINTR) return;
        reason = std::strerror(errno);
    }
    close();
    onHangUp_(reason);
}

} // namespace platform
