#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Port number -> serial device. A seam: tests map numbers to pseudo-terminals.
class PortResolver {
public:
    struct Port {
        int number;
        std::string device;
    };
    virtual ~PortResolver() = default;
    virtual std::optional<std::string> deviceFor(int number) const = 0;
    // The ports that exist now, for error texts and the list's tooltips.
    virtual std::vector<Port> present() const = 0;
};

// "Ports present now: 1 = /dev/ttyS0, 2 = /dev/ttyUSB0", or that there are none.
std::string describePresentPorts(const PortResolver& resolver);

// Linux: port n is the n-th serial device present, in this order: built-in
// UARTs ttyS* of a known UART type by number, then ttyUSB*, then ttyACM*, then
// the rest by natural name order. Read from sysfs alone: opening a UART to
// probe it would raise its DTR.
class SysfsPortResolver : public PortResolver {
public:
    explicit SysfsPortResolver(std::filesystem::path sysClassTty = "/sys/class/tty",
                               std::string deviceDir = "/dev");
    std::optional<std::string> deviceFor(int number) const override;
    std::vector<Port> present() const override;

    // Device names (ttyUSB0, ...) in port-number order.
    std::vector<std::string> deviceNames() const;

private:
    std::filesystem::path sysClassTty_;
    std::string deviceDir_;
};

// Windows: port n is COMn.
class ComPortResolver : public PortResolver {
public:
    std::optional<std::string> deviceFor(int number) const override;
    std::vector<Port> present() const override;
};

// The resolver of the system the program runs on.
const PortResolver& systemPortResolver();

// Natural name order: digit runs compare by value ("ttyAMA2" < "ttyAMA10").
bool naturalLess(const std::string& a, const std::string& b);

} // namespace platform
