// SPDX-License-Identifier: MIT
// Holds the lock-file reading against the reference reading: on any bytes a
// local user may leave in a lock file, both name the same pid and program,
// or none.

#include "platform/linux/lock_file.h"
#include "reference_lock_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr long kPidMax = 32768; // the kernel's default
    const std::string content(reinterpret_cast<const char*>(data), size);
    const reference::LockReading expected = reference::readLock(content, kPidMax);
    const platform::LockFileContent read = platform::readLockFile(content, kPidMax);
    if (read.pid != expected.pid || read.program != expected.program) {
        std::fprintf(stderr, "readings differ on %zu bytes: program pid %ld \"%s\", reference pid %ld \"%s\"\n", size,
                     read.pid.value_or(0), read.program.c_str(), expected.pid.value_or(0), expected.program.c_str());
        std::abort();
    }
    return 0;
}
