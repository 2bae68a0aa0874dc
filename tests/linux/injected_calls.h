// SPDX-License-Identifier: MIT
#pragma once

// System calls a case can make fail, as the system fails them: this program's
// own open, tcsetattr, ioctl, flock and readdir call the C library's unless
// armed, and then fail (or run the hook) once. Zero is unarmed, so a call made
// before this file's globals are built passes too.

#include <atomic>
#include <functional>
#include <string>

struct InjectedCalls {
    std::string openPath;   // open() of exactly this path fails with openError
    int openError = 0;
    std::string watchPath;  // an open() of this path that succeeds sets watchedOpened
    bool watchedOpened = false;
    int tcsetattrError = 0; // the next tcsetattr() fails with this
    int setDtrError = 0;    // the next TIOCMBIS (raising DTR) fails with this
    std::function<void()> beforeFlock; // runs inside the next flock(), before it locks
    std::string flockPath;             // if set: the next flock() of a descriptor of this path only
    // Read readdirFailsIn (counted from 1) of the directory readdirPath fails,
    // as a read of /proc/PID/fd fails once PID has ended; 0: none.
    std::string readdirPath;
    std::atomic<int> readdirFailsIn {0};
};

extern InjectedCalls injected;
