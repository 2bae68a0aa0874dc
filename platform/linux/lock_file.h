// SPDX-License-Identifier: MIT
#pragma once

// What a serial device's lock file says, read from its bytes alone. Any local
// user can write these files (the lock directories are mode 1777), so the
// reading takes any bytes and believes only a well-formed pid.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct LockFileContent {
    std::optional<long> pid; // the process it names
    std::string program;     // the program it names, where printable; else empty
};

// The most of a lock file that is read: QLockFile's five lines fit many
// times over.
inline constexpr std::size_t kMaxLockFileSize = 256;

// The pid in whichever form its program wrote it: ASCII decimal, padded to
// ten columns or not, with a newline or not (UUCP; QLockFile adds the
// program and the host on the lines after; minicom 2.7 and older write
// "%10ld minicom %.20s\n", the program and the user after the pid on its
// line), or the old 4-byte binary pid. The program is the word after the pid
// on the first line, else the second line. Anything else names no process;
// nor does a number outside 1..pidMax (4294967295 would become -1, which
// kill() takes as every process).
LockFileContent readLockFile(std::string_view content, long pidMax);

} // namespace platform
