// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace console {

// A failed step. No handler traps it: it leaves the handler, and the dispatch
// reports it to the user with its number and description, then ends the program.
class UntrappedError : public std::runtime_error {
public:
    UntrappedError(int number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    int number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    int number_;
    std::string description_;
};

// Error numbers are stable: the manual lists each one with its cause and fix,
// and users search for them, so a number never changes meaning once released.
// The reading's one failure:
inline constexpr int kOverflowError = 6;
inline constexpr int kOutOfMemoryError = 7;
inline constexpr int kInternalError = 51;

} // namespace console
