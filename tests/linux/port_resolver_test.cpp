// SPDX-License-Identifier: MIT
#include "platform/linux/sysfs_port_resolver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;
    bool hasDevice = true; // a device link: hardware stands behind the tty
    std::optional<int> uartType = std::nullopt; // the 8250 ports' type file
    // A device link that loops: stat fails with ELOOP, an error rather than "not there".
    bool unreadable = false;
};

// A /sys/class/tty of our own.
class FakeSysClassTty {
public:
    FakeSysClassTty() : root_(fs::temp_directory_path() / ("sysfs-" + std::to_string(::getpid())))
    {
        fs::remove_all(root_);
        fs::create_directories(root_ / "devices" / "platform");
    }
    ~FakeSysClassTty() { fs::remove_all(root_); }

    void add(const std::vector<Entry>& entries)
    {
        for (const auto& e : entries) {
            const fs::path dir = root_ / "class" / e.name;
            fs::create_directories(dir);
            if (e.unreadable)
                fs::create_symlink(dir / "device", dir / "device");
            else if (e.hasDevice)
                fs::create_directory_symlink(root_ / "devices" / "platform", dir / "device");
            if (e.uartType) std::ofstream(dir / "type") << *e.uartType << "\n";
        }
    }
    // The consoles the kernel writes to, as console/active lists them.
    void setConsoles(const std::string& names)
    {
        std::ofstream(root_ / "class" / "console" / "active") << names << "\n";
    }
    fs::path classTty() const { return root_ / "class"; }

private:
    fs::path root_;
};

struct Tree {
    const char* name;
    std::vector<Entry> entries;    // none: no tty class at all
    std::vector<std::string> ports; // the devices of ports 1, 2, ... in order
    std::string described = {};     // as a report lists them, where given
};

TEST(SysfsPortResolver, NumbersThePortsPresent)
{
    // Whatever order the directory lists them in, an unreadable entry comes before some readable ones.
    std::vector<Entry> interleaved;
    for (const auto i : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"})
        interleaved.insert(interleaved.end(),
                           {{std::string("ttyUSB") + i}, {.name = std::string("ttyBAD") + i, .unreadable = true}});
    const Tree trees[] = {
        {"each family in its order",
         {{"ttyS0", true, 4}, {"ttyS1", true, 0} /* registered, no UART behind it */, {"ttyS2", true, 4},
          {"ttyS10", true, 4}, {"ttyS3"} /* no type file: not a known UART either */, {"ttyUSB1"}, {"ttyUSB0"},
          {"ttyACM0"}, {"ttyAMA10"}, {"ttyAMA2"}, {"rfcomm0"}, {"rfcomm1", false} /* bound, no link up */,
          {"tty0", false}, {"console", false}, {"ptmx", false}},
         {"/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/rfcomm0",
          "/dev/rfcomm1", "/dev/ttyAMA2", "/dev/ttyAMA10"},
         "Ports present now: 1 = /dev/ttyS0, 2 = /dev/ttyS2, 3 = /dev/ttyS10, 4 = /dev/ttyUSB0, 5 = /dev/ttyUSB1, "
         "6 = /dev/ttyACM0, 7 = /dev/rfcomm0, 8 = /dev/rfcomm1, 9 = /dev/ttyAMA2, 10 = /dev/ttyAMA10."},
        {"a laptop with one USB adapter makes it port 1", {{"ttyS0", true, 0}, {"ttyS1", true, 0}, {"ttyUSB0"}},
         {"/dev/ttyUSB0"}},
        {"an entry it cannot read is skipped and the scan goes on", interleaved,
         {"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyUSB3", "/dev/ttyUSB4", "/dev/ttyUSB5",
          "/dev/ttyUSB6", "/dev/ttyUSB7", "/dev/ttyUSB8", "/dev/ttyUSB9"}},
        {"no tree, no ports", {}, {}, "No serial port is present now."},
    };
    for (const auto& tree : trees) {
        FakeSysClassTty sys;
        sys.add(tree.entries);
        const platform::SysfsPortResolver resolver(sys.classTty(), "/dev");
        const int count = static_cast<int>(tree.ports.size());
        for (int number = -1; number <= count + 1; ++number)
            EXPECT_EQ(resolver.deviceFor(number),
                      number >= 1 && number <= count ? std::optional(tree.ports[number - 1]) : std::nullopt)
                << tree.name << ": port " << number;
        EXPECT_TRUE(tree.described.empty() || platform::describePresentPorts(resolver) == tree.described)
            << tree.name << ": " << platform::describePresentPorts(resolver);
    }
}

// The console's entry says that Start refuses it; the port beside it is a port like any other.
TEST(SysfsPortResolver, TooltipsMarkTheSystemConsole)
{
    FakeSysClassTty sys;
    sys.add({{"ttyS0", true, 4}, {"ttyS2", true, 4}, {"tty0", false}, {"console", false}});
    sys.setConsoles("tty0 ttyS2");
    const platform::SysfsPortResolver resolver(sys.classTty(), "/dev");
    EXPECT_EQ(platform::portEntryTooltip("2", resolver.present()),
              "Port 2 opens /dev/ttyS2, the system console (Start refuses it)");
    EXPECT_EQ(platform::portEntryTooltip("1", resolver.present()), "Port 1 opens /dev/ttyS0");
    EXPECT_TRUE(resolver.isSystemConsole("/dev/ttyS2"));
}

TEST(NaturalOrder, ComparesDigitRunsByValue)
{
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"ttyAMA2", "ttyAMA10", true}, {"ttyAMA10", "ttyAMA2", false}, {"ttyAMA02", "ttyAMA10", true},
        {"tty1", "tty1", false},       {"tty", "tty0", true},          {"ttyX9", "ttyY1", true},
        // Bytes from 0x80 up (a name in UTF-8) are no digits, whatever char's sign.
        {"tty\xc3\xa9" "2", "tty\xc3\xa9" "10", true}, {"tty\xb2", "tty\xb3", true},
    };
    for (const auto& [a, b, less] : rows) EXPECT_EQ(platform::naturalLess(a, b), less) << a << " < " << b;
}

} // namespace
