// SPDX-License-Identifier: MIT
#pragma once

// While one of these lives, operator new on this thread fails with
// std::bad_alloc, as when memory is exhausted (failing_allocation.cpp replaces it).
class FailingAllocation {
public:
    FailingAllocation();
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
};
