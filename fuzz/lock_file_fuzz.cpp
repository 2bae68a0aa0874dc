// SPDX-License-Identifier: MIT
// Holds the lock-file reading against the reference reading: on any bytes a
// local user may leave in a lock file, both name the same pid and program,
// or none.

#include "platform/linux/lock_file.h"
#include "reference_lock_file.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string content(reinterpret_cast<const char*>(data), size);
    // The kernel's default highest pid, its ceiling, and none at all (so that
    // any number the form allows shows, however large).
    for (const long pidMax : {32768L, 4194304L, LONG_MAX}) {
        const reference::LockReading expected = reference::readLock(content, pidMax);
        const platform::LockFileContent read = platform::readLockFile(content, pidMax);
        if (read.pid != expected.pid || read.program != expected.program) {
            std::fprintf(stderr,
                         "readings differ on %zu bytes, pid_max %ld: "
                         "program pid %ld \"%s\", reference pid %ld \"%s\"\n",
                         size, pidMax, read.pid.value_or(0), read.program.c_str(), expected.pid.value_or(0),
                         expected.program.c_str());
            std::abort();
        }
    }
    return 0;
}
