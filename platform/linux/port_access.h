// SPDX-License-Identifier: MIT
#pragma once

// Who holds a serial device, and who may open it. Opens no device.

#include <optional>
#include <string>
#include <sys/types.h>

namespace platform {

struct PortHolder {
    long pid = 0;         // 0 where nothing names a process
    std::string program;  // empty where the system does not tell
    std::string user;     // the process's user where it is not ours
};

// A process other than this one that has the device open, found by device
// number in /proc/PID/fd (a second node for the same device, in a chroot or
// a container, hides nothing). Only processes the user may look into are
// seen: all of them as root, otherwise the user's own.
std::optional<PortHolder> openHolder(const std::string& devicePath);

// A process that holds a lock on the device node itself (flock(2), as
// picocom, tio and pyserial's exclusive open take; or fcntl(2)), read from
// /proc/locks, which every user may read, by the node's filesystem and
// inode. So another user's holder is seen, where /proc/PID/fd is closed.
std::optional<PortHolder> lockHolder(const std::string& devicePath);

// The live process `pid`: its program and, where not ours, its user.
PortHolder processHolder(long pid);

// Whether any of the process's user ids (real, effective, saved, file
// system) is `uid`.
bool processHasUid(long pid, uid_t uid);

// The base name of the program `pid` runs, from /proc/PID/exe: readable for
// our own processes, or any as root; else empty.
std::string executableName(long pid);

// A user's name, or "uid N" where the system has none.
std::string userName(uid_t uid);

// "minicom (pid 4242)", "screen (pid 77, user alice)", or "another program".
std::string describeHolder(const std::optional<PortHolder>& holder);

// Whether the device's mode bits deny the calling user read and write.
bool accessDenied(const std::string& devicePath);

// How to get access on this system, e.g. by joining the device's group.
std::string accessAdvice(const std::string& devicePath);

} // namespace platform
