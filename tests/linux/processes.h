// SPDX-License-Identifier: MIT
#pragma once

// Other processes for a case: one that lives as long as the case, one that
// has ended; and the guard of the cases that need root.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <csignal>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Cases that write lock files as another user's, or turn into another user.
// CTest shows them as not run where they skip (SKIP_REGULAR_EXPRESSION).
#define SKIP_UNLESS_ROOT()                                                                                   \
    if (::geteuid() != 0) GTEST_SKIP() << "needs root: it plays other users' programs and lock files"

inline std::string processName(pid_t pid)
{
    std::string name;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
    return name;
}

// The program `pid` runs, as a lock file names it: its executable's base
// name, where this process may read it, else its name in /proc.
inline std::string programName(pid_t pid)
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return error ? processName(pid) : exe.filename().string();
}

// A process running `body`, then waiting to be killed at the case's end.
// Where `name` is given, the constructor returns once /proc calls it that.
class OtherProcess {
public:
    explicit OtherProcess(const std::function<void()>& body, const std::string& name = {})
    {
        pid_ = ::fork();
        if (pid_ == 0) {
            body();
            for (;;) ::pause();
        }
        for (int i = 0; i < 400 && !name.empty() && processName(pid_) != name; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~OtherProcess()
    {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

// A pid whose process has ended (and been reaped).
inline pid_t endedPid()
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}
