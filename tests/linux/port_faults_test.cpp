// SPDX-License-Identifier: MIT
// Device faults on the real component, each in a child process of its own
// (some run as an unprivileged user): a clear error naming port, device and
// cause, no hang, and the port released afterwards.

#include "map_resolver.h"
#include "console/untrapped_error.h"
#include "injected_calls.h"
#include "platform/linux/serial_component.h"
#include "processes.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <string>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using platform::SerialComponent;

constexpr uid_t kNobody = 65534;
constexpr int kOpened = 0; // no error: the open went through

// Runs as the unprivileged user from here on. `visible`: its open files
// show in /proc to processes of that user, as after an exec.
void becomeUnprivileged(bool visible = true)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(90);
    if (visible) ::prctl(PR_SET_DUMPABLE, 1);
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

// A lock file as another program leaves it, last written `age` seconds ago;
// removed at the case's end.
std::shared_ptr<void> lockFile(const std::string& path, const std::string& content, int age = 2)
{
    std::ofstream(path, std::ios::binary) << content;
    const timespec when[] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), when, 0);
    return std::shared_ptr<void>(nullptr, [path](void*) { ::unlink(path.c_str()); });
}

std::string tenColumns(long pid)
{
    char line[16];
    std::snprintf(line, sizeof line, "%10ld\n", pid);
    return line;
}

// The device's group and mode, as a distribution sets them up.
std::shared_ptr<void> owned(const PtyPair& pty, const char* group, mode_t mode)
{
    const struct group* g = ::getgrnam(group);
    if (::chown(pty.slavePath().c_str(), 0, g ? g->gr_gid : 0) != 0 || ::chmod(pty.slavePath().c_str(), mode) != 0)
        ADD_FAILURE() << "the device's owner and mode not set";
    return nullptr;
}

