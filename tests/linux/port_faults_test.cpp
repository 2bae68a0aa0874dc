// SPDX-License-Identifier: MIT
// Device faults on the real component, each in a child process of its own
// (some run as an unprivileged user): a clear error naming port, device and
// cause, no hang, and the port released afterwards.

#include "map_resolver.h"
#include "console/untrapped_error.h"
#include "platform/linux/serial_component.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::SerialComponent;

constexpr uid_t kNobody = 65534;
constexpr int kOpened = 0; // no error: the open went through

// Runs as the unprivileged user where we are root; where we are not, the
// device is made unreadable to us instead.
void becomeUnprivileged(const std::string& device, bool keepAccess)
{
    if (::geteuid() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(90);
        ::prctl(PR_SET_DUMPABLE, 1); // lets processes of the same user see our open files, as after exec
    } else if (!keepAccess) {
        ::chmod(device.c_str(), 0);
    }
}

struct Outcome {
    int number = -1; // kOpened, an error number, or -1 where the child died
    std::string description;
    bool released = false; // after a refusal: nothing of the device held, in the child itself
};

// Runs steps in a child with a 10 s limit; returns what the component said.
// afterFork runs in the test process once the child is on its way, and
// before the child's steps begin (it may close what the steps rely on).
Outcome inChild(const std::function<void()>& steps, const std::function<bool()>& released,
                const std::function<void()>& afterFork)
{
    int pipeFds[2], goFds[2];
    if (::pipe(pipeFds) != 0) return {};
    if (::pipe(goFds) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        ::close(goFds[1]);
        ::alarm(10);
        char go = 0;
        [[maybe_unused]] const auto r = ::read(goFds[0], &go, 1);
        std::string report;
        try {
            steps();
            report = std::to_string(kOpened) + "\n";
        } catch (const console::UntrappedError& e) {
            report = std::to_string(e.number()) + (released() ? " released" : "") + "\n" + e.description();
        }
        [[maybe_unused]] const auto n = ::write(pipeFds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    ::close(goFds[0]);
    afterFork();
    ::close(goFds[1]); // the child's read returns: go
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty())
        return {-1, "child ended with status " + std::to_string(status) + (WIFSIGNALED(status) ? " (signal; a hang?)" : "")};
    const auto newline = text.find('\n');
    const std::string head = text.substr(0, newline);
    return {std::stoi(head), text.substr(newline + 1), head.find(" released") != std::string::npos};
}

// A process of another program, kept alive for the length of a case.
class OtherProcess {
public:
    explicit OtherProcess(const std::function<void()>& body)
    {
        pid_ = ::fork();
        if (pid_ == 0) {
            body();
            for (;;) ::pause();
        }
    }
    ~OtherProcess()
    {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

pid_t deadPid()
{
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// The lock file that Qt and other serial programs keep for a device.
std::string lockPath(const std::string& device)
{
    std::string name = device.substr(5);
    for (char& c : name)
        if (c == '/') c = '_';
    return "/var/lock/LCK.." + name;
}

void writeLock(const std::string& device, long pid, const std::string& program)
{
    std::ofstream(lockPath(device)) << pid << '\n' << program << '\n';
}

// The UUCP lock of minicom and picocom: the pid in ten columns, named after
// the device's base name.
std::string uucpLockPath(const std::string& device) { return "/var/lock/LCK.." + device.substr(device.rfind('/') + 1); }

void writeUucpLock(const std::string& device, long pid)
{
    char line[16];
    std::snprintf(line, sizeof line, "%10ld\n", pid);
    std::ofstream(uucpLockPath(device)) << line;
}

std::shared_ptr<void> sleeperNamedInLock(const std::function<void(pid_t)>& write)
{
    auto sleeper = std::make_shared<OtherProcess>([] { ::execl("/bin/sleep", "sleep", "60", nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // its name is "sleep" from now on
    write(sleeper->pid());
    return sleeper;
}

// Whether this process has the device open.
bool holds(const std::string& device)
{
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(fd.path(), ec).string().rfind(device, 0) == 0) return true;
    }
    return false;
}

// Whether a lock file of the device names `pid`.
bool locksName(const std::string& device, pid_t pid)
{
    for (const auto& path : {lockPath(device), uucpLockPath(device)}) {
        long named = 0;
        if (std::ifstream(path) >> named && named == pid) return true;
    }
    return false;
}

void openPort(SerialComponent& comm)
{
    comm.setCommPort(1);
    comm.setPortOpen(true);
}

void runEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Fault {
    const char* name;
    // Sets the scene in the test process; returns what must hold it up.
    std::function<std::shared_ptr<void>(PtyPair& pty)> scene;
    // Runs in the child: the component's steps.
    std::function<void(SerialComponent& comm, PtyPair& pty)> steps;
    bool unprivileged;
    bool childHoldsLastMaster; // the child can make the device vanish
    int number;
    std::string mustMention; // "{pty}" stands for the device
};

TEST(PortFaults, EachEndsInAClearErrorAndLeavesThePortFree)
{
    if (::access("/var/lock", W_OK) != 0) GTEST_SKIP() << "/var/lock is not writable here";
    const auto nothing = [](PtyPair&) { return std::shared_ptr<void>(); };
    const Fault faults[] = {
        {"device gone while idle: the event loop notices", nothing,
         [](auto& comm, auto& pty) {
             openPort(comm);
             pty.closeMaster();
             rusage before {}, after {};
             ::getrusage(RUSAGE_SELF, &before);
             runEventLoopFor(300);
             ::getrusage(RUSAGE_SELF, &after);
             const auto cpuMs = [](const rusage& r) { return r.ru_utime.tv_sec * 1000 + r.ru_utime.tv_usec / 1000; };
             if (cpuMs(after) - cpuMs(before) > 150) ::_exit(91); // spinning on the dead device
             if (holds(pty.slavePath())) ::_exit(92);             // still holding it
             comm.setDTREnable(true);
         },
         false, true, 8017, "port 1 ({pty}) went away while open ("},
        {"device gone: the next DTR write notices", nothing,
         [](auto& comm, auto& pty) {
             openPort(comm);
             pty.closeMaster();
             comm.setDTREnable(false);
         },
         false, true, 8017, "port 1 ({pty}) went away while open ("},
        {"permission denied", nothing, [](auto& comm, auto&) { openPort(comm); }, true, false, 8011,
         "Permission denied: port 1 ({pty})."},
        {"busy: a lock file names a live process of another program",
         [](PtyPair& pty) {
             return sleeperNamedInLock([&](pid_t pid) { writeLock(pty.slavePath(), pid, "sleep"); });
         },
         [](auto& comm, auto&) { openPort(comm); }, false, false, 8010, "port 1 ({pty}) is held by sleep (pid "},
        {"busy: a UUCP lock (minicom, picocom) names a live process",
         [](PtyPair& pty) { return sleeperNamedInLock([&](pid_t pid) { writeUucpLock(pty.slavePath(), pid); }); },
         [](auto& comm, auto&) { openPort(comm); }, false, false, 8010, "port 1 ({pty}) is held by sleep (pid "},
        {"stale UUCP lock of a process that is gone: taken over",
         [](PtyPair& pty) {
             writeUucpLock(pty.slavePath(), deadPid());
             return std::shared_ptr<void>();
         },
         [](auto& comm, auto&) { openPort(comm); }, false, false, kOpened, ""},
        {"busy: an exclusive open by another process, no lock file",
         [](PtyPair& pty) {
             ::chmod(pty.slavePath().c_str(), 0666);
             const std::string path = pty.slavePath();
             auto holder = std::make_shared<OtherProcess>([path] {
                 becomeUnprivileged(path, true);
                 ::prctl(PR_SET_NAME, "pulse-holder");
                 const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
                 ::ioctl(fd, TIOCEXCL);
             });
             std::this_thread::sleep_for(std::chrono::milliseconds(100));
             return std::shared_ptr<void>(holder);
         },
         [](auto& comm, auto&) { openPort(comm); }, true, false, 8010, "port 1 ({pty}) is held by pulse-holder (pid "},
        {"stale lock of a process that is gone: taken over",
         [](PtyPair& pty) {
             writeLock(pty.slavePath(), deadPid(), "minicom");
             return std::shared_ptr<void>();
         },
         [](auto& comm, auto&) { openPort(comm); }, false, false, kOpened, ""},
    };
    for (const auto& f : faults) {
        PtyPair pty;
        MapResolver resolver;
        resolver.devices[1] = pty.slavePath();
        auto scene = f.scene(pty);
        std::unique_ptr<SerialComponent> comm;
        const Outcome outcome = inChild(
            [&] {
                if (f.unprivileged) becomeUnprivileged(pty.slavePath(), false);
                comm = std::make_unique<SerialComponent>(resolver);
                f.steps(*comm, pty);
            },
            // The component still alive: the refusal itself let the device and its locks go.
            [&] { return !comm->portOpen() && !holds(pty.slavePath()) && !locksName(pty.slavePath(), ::getpid()); },
            [&] { if (f.childHoldsLastMaster) pty.closeMaster(); });
        std::string mention = f.mustMention;
        if (const auto at = mention.find("{pty}"); at != std::string::npos) mention.replace(at, 5, pty.slavePath());
        EXPECT_EQ(outcome.number, f.number) << f.name << ": " << outcome.description;
        EXPECT_NE(outcome.description.find(mention), std::string::npos) << f.name << ": " << outcome.description;
        if (f.number != kOpened) {
            EXPECT_TRUE(outcome.released) << f.name << ": the refused component still holds the device or a lock";
        }
        // Whoever held it, the port can be taken again once they let go; a
        // lock left by a process that has gone is taken over.
        if (!std::filesystem::exists(pty.slavePath())) continue; // the device went away with its master
        scene.reset();
        SerialComponent next(resolver);
        EXPECT_NO_THROW(openPort(next)) << f.name << ": not released";
    }
}

} // namespace
