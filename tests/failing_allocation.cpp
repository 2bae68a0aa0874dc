// SPDX-License-Identifier: MIT
#include "failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool failing = false;
}

FailingAllocation::FailingAllocation() { failing = true; }
FailingAllocation::~FailingAllocation() { failing = false; }

void* operator new(std::size_t size)
{
    if (!failing)
        if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
