// SPDX-License-Identifier: MIT
// Who holds a device: the lock files other serial programs leave, in every
// form they write, and the /proc scan when the system fails it midway.

#include "injected_calls.h"
#include "platform/linux/lock_file.h"
#include "platform/linux/port_access.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

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

// A process that ends during the scan makes a directory read fail: the scan
// carries on or stops, never throws (the user would see an internal error).
TEST(OpenHolder, AReadThatFailsMidScanIsNoError)
{
    PtyPair pty;
    for (const int failing : {1, 2, 3, 10, 40, 200}) {
        injected.readdirFailsIn = failing;
        EXPECT_NO_THROW(platform::openHolder(pty.slavePath())) << "read " << failing << " failed";
        injected.readdirFailsIn = 0;
    }
}

} // namespace
