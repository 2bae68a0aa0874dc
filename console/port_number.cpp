// SPDX-License-Identifier: MIT
#include "port_number.h"

#include "untrapped_error.h"

#include <charconv>
#include <cmath>
#include <string>

namespace console {
namespace {

bool isIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Walks the text with blanks, tabs and line feeds skipped.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) { skip(); }
    bool atEnd() const { return pos_ == text_.size(); }
    char peek() const { return text_[pos_]; }
    void advance() { ++pos_; skip(); }

private:
    void skip() { while (pos_ < text_.size() && isIgnored(text_[pos_])) ++pos_; }
    std::string_view text_;
    std::size_t pos_ = 0;
};

// More integer digits than this can only be an overflow (>= 100000).
constexpr std::size_t kMaxIntegerDigits = 5;
// Every halfway point between neighbouring doubles at or above 0.5 has at
// most 54 decimal places, so 60 places plus one sticky digit standing for
// the rest round to the same double as the whole fraction would.
constexpr std::size_t kKeptFractionDigits = 60;

std::string excerpt(std::string_view text)
{
    constexpr std::size_t kMax = 32;
    if (text.size() <= kMax) return std::string(text);
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut; // whole UTF-8 characters
    return std::string(text.substr(0, cut)) + "...";
}

[[noreturn]] void overflow(std::string_view text)
{
    throw UntrappedError(kOverflowError, "Overflow: \"" + excerpt(text)
                                             + "\" is not a port number from -32768 to 32767");
}

} // namespace

std::int16_t readPortNumber(std::string_view text)
{
    Cursor at(text);
    bool negative = false;
    if (!at.atEnd() && (at.peek() == '+' || at.peek() == '-')) {
        negative = at.peek() == '-';
        at.advance();
    }

    std::string integer;  // significant digits only, leading zeros dropped
    std::string fraction; // the first kept places, then a sticky '1' if more follow
    bool anyDigit = false;
    bool sawPoint = false;
    bool fractionTail = false;
    for (; !at.atEnd(); at.advance()) {
        const char c = at.peek();
        if (c == '.' && !sawPoint) {
            sawPoint = true;
        } else if (!isDigit(c)) {
            break;
        } else if (sawPoint) {
            anyDigit = true;
            if (fraction.size() < kKeptFractionDigits) fraction += c;
            else if (c != '0') fractionTail = true;
        } else {
            anyDigit = true;
            if (integer.empty() && c == '0') continue;
            integer += c;
            if (integer.size() > kMaxIntegerDigits) overflow(text);
        }
    }
    if (!anyDigit) return 0;
    if (fractionTail) fraction += '1';

    const std::string number = (integer.empty() ? "0" : integer) + "." + (fraction.empty() ? "0" : fraction);
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    // Default rounding mode: to nearest, ties to even. |value| < 100000 here,
    // so the conversion below can never be out of range.
    double rounded = std::nearbyint(value);
    if (negative) rounded = -rounded;
    if (rounded < -32768.0 || rounded > 32767.0) overflow(text);
    return static_cast<std::int16_t>(rounded);
}

} // namespace console
