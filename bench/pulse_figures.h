// SPDX-License-Identifier: MIT
#pragma once

// Min, median, p99 and max of a set of pulse measurements, and the table the
// pulse benchmarks print: the program's pulses beside a plain sleep's.

#include <algorithm>
#include <cstdio>
#include <vector>

struct PulseFigures {
    double min, median, p99, max;
};

inline PulseFigures pulseFigures(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
    };
    return {values.front(), at(0.5), at(0.99), values.back()};
}

inline void printPulseFigures(const char* leftName, const PulseFigures& left, const char* rightName,
                              const PulseFigures& right)
{
    std::printf("%-8s %14s %14s\n", "", leftName, rightName);
    std::printf("%-8s %14.1f %14.1f\n", "min", left.min, right.min);
    std::printf("%-8s %14.1f %14.1f\n", "median", left.median, right.median);
    std::printf("%-8s %14.1f %14.1f\n", "p99", left.p99, right.p99);
    std::printf("%-8s %14.1f %14.1f\n", "max", left.max, right.max);
}
