// SPDX-License-Identifier: MIT
#pragma once

// The seams the console's behaviour needs. Each is small and has a real
// implementation in platform/ and a double in tests/.

#include <cstdint>
#include <string>

namespace console {

// The serial communications component's property writes. A refused write
// throws UntrappedError.
class SerialComponent {
public:
    virtual ~SerialComponent() = default;
    virtual void setCommPort(std::int16_t port) = 0;
    virtual void setPortOpen(bool open) = 0;
    virtual void setDTREnable(bool enable) = 0;
};

// The text the port list's edit field shows now.
class PortListText {
public:
    virtual ~PortListText() = default;
    virtual std::string text() const = 0;
};

// Blocks the calling thread for at least the given time.
class SleepService {
public:
    virtual ~SleepService() = default;
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

// Ends the program: no handler runs after this, the window is torn down.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    virtual void endProgram() = 0;
};

} // namespace console
