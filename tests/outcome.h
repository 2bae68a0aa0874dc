// SPDX-License-Identifier: MIT
#pragma once

#include "console/untrapped_error.h"

#include <functional>
#include <string>

// What a component's steps ended in: the refusal's number and text, or 0.
struct Outcome {
    int number = 0;
    std::string text;
    bool mentions(const std::string& part) const { return text.find(part) != std::string::npos; }
};

// What the steps threw, or number 0 where they threw nothing.
inline console::UntrappedError thrownBy(const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const console::UntrappedError& e) {
        return e;
    }
    return {0, {}};
}

inline Outcome outcomeOf(const std::function<void()>& steps)
{
    const auto thrown = thrownBy(steps);
    return {thrown.number(), thrown.description()};
}
