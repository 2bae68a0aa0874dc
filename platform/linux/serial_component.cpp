// SPDX-License-Identifier: MIT
#include "serial_component.h"

#include "platform/common/comm_errors.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace platform {
namespace {

// The errors of a line write that mean the device has no modem-control lines.
bool noModemLines(int error) { return error == ENOTTY || error == EINVAL; }

} // namespace

SerialComponent::SerialComponent(const PortResolver& resolver)
    : SerialComponentBase(resolver), port_([this](const std::string& reason) {
          // Let the lock go at once too; the next command reports the loss.
          lostReason_ = reason;
          lock_.release();
      })
{
}

SerialComponent::~SerialComponent() { release(); }

void SerialComponent::release() noexcept
{
    port_.close();
    lock_.release();
    device_.clear();
    lostReason_.clear();
}

bool SerialComponent::deviceNodeGone() const { return !device_.empty() && ::access(device_.c_str(), F_OK) != 0; }

void SerialComponent::throwDeviceGone(const std::string& reason)
{
    const std::string why = !lostReason_.empty() ? lostReason_ : !reason.empty() ? reason : "the device node is gone";
    const std::string device = device_;
    release();
    throw commError(CommFault::DeviceGone, commPort(), device, why);
}

void SerialComponent::checkUsable()
{
    if (!lostReason_.empty()) throwDeviceGone();
}

void SerialComponent::writeDtr(bool enable)
{
    const int error = port_.setDtr(enable);
    if (error == 0) return;
    // A hung-up descriptor answers EIO to every line write.
    if (error == EIO || deviceNodeGone()) throwDeviceGone(std::strerror(error));
    if (noModemLines(error)) throw commError(CommFault::NoDtrLine, commPort(), device_);
    throw commError(CommFault::LineFailed, commPort(), device_, std::strerror(error));
}

void SerialComponent::openPort()
{
    // Everything is decided and ready before open(): the device, whether
    // anything else uses it, the lock, the termios. The termios belongs to
    // the device, not to one open file, so an open over another user of the
    // port would rewrite that user's session; a refusal touches nothing.
    const auto device = resolver_.deviceFor(commPort());
    if (!device) throw commError(CommFault::NoDevice, commPort(), {}, describePresentPorts(resolver_));
    if (::access(device->c_str(), F_OK) != 0)
        throw commError(CommFault::DeviceMissing, commPort(), *device, describePresentPorts(resolver_));
    if (resolver_.isSystemConsole(*device)) throw commError(CommFault::SystemConsole, commPort(), *device);
    // picocom, tio and pyserial lock the device itself, whoever runs them;
    // programs that keep no lock (screen, cat) are seen in /proc where we may
    // look: our own user's, or anyone's as root. A getty's terminal is group
    // tty, so a normal user meets it as EACCES at open (8011).
    if (auto holder = lockHolder(*device); holder || (holder = openHolder(*device)))
        throw commError(CommFault::Busy, commPort(), *device, describeHolder(holder));
    switch (lock_.take(*device)) {
    case PortLock::Outcome::Taken: break;
    case PortLock::Outcome::Held: throw commError(CommFault::Busy, commPort(), *device, describeHolder(lock_.holder()));
    case PortLock::Outcome::Locked: throw commError(CommFault::Locked, commPort(), *device, lock_.detail());
    case PortLock::Outcome::StaleForeign: throw commError(CommFault::StaleLock, commPort(), *device, lock_.detail());
    case PortLock::Outcome::Failed: throw commError(CommFault::OpenFailed, commPort(), *device, lock_.detail());
    }
    const termios settings = commTermios(settings_);

    const TtyPort::OpenResult result = port_.open(*device, settings);
    if (result.openError) throwOpenFailure(*device, result.openError);
    // Locked between our look and our open: theirs, though our open has
    // lowered its lines already.
    if (result.lockError) {
        release();
        if (result.lockError == EWOULDBLOCK)
            throw commError(CommFault::Busy, commPort(), *device, describeHolder(lockHolder(*device)));
        throw commError(CommFault::OpenFailed, commPort(), *device,
                        std::string("locking it failed: ") + std::strerror(result.lockError));
    }
    // A device without modem-control lines (a pseudo-terminal) still opens:
    // the next DTR write says it has no DTR line.
    if (result.linesError && !noModemLines(result.linesError)) {
        release();
        throw commError(CommFault::OpenFailed, commPort(), *device,
                        std::string("setting its control lines failed: ") + std::strerror(result.linesError));
    }
    if (result.setupError) {
        release();
        throw commError(CommFault::OpenFailed, commPort(), *device,
                        std::string("setting it up failed: ") + std::strerror(result.setupError));
    }
    device_ = *device;
    if (!dtrEnable()) return;
    // A DTR level stored while closed is applied once the lines are down.
    if (const int error = port_.setDtr(true); error && !noModemLines(error)) {
        release();
        throw commError(CommFault::OpenFailed, commPort(), *device,
                        std::string("setting its control lines failed: ") + std::strerror(error));
    }
}

void SerialComponent::throwOpenFailure(const std::string& device, int error)
{
    lock_.release();
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        throw commError(CommFault::DeviceMissing, commPort(), device, describePresentPorts(resolver_));
    case EBUSY: // an exclusive open (TIOCEXCL) by a program that keeps no lock file
        throw commError(CommFault::Busy, commPort(), device, describeHolder(openHolder(device)));
    case EACCES:
    case EPERM:
        if (accessDenied(device)) throw commError(CommFault::PermissionDenied, commPort(), device, accessAdvice(device));
        // Not the file's permissions, and a tty never answers EACCES for
        // another opener: a security module or a device cgroup refused it.
        throw commError(CommFault::OpenFailed, commPort(), device,
                        std::string(std::strerror(error))
                            + ", although the device's permissions allow it: a security policy (AppArmor, SELinux) "
                              "or a sandbox (snap, Flatpak) confines this program");
    default:
        throw commError(CommFault::OpenFailed, commPort(), device, std::strerror(error));
    }
}

} // namespace platform