// Another user's program with the device open and TIOCEXCL set, whose
// open files /proc shows to nobody but root.
std::shared_ptr<void> exclusiveHolder(const std::string& path)
{
    return std::make_shared<OtherProcess>(
        [=] {
            becomeUnprivileged(false);
            ::ioctl(::open(path.c_str(), O_RDWR | O_NOCTTY), TIOCEXCL);
            ::prctl(PR_SET_NAME, "pulse-holder");
        },
        "pulse-holder");
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
bool locksName(const PtyPair& pty, pid_t pid)
{
    for (const auto& path : {pty.qtLockFile(), pty.uucpLockFile()}) {
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
    std::string mustMention; // see PtyPair::mentioned
};

TEST(PortFaults, EachEndsInAClearErrorAndLeavesThePortFree)
{
    SKIP_UNLESS_ROOT();
    const auto nothing = [](PtyPair&) { return std::shared_ptr<void>(); };
    const auto start = [](SerialComponent& comm, PtyPair&) { openPort(comm); };
    // A process that lives long before any lock a case writes.
    const std::string init = "is held by " + processName(1) + " (pid 1).";
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
        {"permission denied: a login's terminal (group tty)", [](PtyPair& pty) { return owned(pty, "tty", 0620); },
         start, true, false, 8011,
         "Permission denied: port 1 ({pty}). It belongs to group 'tty', as a terminal in use by a login (a getty) "
         "does. Pick another port, or ask an administrator."},
        {"permission denied: the device's group", [](PtyPair& pty) { return owned(pty, "dialout", 0660); }, start,
         true, false, 8011,
         "Permission denied: port 1 ({pty}). The device belongs to group 'dialout': add your user to it (sudo "
         "usermod -aG dialout $USER), then log out and in again."},
        {"permission denied: root's alone", [](PtyPair& pty) { return owned(pty, "root", 0600); }, start, true, false,
         8011, "Permission denied: port 1 ({pty}). Ask an administrator for read and write access to {pty}."},
        {"busy: a lock file names a live process of another program",
         [](PtyPair& pty) { return lockFile(pty.qtLockFile(), "1\ninit\nhost\n"); }, start, false, false, 8010,
         "port 1 ({pty}) " + init},
        {"busy: a UUCP lock (minicom, picocom) names a live process",
         [](PtyPair& pty) { return lockFile(pty.uucpLockFile(), tenColumns(1)); }, start, false, false, 8010,
         "port 1 ({pty}) " + init},
        {"stale UUCP lock of a process that is gone: taken over",
         [](PtyPair& pty) { return lockFile(pty.uucpLockFile(), tenColumns(endedPid())); }, start, false, false,
         kOpened, ""},
        {"stale lock of a process that is gone: taken over",
         [](PtyPair& pty) { return lockFile(pty.qtLockFile(), std::to_string(endedPid()) + "\nminicom\n"); }, start,
         false, false, kOpened, ""},
        {"a lock whose pid a later process has now: taken over",
         [](PtyPair& pty) {
             auto sleeper =
                 std::make_shared<OtherProcess>([] { ::execl("/bin/sleep", "sleep", "60", nullptr); }, "sleep");
             return std::make_shared<std::pair<std::shared_ptr<void>, std::shared_ptr<void>>>(
                 sleeper, lockFile(pty.qtLockFile(), std::to_string(sleeper->pid()) + "\n", 3600));
         },
         start, false, false, kOpened, ""},
        {"a lock written just now holds, whatever it names (its writer may be mid-takeover)",
         [](PtyPair& pty) { return lockFile(pty.qtLockFile(), std::to_string(endedPid()) + "\n", 0); }, start, false,
         false, 8010, "port 1 ({pty}) is held by another program (lock file {lock})."},
        {"an empty lock holds (its writer has yet to write its pid)",
         [](PtyPair& pty) { return lockFile(pty.qtLockFile(), ""); }, start, false, false, 8010,
         "port 1 ({pty}) is held by another program (lock file {lock})."},
        {"a stale lock that minicom rewrites as it is judged holds",
         [](PtyPair& pty) { return lockFile(pty.qtLockFile(), std::to_string(endedPid()) + "\n"); },
         [](auto& comm, auto& pty) {
             injected.beforeFlock = [lock = pty.qtLockFile()] { std::ofstream(lock) << tenColumns(1); };
             openPort(comm);
         },
         false, false, 8010, "port 1 ({pty}) " + init},
        {"a stale lock that minicom replaces as it is judged: the new one holds",
         [](PtyPair& pty) { return lockFile(pty.qtLockFile(), std::to_string(endedPid()) + "\n"); },
         [](auto& comm, auto& pty) {
             injected.beforeFlock = [lock = pty.qtLockFile()] {
                 ::unlink(lock.c_str());
                 std::ofstream(lock) << tenColumns(endedPid());
             };
             openPort(comm);
         },
         false, false, 8010, "port 1 ({pty}) is held by another program (lock file {lock})."},
        {"another user's stale lock, which we may not remove",
         [](PtyPair& pty) {
             owned(pty, "root", 0666);
             return lockFile(pty.qtLockFile(), std::to_string(endedPid()) + "\n");
         },
         start, true, false, 8018,
         "Stale lock: port 1 ({pty}) is locked by {lock}, left behind by user root: its process (pid *) has ended. "
         "Only its owner or an administrator can remove it (sudo rm {lock})."},
        {"busy: another user's program has it open under another name (a container's /dev), no lock",
         [](PtyPair& pty) {
             owned(pty, "root", 0666);
             return std::make_shared<OtherProcess>(
                 [path = pty.slavePath()] {
                     // In a mount namespace of its own, the device mounted over another file.
                     ::unshare(CLONE_NEWNS);
                     ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
                     ::mount(path.c_str(), "/etc/hostname", nullptr, MS_BIND, nullptr);
                     becomeUnprivileged();
                     ::prctl(PR_SET_NAME, "pulse-holder");
                     ::open("/etc/hostname", O_RDWR | O_NOCTTY);
                 },
                 "pulse-holder");
         },
         start, false, false, 8010, "port 1 ({pty}) is held by pulse-holder (pid *, user nobody)."},
        {"busy: an exclusive open by a process we may not look into",
         [](PtyPair& pty) {
             owned(pty, "root", 0666);
             return exclusiveHolder(pty.slavePath());
         },
         start, true, false, 8010, "port 1 ({pty}) is held by another program."},
    };
    for (const auto& f : faults) {
        PtyPair pty;
        MapResolver resolver;
        resolver.devices[1] = pty.slavePath();
        auto scene = f.scene(pty);
        termios before {}, after {};
        ::tcgetattr(pty.masterFd(), &before);
        std::unique_ptr<SerialComponent> comm;
        const Outcome outcome = inChild(
            [&] {
                if (f.unprivileged) becomeUnprivileged();
                comm = std::make_unique<SerialComponent>(resolver);
                f.steps(*comm, pty);
                comm.reset(); // opened: its lock goes too, not left to be judged stale
            },
            // The component still alive: the refusal itself let the device and its locks go.
            [&] { return !comm->portOpen() && !holds(pty.slavePath()) && !locksName(pty, ::getpid()); },
            [&] { if (f.childHoldsLastMaster) pty.closeMaster(); });
        EXPECT_EQ(outcome.number, f.number) << f.name << ": " << outcome.description;
        EXPECT_TRUE(pty.mentioned(outcome.description, f.mustMention)) << f.name << ": " << outcome.description;
        if (f.number != kOpened) {
            EXPECT_TRUE(outcome.released) << f.name << ": the refused component still holds the device or a lock";
        }
        // A port in use, locked or forbidden is refused before anything is written to it.
        if (f.number == 8010 || f.number == 8011 || f.number == 8018) {
            ::tcgetattr(pty.masterFd(), &after);
            EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << f.name << ": the port's settings changed";
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
