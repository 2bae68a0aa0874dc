// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

namespace console {

// Reads the port number from the list's text:
//  - blanks, tabs and line feeds are ignored wherever they stand ("1 5" is 15);
//  - then an optional sign and decimal digits with at most one point (".6" is
//    0.6); reading stops at the first character that cannot continue the
//    number ("7, x" is 7); no exponent and no radix prefix ("1e3" is 1, "&H10" 0);
//  - a text that does not begin with a number reads as 0 ("Comm Port", "");
//  - the value, as a double, is rounded half to even (2.5 is 2, 3.5 is 4);
//  - a result outside -32768..32767 throws UntrappedError (Overflow).
// Linear in the length of the text, whatever it holds.
std::int16_t readPortNumber(std::string_view text);

} // namespace console
