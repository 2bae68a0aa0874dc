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

inline Outcome outcomeOf(const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const console::UntrappedError& e) {
        return {e.number(), e.description()};
    }
    return {};
}
