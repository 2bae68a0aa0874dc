// SPDX-License-Identifier: MIT
#pragma once

// Who may use a serial device: the lock files other serial programs honour,
// who holds the device, and how to get access. Opens no device.

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLockFile;

namespace platform {

struct LockHolder {
    long pid;
    std::string program; // empty where the system does not tell
};

// The live process named by one of the device's lock files: the LCK..name
// that QSerialPort programs keep (Qt's QLockFile) or the UUCP one of minicom
// and picocom, in any of the directories such programs use.
std::optional<LockHolder> liveLockHolder(const std::string& devicePath);

// Another live process that has the device open (an exclusive open leaves no
// lock file behind), where /proc lets us see it.
std::optional<LockHolder> openHolder(const std::string& devicePath);

// "minicom (pid 4242)", or "another program" where nobody is named.
std::string describeHolder(const std::optional<LockHolder>& holder);

// Whether the calling user lacks read/write access to the device.
bool accessDenied(const std::string& devicePath);

// How to get access on this system, e.g. by joining the device's group.
std::string accessAdvice(const std::string& devicePath);

// The lock file a QSerialPort program takes for the device: LCK..name in the
// first readable directory of Qt's list that holds one already or is
// writable. Empty where no directory qualifies.
std::string qtLockPath(const std::string& devicePath);

// The UUCP lock of minicom and picocom: /var/lock/LCK..<base name>.
std::string uucpLockPath(const std::string& devicePath);

// The device's lock files, held while this object lives. QSerialPort
// programs and minicom/picocom refuse the device while we hold them, and we
// refuse it while they hold theirs; a lock whose process is gone is taken over.
class PortLock {
public:
    enum class Outcome { Taken, Held, NoLockDirectory };

    PortLock();
    ~PortLock(); // releases
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    // On Held, holder() names the process where the lock files tell.
    Outcome take(const std::string& devicePath);
    void release() noexcept;
    const std::optional<LockHolder>& holder() const { return holder_; }
    const std::string& failure() const { return failure_; } // on NoLockDirectory

private:
    std::vector<std::unique_ptr<QLockFile>> held_;
    std::optional<LockHolder> holder_;
    std::string failure_;
};

} // namespace platform
