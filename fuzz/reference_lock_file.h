// SPDX-License-Identifier: MIT
#pragma once

// A second reading of a lock file, written from the rules alone with regular
// expressions rather than by hand, so the fuzzer can hold the real reading
// against it.

#include <cstdint>
#include <cstring>
#include <optional>
#include <regex>
#include <string>

namespace reference {

struct LockReading {
    std::optional<long> pid;
    std::string program;
};

inline LockReading readLock(const std::string& content, long pidMax)
{
    // '[\s\S]': any byte, where '.' would stop at CR.
    static const std::regex decimal("[ \t\r]*([0-9]{1,10})(?:[ \t\r]+([^ \t\r]+)[\\s\\S]*)?[ \t\r]*");
    static const std::regex line("[ \t\r]*(.*?)[ \t\r]*"); // '.': anything but CR and LF
    static const std::regex printable("[^\\x00-\\x1f\\x7f]*");
    LockReading reading;
    std::smatch match;
    // Rule: lines end at '\n'; the first holds the pid: 1 to 10 decimal
    // digits, blanks (space, tab, CR) around them, and maybe more words
    // after blanks (minicom's program and user).
    const std::string first = content.substr(0, content.find('\n'));
    long long pid = 0;
    std::string program;
    bool programOnFirstLine = false;
    if (std::regex_match(first, match, decimal)) {
        pid = std::stoll(match[1].str());
        programOnFirstLine = match[2].matched;
        program = match[2].str();
    } else if (content.size() == 4) { // Rule: else four bytes are a pid in binary, the machine's order.
        std::int32_t binary;
        std::memcpy(&binary, content.data(), 4);
        pid = binary;
    }
    // Rule: a pid counts only from 1 to the system's highest.
    if (pid >= 1 && pid <= pidMax) reading.pid = static_cast<long>(pid);
    // Rule: the program is the word after the pid, else the second line,
    // blanks around it dropped; none where it holds a control character.
    if (const auto end = content.find('\n'); !programOnFirstLine && end != std::string::npos) {
        const std::string rest = content.substr(end + 1);
        const std::string second = rest.substr(0, rest.find('\n'));
        if (std::regex_match(second, match, line)) program = match[1].str();
    }
    if (std::regex_match(program, printable)) reading.program = program;
    return reading;
}

} // namespace reference
