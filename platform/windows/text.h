// SPDX-License-Identifier: MIT
#pragma once

// The program keeps its texts in UTF-8, as the console does; Win32 takes
// UTF-16. These convert at the boundary.

#include <string>
#include <string_view>

namespace platform {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The system's own message for a GetLastError code, in UTF-8, without the
// trailing line break: "The system cannot find the file specified."
// "error 1234" where the system has no text for it.
std::string systemMessage(unsigned long error);

} // namespace platform
