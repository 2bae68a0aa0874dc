// SPDX-License-Identifier: MIT
#pragma once

// While one of these lives, every allocation through operator new on this
// thread fails with std::bad_alloc: memory is exhausted. Linked into a test
// program, the replacement operator new is the program's.
class FailingAllocation {
public:
    FailingAllocation();
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
};
