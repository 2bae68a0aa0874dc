// SPDX-License-Identifier: MIT
#include "lock_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace platform {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The line's bytes go into an error message: no control characters.
bool isPrintable(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f; });
}

} // namespace

LockFileContent readLockFile(std::string_view content, long pidMax)
{
    const auto firstEnd = content.find('\n');
    const std::string_view first = trimmed(content.substr(0, firstEnd));
    const auto pidEnd = std::min(first.find_first_of(kBlanks), first.size());
    const std::string_view digits = first.substr(0, pidEnd);
    const bool decimal = !digits.empty() && digits.size() <= 10 && std::all_of(digits.begin(), digits.end(), isDigit);
    long long pid = -1;
    if (decimal) {
        pid = 0;
        for (char c : digits) pid = pid * 10 + (c - '0');
    } else if (content.size() == sizeof(std::int32_t)) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        pid = binary;
    }
    LockFileContent result;
    if (pid >= 1 && pid <= pidMax) result.pid = static_cast<long>(pid);
    std::string_view program;
    if (decimal && pidEnd < first.size()) { // minicom's "pid program user"
        const std::string_view rest = trimmed(first.substr(pidEnd));
        program = rest.substr(0, rest.find_first_of(kBlanks));
    } else if (firstEnd != std::string_view::npos) {
        const std::string_view rest = content.substr(firstEnd + 1);
        program = trimmed(rest.substr(0, rest.find('\n')));
    }
    if (isPrintable(program)) result.program = std::string(program);
    return result;
}

} // namespace platform
