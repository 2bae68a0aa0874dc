// SPDX-License-Identifier: MIT
// Who holds a device: the lock files other serial programs leave, in every
// form they write, and the /proc scan when the system fails it midway.

#include "injected_calls.h"
#include "platform/linux/lock_file.h"
#include "platform/linux/port_access.h"
#include "processes.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <sys/prctl.h>
#include <tuple>

namespace {

std::string binaryPid(std::int32_t pid) { return std::string(reinterpret_cast<const char*>(&pid), sizeof pid); }

struct LockForm {
    const char* name;
    std::string content;
    std::optional<long> pid; // the process it names
    std::string program;
};

TEST(LockFiles, EachFormThatProgramsWriteNamesItsProcess)
{
    constexpr long kPidMax = 4194304;
    const LockForm forms[] = {
        {"ASCII, plain (four digits: ASCII, not the binary form)", "4242", 4242, ""},
        {"ASCII with a newline", "4242\n", 4242, ""},
        {"UUCP: ten columns and a newline", "      4242\n", 4242, ""},
        {"QLockFile: pid, program, host", "4242\nminicom\nhost\n", 4242, "minicom"},
        {"minicom 2.7: pid, program and user on one line", "      4242 minicom alice\n", 4242, "minicom"},
        {"the old binary pid", binaryPid(4242), 4242, ""},
        {"4294967295: no pid (not -1, which is every process)", "4294967295\n", std::nullopt, ""},
        {"-1", "-1\n", std::nullopt, ""},
        {"0", "0\n", std::nullopt, ""},
        {"above the system's highest pid", "4194305\n", std::nullopt, ""},
        {"digits then text", "4242abc\n", std::nullopt, ""},
        {"empty", "", std::nullopt, ""},
        {"text", "locked by minicom\n", std::nullopt, ""},
        {"a program name with control characters: not shown", "4242\nmini\x1b[2Jcom\n", 4242, ""},
    };
    for (const auto& form : forms) {
        const auto read = platform::readLockFile(form.content, kPidMax);
        EXPECT_EQ(read.pid, form.pid) << form.name;
        EXPECT_EQ(read.program, form.program) << form.name;
    }
}

// A process that ends during the scan makes the read of its /proc/PID/fd
// fail: the scan goes on to the holder after it. (A read of /proc itself
// that fails ends the scan with nothing found: nothing more can be listed.)
TEST(OpenHolder, AReadThatFailsMidScanEndsThatWalkOnly)
{
    PtyPair pty;
    const OtherProcess ending([] {});
    const auto holding = [&] {
        ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ::prctl(PR_SET_NAME, "pulse-holder");
    };
    auto holder = std::make_unique<OtherProcess>(holding, "pulse-holder");
    while (holder->pid() < ending.pid()) // pids wrapped: the holder must come later in /proc
        holder = std::make_unique<OtherProcess>(holding, "pulse-holder");
    const auto fds = [](pid_t pid) { return "/proc/" + std::to_string(pid) + "/fd"; };
    const std::tuple<std::string, int, std::optional<long>> rows[] = {
        // Reads 1 to 3 of /proc/PID/fd are ".", ".." and fd 0.
        {fds(ending.pid()), 1, holder->pid()}, {fds(ending.pid()), 2, holder->pid()},
        {fds(ending.pid()), 3, holder->pid()}, {fds(holder->pid()), 1, std::nullopt},
        // /proc lists its own files before any process.
        {"/proc", 1, std::nullopt}, {"/proc", 10, std::nullopt}, {"/proc", 40, std::nullopt},
    };
    for (const auto& [directory, read, found] : rows) {
        injected.readdirPath = directory;
        injected.readdirFailsIn = read;
        const auto seen = platform::openHolder(pty.slavePath());
        EXPECT_EQ(injected.readdirFailsIn, 0) << directory << ": read " << read << " never came";
        EXPECT_EQ(seen ? std::optional<long>(seen->pid) : std::nullopt, found) << directory << ": read " << read;
        injected.readdirFailsIn = 0;
    }
}

} // namespace
