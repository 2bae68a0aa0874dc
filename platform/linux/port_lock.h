// SPDX-License-Identifier: MIT
#pragma once

// The device's lock files, as other serial programs keep them: the LCK..name
// of QSerialPort programs (Qt's QLockFile) and the UUCP one of minicom
// (Debian's picocom locks the device itself instead). A device is refused
// while a live process holds either; ours are held while the port is open,
// so those programs refuse it in turn.

#include "port_access.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct LockJudgement; // what a lock file says now

class PortLock {
public:
    enum class Outcome {
        Taken,
        Held,         // holder() names the live process the lock names
        Locked,       // a lock that may be live; detail() says what is known and what the user can do
        StaleForeign, // a dead process's lock we may not remove; detail() says whose and how
        Failed,       // no lock could be made; detail() says why
    };

    PortLock() = default;
    ~PortLock(); // releases
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    Outcome take(const std::string& devicePath);
    void release() noexcept;
    const std::optional<PortHolder>& holder() const { return holder_; }
    const std::string& detail() const { return detail_; }

private:
    struct Held {
        std::string path;
        int fd;
        dev_t dev;
        ino_t ino;
    };
    Outcome acquire(const std::string& path, bool required);
    // Locked, with what is known; or Held by the process the judgement names.
    Outcome refuse(std::string detail);
    Outcome refusal(const LockJudgement& judgement);

    std::vector<Held> held_;
    std::optional<PortHolder> holder_;
    std::string detail_;
};

} // namespace platform
