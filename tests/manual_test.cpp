// SPDX-License-Identifier: MIT
// The manual lists every error the program can report, so a user who meets
// one can look it up.

#include "console/untrapped_error.h"
#include "platform/common/comm_errors.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

TEST(Manual, ListsEveryErrorNumber)
{
    std::ifstream file(MANUAL_SOURCE);
    ASSERT_TRUE(file) << MANUAL_SOURCE;
    std::stringstream text;
    text << file.rdbuf();
    std::vector<int> numbers = {console::kOverflowError, console::kOutOfMemoryError, console::kInternalError};
    for (int fault = 0; fault <= static_cast<int>(platform::CommFault::DeviceGone); ++fault)
        numbers.push_back(platform::commErrorNumber(static_cast<platform::CommFault>(fault)));
    for (int number : numbers)
        EXPECT_NE(text.str().find("\n**" + std::to_string(number) + "** "), std::string::npos) << number;
}

} // namespace
