// SPDX-License-Identifier: MIT
#include "console/port_number.h"
#include "console/untrapped_error.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

constexpr std::size_t kTenMegabytes = 10 * 1024 * 1024;
const std::optional<int> kOverflow = std::nullopt;
// 2.5 + 2^-52, the midpoint between 2.5 and the next double.
constexpr const char* kAboveTwoAndAHalf = "2.5000000000000002220446049250313080847263336181640625";

struct Reading {
    std::string text;
    std::optional<int> expected; // nullopt: overflow
    std::string shown = {};      // on overflow: the start of the text the report quotes, if given
};

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

TEST(PortNumberReading, ReadsEveryRowOfTheTable)
{
    const Reading rows[] = {
        // What the list can show, and what the user types.
        {"7", 7}, {"15", 15}, {"Comm Port", 0}, {"", 0}, {" 1 2, and more", 12}, {"1 5", 15},
        {"\t7\n", 7}, {"7,abc", 7}, {"-3", -3}, {"+4", 4}, {"- 3", -3},
        // Sign and point without digits, more than one point.
        {"+", 0}, {"-", 0}, {".", 0}, {"+.", 0}, {"..5", 0}, {"1.2.3", 1}, {".6", 1}, {"-.6", -1},
        // Leading zeros never overflow.
        {"007", 7}, {repeat('0', 40) + "12", 12},
        // Appended, not "-" + ...: GCC 12 warns of an overlapping copy there, falsely (GCC bug 105329).
        {std::string("-").append(repeat('0', 40)).append("32768"), -32768},
        // No exponent, no radix prefix.
        {"1e3", 1}, {"&H10", 0}, {"0x10", 0},
        // Halfway goes to the even neighbour.
        {"0.5", 0}, {"1.5", 2}, {"2.5", 2}, {"3.5", 4}, {"14.5", 14}, {"15.5", 16}, {"-0.5", 0}, {"-2.5", -2},
        {"2.500000000000001", 3}, {"2.4999999999999", 2},
        // The value is a double: a fraction that double cannot tell from .5 is .5.
        {"2.50000000000000000000001", 2}, {"0.49999999999999999999999", 0},
        // Both ends of the 16-bit range.
        {"32767", 32767}, {"32768", kOverflow}, {"-32768", -32768}, {"-32769", kOverflow},
        {"32767.4", 32767}, {"32767.5", kOverflow}, {"32766.5", 32766},
        {"-32768.5", -32768}, {"-32768.51", kOverflow}, {"-32767.5", -32768}, {"-32769.5", kOverflow},
        {"99999", kOverflow}, {"100000", kOverflow}, {"-100000.0", kOverflow},
        // A 10 MB paste, read in linear time.
        {repeat('1', kTenMegabytes), kOverflow},
        {repeat('0', kTenMegabytes) + "7", 7},
        {repeat(' ', kTenMegabytes) + "9", 9},
        {"2.5" + repeat('0', kTenMegabytes), 2},
        // Halfway between two doubles above 2.5, an exact tie goes to 2.5; a
        // last nonzero digit 10 MB further on tips it over.
        {std::string(kAboveTwoAndAHalf), 2}, {kAboveTwoAndAHalf + repeat('0', kTenMegabytes) + "1", 3},
        {"0." + repeat('9', kTenMegabytes), 1},
        // The report quotes the start of a long text, cut between whole
        // UTF-8 characters: "é" is 2 bytes, "€" 3.
        {repeat('9', 31) + "\xC3\xA9" + repeat('9', 10), kOverflow, repeat('9', 31)},
        {repeat('9', 30) + "\xE2\x82\xAC" + repeat('9', 10), kOverflow, repeat('9', 30)},
    };
    for (const auto& row : rows) {
        const std::string shown = row.text.size() > 60 ? row.text.substr(0, 60) + "..." : row.text;
        if (row.expected) {
            EXPECT_EQ(console::readPortNumber(row.text), *row.expected) << "text: \"" << shown << '"';
            continue;
        }
        try {
            console::readPortNumber(row.text);
            ADD_FAILURE() << "no overflow for \"" << shown << '"';
        } catch (const console::UntrappedError& e) {
            EXPECT_EQ(e.number(), console::kOverflowError) << shown;
            EXPECT_LT(e.description().size(), 100u) << "a long paste must not flood the report";
            EXPECT_TRUE(row.shown.empty() || e.description().find('"' + row.shown + "...\"") != std::string::npos)
                << e.description();
        }
    }
}

} // namespace
