#pragma once

// Why an open of a serial device was refused: who holds it, or how to get
// access. Reads lock files, /proc and the device's owner; opens no device.

#include <optional>
#include <string>

namespace platform {

struct LockHolder {
    long pid;
    std::string program; // empty where the system does not tell
};

// The live process named by the device's lock file (the UUCP-style
// LCK..name that Qt and other serial programs create), if there is one.
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

} // namespace platform
