// SPDX-License-Identifier: MIT
#pragma once

// A deliberately naive second reading of the port number, written from the
// rules alone with exact decimal arithmetic on digit strings (no floating
// point), so the fuzzer can hold the real reading against it.

#include <optional>
#include <string>
#include <string_view>

namespace reference {

// Decimal digits of 2^-n after the point (n >= 1), exactly: "5", "25", "125", ...
inline std::string negativePowerOfTwo(int n)
{
    // Halve 1 n times, one long division of the digit string each time.
    std::string places;
    int whole = 1;
    for (int i = 0; i < n; ++i) {
        std::string next;
        int carry = whole % 2;
        whole /= 2;
        for (char c : places) {
            const int d = carry * 10 + (c - '0');
            next += static_cast<char>('0' + d / 2);
            carry = d % 2;
        }
        if (carry) next += '5';
        places = next;
    }
    return places;
}

// Adds or subtracts two fractions in [0, 1) given as digit strings; the
// result must stay in [0, 1).
inline std::string addFractions(std::string a, std::string b, bool subtract)
{
    const std::size_t n = std::max(a.size(), b.size());
    a.resize(n, '0');
    b.resize(n, '0');
    std::string out(n, '0');
    int carry = 0;
    for (std::size_t i = n; i-- > 0;) {
        int d = subtract ? (a[i] - '0') - (b[i] - '0') - carry : (a[i] - '0') + (b[i] - '0') + carry;
        carry = 0;
        if (d < 0) { d += 10; carry = 1; }
        if (d > 9) { d -= 10; carry = 1; }
        out[i] = static_cast<char>('0' + d);
    }
    return out;
}

// -1, 0, 1 as fraction a is below, equal to or above fraction b.
inline int compareFractions(std::string a, std::string b)
{
    const std::size_t n = std::max(a.size(), b.size());
    a.resize(n, '0');
    b.resize(n, '0');
    return a < b ? -1 : a > b ? 1 : 0;
}

struct Reading {
    bool overflow = false;
    int value = 0;
};

inline Reading read(std::string_view text)
{
    // Rule: blanks, tabs and line feeds do not count anywhere.
    std::string kept;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n') kept += c;

    // Rule: optional sign, digits with at most one point; stop at anything else.
    std::size_t i = 0;
    bool negative = false;
    if (i < kept.size() && (kept[i] == '+' || kept[i] == '-')) negative = kept[i++] == '-';
    std::string whole, fraction;
    bool point = false, digits = false;
    for (; i < kept.size(); ++i) {
        const char c = kept[i];
        if (c == '.' && !point) point = true;
        else if (c >= '0' && c <= '9') { (point ? fraction : whole) += c; digits = true; }
        else break;
    }
    // Rule: no number at the start reads as 0.
    if (!digits) return {};

    while (!whole.empty() && whole.front() == '0') whole.erase(whole.begin());
    if (whole.size() > 5) return {true, 0}; // at least 100000: out of range either way
    const int k = whole.empty() ? 0 : std::stoi(whole);

    // Rule: the value is a double, then rounded half to even. The double
    // nearest the text is exactly k + 0.5 for every text within half a unit
    // in the last place of it (both ends included: k + 0.5 is even there);
    // elsewhere the double lies on the same side of k + 0.5 as the text.
    // k + 0.5 lies in [2^e, 2^(e+1)) with 53 significant bits, so half a unit
    // is 2^(e-53); below 0.5 (a power of two) the spacing halves.
    int e = -1;
    while ((2 * k + 1) >= (2 << (e + 1))) ++e; // 2^e <= k + 0.5 < 2^(e+1)
    const std::string above = negativePowerOfTwo(53 - e);
    const std::string below = negativePowerOfTwo(k == 0 ? 55 : 53 - e);
    const std::string low = addFractions("5", below, true);
    const std::string high = addFractions("5", above, false);

    int magnitude;
    if (compareFractions(fraction, low) < 0) magnitude = k;
    else if (compareFractions(fraction, high) > 0) magnitude = k + 1;
    else magnitude = k % 2 == 0 ? k : k + 1;

    // Rule: outside -32768..32767 is an overflow.
    const int value = negative ? -magnitude : magnitude;
    if (value < -32768 || value > 32767) return {true, 0};
    return {false, value};
}

} // namespace reference
