// SPDX-License-Identifier: MIT
// Who holds a device: the lock files other serial programs leave, in every
// form they write, and the /proc scan when the system fails it midway.

#include "platform/linux/port_access.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// While at or above 0, counts readdir calls down; the call that finds it at
// 0 fails as a directory read fails when its process has just ended.
std::atomic<int> readdirFailsIn {-1};

} // namespace

// Every readdir of this test program goes through here (the file system
// library's too), so a test can make one of them fail.
extern "C" struct dirent* readdir(DIR* dir)
{
    using Readdir = struct dirent* (*)(DIR*);
    static const auto real = reinterpret_cast<Readdir>(::dlsym(RTLD_NEXT, "readdir"));
    int left = readdirFailsIn.load();
    while (left >= 0 && !readdirFailsIn.compare_exchange_weak(left, left - 1)) {
    }
    if (left == 0) {
        errno = ENOENT;
        return nullptr;
    }
    return real(dir);
}

namespace {

// A process that lives for the length of a case, and one that has ended.
struct Sleeper {
    pid_t pid = ::fork();
    Sleeper()
    {
        if (pid == 0) {
            ::execl("/bin/sleep", "sleep", "60", nullptr);
            ::_exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // named "sleep" from now on
    }
    ~Sleeper()
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
};

pid_t endedPid()
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

std::string binaryPid(pid_t pid) { return std::string(reinterpret_cast<const char*>(&pid), sizeof pid); }

struct LockForm {
    const char* name;
    std::string (*content)(pid_t live, pid_t ended);
    bool names; // whether the lock names the live process as the holder
};

TEST(LockFiles, EachFormThatProgramsWriteNamesItsLiveHolder)
{
    const std::string lockDir = "/var/lock";
    if (::access(lockDir.c_str(), W_OK) != 0) GTEST_SKIP() << lockDir << " is not writable here";
    const LockForm forms[] = {
        {"ASCII, plain", [](pid_t p, pid_t) { return std::to_string(p); }, true},
        {"ASCII with a newline", [](pid_t p, pid_t) { return std::to_string(p) + "\n"; }, true},
        {"UUCP: ten columns and a newline",
         [](pid_t p, pid_t) {
             char line[16];
             std::snprintf(line, sizeof line, "%10d\n", p);
             return std::string(line);
         },
         true},
        {"QLockFile: pid, program, host", [](pid_t p, pid_t) { return std::to_string(p) + "\nsleep\nhost\n"; }, true},
        {"the old binary pid", [](pid_t p, pid_t) { return binaryPid(p); }, true},
        {"a process that has ended", [](pid_t, pid_t e) { return std::to_string(e) + "\n"; }, false},
        {"4294967295: no pid (not -1, which is every process)", [](pid_t, pid_t) { return std::string("4294967295\n"); },
         false},
        {"-1", [](pid_t, pid_t) { return std::string("-1\n"); }, false},
        {"0", [](pid_t, pid_t) { return std::string("0\n"); }, false},
        {"above the system's highest pid", [](pid_t, pid_t) { return std::string("99999999\n"); }, false},
        {"digits then text", [](pid_t p, pid_t) { return std::to_string(p) + "abc\n"; }, false},
        {"empty", [](pid_t, pid_t) { return std::string(); }, false},
        {"text", [](pid_t, pid_t) { return std::string("locked by minicom\n"); }, false},
    };
    const Sleeper live;
    const pid_t ended = endedPid();
    for (const auto& form : forms) {
        PtyPair pty;
        const std::string device = pty.slavePath();
        const std::string lock = lockDir + "/LCK.." + device.substr(device.rfind('/') + 1);
        std::ofstream(lock, std::ios::binary) << form.content(live.pid, ended);
        const auto holder = platform::liveLockHolder(device);
        ::unlink(lock.c_str());
        EXPECT_EQ(holder.has_value(), form.names) << form.name;
        if (holder && form.names) {
            EXPECT_EQ(holder->pid, live.pid) << form.name;
            EXPECT_EQ(holder->program, "sleep") << form.name;
        }
    }
}

// A process that ends during the scan makes a directory read fail; the scan
// must carry on or stop, never throw (the user would see an internal error
// instead of "busy").
TEST(OpenHolder, AReadThatFailsMidScanIsNoError)
{
    PtyPair pty;
    for (const int failing : {1, 2, 3, 10, 40, 200}) {
        readdirFailsIn = failing;
        EXPECT_NO_THROW(platform::openHolder(pty.slavePath())) << "read " << failing << " failed";
        readdirFailsIn = -1;
    }
}

} // namespace
