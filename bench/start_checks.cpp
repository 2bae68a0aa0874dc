// SPDX-License-Identifier: MIT
// What Start's checks before open() cost (is the device the system console,
// does a process lock it or have it open, is it locked, and taking its
// locks), and of those the read of /proc/locks alone, against the whole of a
// Start and close on a pseudo-terminal; on this machine as it is, then with
// 1,000 more processes holding 20 descriptors each, one of them under a
// flock (a line of /proc/locks each). The runs of the checks and of Start
// alternate. As root the scan
// looks into every process, else into the user's own. Prints medians and
// p99s in microseconds.
//
//   start_checks [N]      N runs of each, each way (default 50)

#include "bench/pulse_figures.h"
#include "platform/linux/port_access.h"
#include "platform/linux/port_lock.h"
#include "platform/linux/serial_component.h"
#include "platform/linux/sysfs_port_resolver.h"

#include <QCoreApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The one device the component is given.
class OneDevice : public platform::PortResolver {
public:
    explicit OneDevice(std::string device) : device_(std::move(device)) {}
    std::optional<std::string> deviceFor(int) const override { return device_; }
    std::vector<Port> present() const override { return {{1, device_}}; }
    bool isSystemConsole(const std::string& device) const override { return system_.isSystemConsole(device); }

private:
    std::string device_;
    platform::SysfsPortResolver system_;
};

template <typename Step>
double microseconds(Step step)
{
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void measure(const char* load, const std::string& device, int runs)
{
    OneDevice resolver(device);
    std::vector<double> checks, locks, start;
    // Apart, as Start reads /proc/locks first: just after a scan of /proc
    // the same read takes ten times as long.
    for (int i = 0; i < runs; ++i)
        locks.push_back(microseconds([&] {
            if (platform::lockHolder(device)) std::abort();
        }));
    for (int i = 0; i < runs; ++i) {
        checks.push_back(microseconds([&] {
            platform::PortLock lock;
            if (resolver.isSystemConsole(device) || platform::lockHolder(device) || platform::openHolder(device)
                || lock.take(device) != platform::PortLock::Outcome::Taken)
                std::abort(); // the pseudo-terminal is ours alone
        }));
        start.push_back(microseconds([&] {
            platform::SerialComponent comm(resolver);
            comm.setCommPort(1);
            comm.setPortOpen(true);
            comm.setPortOpen(false);
        }));
    }
    const auto c = pulseFigures(checks), l = pulseFigures(locks), s = pulseFigures(start);
    std::printf("%-34s %10.0f %10.0f %10.0f %10.0f %14.0f %10.0f\n", load, c.median, c.p99, l.median, l.p99, s.median,
                s.p99);
}

// `count` processes that each hold `descriptors` open until killed.
std::vector<pid_t> crowd(int count, int descriptors)
{
    std::vector<pid_t> pids;
    int ready[2];
    if (::pipe(ready) != 0) std::abort();
    for (int i = 0; i < count; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int first = ::open("/dev/null", O_RDONLY);
            ::flock(first, LOCK_SH); // a line of /proc/locks
            for (int d = 1; d < descriptors; ++d) ::open("/dev/null", O_RDONLY);
            [[maybe_unused]] const auto n = ::write(ready[1], "x", 1);
            for (;;) ::pause();
        }
        pids.push_back(pid);
    }
    for (int i = 0; i < count; ++i) {
        char c;
        if (::read(ready[0], &c, 1) != 1) std::abort();
    }
    ::close(ready[0]);
    ::close(ready[1]);
    return pids;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 50;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return 1;
    const std::string device = ::ptsname(master);
    std::printf("%d runs each; uid %d; %s\n", runs, static_cast<int>(::getuid()), device.c_str());
    std::printf("%-34s %10s %10s %10s %10s %14s %10s\n", "", "checks med", "p99", "locks med", "p99",
                "Start+close med", "p99");
    measure("as the machine is", device, runs);
    const auto pids = crowd(1000, 20);
    measure("with 1,000 processes x 20 fds", device, runs);
    for (const pid_t pid : pids) ::kill(pid, SIGKILL);
    for (const pid_t pid : pids) ::waitpid(pid, nullptr, 0);
    return 0;
}
