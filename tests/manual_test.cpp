// SPDX-License-Identifier: MIT
// The manual lists every error the program can report, so a user who meets
// one can look it up, and quotes reports as the program writes them.

#include "console/port_number.h"
#include "console/untrapped_error.h"
#include "map_resolver.h"
#include "outcome.h"
#include "platform/common/comm_errors.h"
#include "platform/linux/port_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string manual()
{
    std::ifstream file(MANUAL_SOURCE);
    EXPECT_TRUE(file) << MANUAL_SOURCE;
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(Manual, ListsEveryErrorNumber)
{
    const std::string text = manual();
    std::vector<int> numbers = {console::kOverflowError, console::kOutOfMemoryError, console::kInternalError};
    for (const auto& row : platform::commFaultTable()) numbers.push_back(row.number);
    for (int number : numbers)
        EXPECT_NE(text.find("\n**" + std::to_string(number) + "** "), std::string::npos) << number;
}

struct QuotedReport {
    int number;
    std::string title; // the entry's, after its number
    std::string text;
};

// The reports ERRORS quotes: under an entry "**8010** Port busy", each line
// that is one description in double quotes.
std::vector<QuotedReport> quotedReports(const std::string& text)
{
    std::vector<QuotedReport> quoted;
    std::istringstream lines(text.substr(text.find("\n## ERRORS\n") + 1));
    int number = 0;
    std::string title;
    for (std::string line; std::getline(lines, line) && (number == 0 || line.rfind("## ", 0) != 0);) {
        if (int n = 0, end = 0; std::sscanf(line.c_str(), "**%d** %n", &n, &end) == 1 && end > 0) {
            number = n;
            title = line.substr(static_cast<std::size_t>(end));
        }
        line.erase(0, line.find_first_not_of(": "));
        if (line.size() > 1 && line.front() == '"' && line.back() == '"')
            quoted.push_back({number, title, line.substr(1, line.size() - 2)});
    }
    return quoted;
}

// Each report the manual quotes, made as the program makes it: each row's
// text must be quoted under its number, and each quote must be a row's.
TEST(Manual, QuotesReportsAsTheProgramWritesThem)
{
    using platform::CommFault, platform::commError;
    MapResolver uarts;
    uarts.devices = {{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}};
    const console::UntrappedError reports[] = {
        thrownBy([] { console::readPortNumber("40000"); }),
        commError(CommFault::PortOpenNow, 3, "/dev/ttyUSB0"),
        commError(CommFault::InvalidPortNumber, console::readPortNumber("Comm Port"), {}),
        commError(CommFault::SystemConsole, 1, "/dev/ttyS0"),
        commError(CommFault::Busy, 3, "/dev/ttyUSB0",
                  platform::describeHolder(platform::PortHolder {4242, "picocom", "alice"})),
        commError(CommFault::PermissionDenied, 3, "/dev/ttyUSB0",
                  "The device belongs to group 'dialout': add your user to it (sudo usermod -aG dialout $USER), then "
                  "log out and in again"),
        commError(CommFault::DeviceMissing, 3, "/dev/ttyUSB0", platform::describePresentPorts(uarts)),
        commError(CommFault::NoDevice, 5, {}, platform::describePresentPorts(uarts)),
        commError(CommFault::NoDtrLine, 3, "/dev/pts/4"),
        commError(CommFault::DeviceGone, 3, "/dev/ttyUSB0", std::strerror(EIO)),
        commError(CommFault::StaleLock, 3, "/dev/ttyUSB0",
                  "/var/lock/LCK..ttyUSB0, left behind by user root: its process (pid 4242) has ended. Only its owner "
                  "or an administrator can remove it (sudo rm /var/lock/LCK..ttyUSB0)"),
    };
    const auto quoted = quotedReports(manual());
    for (const auto& report : reports)
        EXPECT_TRUE(std::any_of(quoted.begin(), quoted.end(), [&](const QuotedReport& q) {
            return q.number == report.number() && q.text == report.description();
        })) << "not quoted under **" << report.number() << "**: " << report.description();
    for (const auto& q : quoted) {
        EXPECT_EQ(q.text.rfind(q.title, 0), 0u) << "under **" << q.number << "** " << q.title << ": " << q.text;
        EXPECT_TRUE(std::any_of(std::begin(reports), std::end(reports), [&](const console::UntrappedError& report) {
            return q.number == report.number() && q.text == report.description();
        })) << "the program writes no such report under **" << q.number << "**: " << q.text;
    }
}

} // namespace
