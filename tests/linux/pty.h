// SPDX-License-Identifier: MIT
#pragma once

// A pseudo-terminal pair: the test holds the master, the component under
// test opens the slave by its path, as port 1. Pseudo-terminals have no
// modem lines.

#include "console/host.h"
#include "map_resolver.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <fstream>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <utility>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = ::ptsname(master_);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    // The lock files other serial programs look for, written out here, not
    // asked of the code under test: Qt's is named after the path below /dev
    // ('/' made '_'), minicom's and picocom's after the base name.
    std::string qtLockFile() const { return "/var/lock/LCK..pts_" + number(); }
    std::string uucpLockFile() const { return "/var/lock/LCK.." + number(); }
    // Whether either names `pid` on its first line, as minicom and picocom read it.
    bool locksName(long pid) const { return firstNumber(qtLockFile()) == pid || firstNumber(uucpLockFile()) == pid; }
    static long firstNumber(const std::string& file) { long n = 0; return std::ifstream(file) >> n ? n : 0; }

    // Whether the whole of `text` matches `pattern`, in which "{pty}" stands
    // for the slave's path, "{lock}" for its Qt lock file and '*' for any run
    // of characters.
    bool matches(const std::string& text, std::string pattern) const
    {
        using Key = std::pair<std::string, std::string>;
        for (const auto& [key, value] : {Key {"{pty}", slavePath_}, Key {"{lock}", qtLockFile()}})
            for (auto at = pattern.find(key); at != std::string::npos; at = pattern.find(key, at + value.size()))
                pattern.replace(at, key.size(), value);
        std::string glob; // for fnmatch(3), with '?', '[' and '\\' taken as they stand
        for (const char c : pattern) {
            if (c == '?' || c == '[' || c == '\\') glob += '\\';
            glob += c;
        }
        return ::fnmatch(glob.c_str(), text.c_str(), 0) == 0;
    }
    // The master answers termios requests with the slave's termios.
    int masterFd() const { return master_; }
    void closeMaster()
    {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    std::string number() const { return slavePath_.substr(slavePath_.rfind('/') + 1); }

    int master_ = -1;
    std::string slavePath_;
};

// The slave as port 1 of the component's resolver.
struct PtyRig {
    PtyPair pty;
    MapResolver resolver;
    PtyRig() { resolver.devices[1] = pty.slavePath(); }
};

// Start on port 1, as the window's Start makes it.
inline void start(console::SerialComponent& comm) { comm.setCommPort(1); comm.setPortOpen(true); }
