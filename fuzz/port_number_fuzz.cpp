// SPDX-License-Identifier: MIT
// Holds the port-number reading against the naive reference reading: on every
// input both give the same number, or both overflow.

#include "console/port_number.h"
#include "console/untrapped_error.h"
#include "reference_reading.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const reference::Reading expected = reference::read(text);

    bool overflow = false;
    int value = 0;
    try {
        value = console::readPortNumber(text);
    } catch (const console::UntrappedError& error) {
        if (error.number() != console::kOverflowError) {
            std::fprintf(stderr, "unexpected error %d: %s\n", error.number(), error.description().c_str());
            std::abort();
        }
        overflow = true;
    }
    if (overflow != expected.overflow || value != expected.value) {
        std::fprintf(stderr, "readings differ on \"%.*s\": program %s %d, reference %s %d\n",
                     static_cast<int>(size < 200 ? size : 200), text.data(),
                     overflow ? "overflow" : "value", value,
                     expected.overflow ? "overflow" : "value", expected.value);
        std::abort();
    }
    return 0;
}
