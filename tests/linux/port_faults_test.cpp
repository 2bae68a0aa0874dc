// SPDX-License-Identifier: MIT
// Device faults on the real component, each in a child process (some as an
// unprivileged user): a clear error, no hang, and the port released after.

#include "console/untrapped_error.h"
#include "injected_calls.h"
#include "platform/linux/serial_component.h"
#include "processes.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <new>
#include <stdexcept>
#include <string>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using platform::SerialComponent;
using Scene = std::function<std::shared_ptr<void>(PtyPair&)>; // returns what must hold the scene up

constexpr uid_t kNobody = 65534;
constexpr uid_t kDaemon = 1; // a second unprivileged user
constexpr int kOpened = 0; // no error: the open went through

// Runs as an unprivileged user from here on. `visible`: its open files
// show in /proc to processes of that user, as after an exec.
void becomeUnprivileged(bool visible = true, uid_t user = kNobody)
{
    if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(90);
    if (visible) ::prctl(PR_SET_DUMPABLE, 1);
}

// Another user's program that holds the device, named "pulse-holder":
// `asRoot`, where given, then `holding` as that user, on the device's path.
using PathStep = void (*)(const char* path);
Scene heldBy(uid_t user, bool visible, PathStep holding, PathStep asRoot = nullptr)
{
    return [=](PtyPair& pty) {
        return std::make_shared<OtherProcess>(
            [=, path = pty.slavePath()] {
                if (asRoot) asRoot(path.c_str());
                becomeUnprivileged(visible, user);
                holding(path.c_str());
                ::prctl(PR_SET_NAME, "pulse-holder");
            },
            "pulse-holder");
    };
}

struct Outcome {
    int number = -1;       // kOpened, an error number, or -1 where the child failed
    bool released = false; // after a refusal: nothing of the device held, in the child itself
    bool opened = false;   // the child's open() of the device went through
    char description[1024] = {};
};

// Runs steps in a child with a 10 s limit; returns what the component said,
// or (number -1) why the child failed. afterFork runs in the test process
// before the child's steps begin (it may close what they rely on).
Outcome inChild(const std::function<void()>& steps, const std::function<bool()>& released,
                const std::function<void()>& afterFork)
{
    void* memory = ::mmap(nullptr, sizeof(Outcome), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    int go[2];
    if (memory == MAP_FAILED || ::pipe(go) != 0) return {};
    auto* shared = new (memory) Outcome;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(go[1]);
        ::alarm(10);
        char byte = 0;
        [[maybe_unused]] const auto r = ::read(go[0], &byte, 1);
        try {
            steps();
            shared->number = kOpened;
        } catch (const console::UntrappedError& e) {
            shared->opened = injected.watchedOpened;
            shared->released = released();
            std::snprintf(shared->description, sizeof shared->description, "%s", e.description().c_str());
            shared->number = e.number();
        } catch (const std::exception& e) {
            std::snprintf(shared->description, sizeof shared->description, "%s", e.what());
        }
        ::_exit(0);
    }
    ::close(go[0]);
    afterFork();
    ::close(go[1]); // the child's read returns: go
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome outcome = *shared;
    ::munmap(memory, sizeof(Outcome));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return outcome;
    outcome.number = -1;
    std::snprintf(outcome.description, sizeof outcome.description, "child ended with status %d%s", status,
                  WIFSIGNALED(status) ? " (signal; a hang?)" : "");
    return outcome;
}

// A lock file as another program leaves it, last written `age` seconds ago;
// removed at the case's end.
std::shared_ptr<void> lockFile(const std::string& path, const std::string& content, int age = 2, mode_t mode = 0644)
{
    std::ofstream(path, std::ios::binary) << content;
    ::chmod(path.c_str(), mode);
    const timespec when[] = {{::time(nullptr) - age, 0}, {::time(nullptr) - age, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), when, 0);
    return std::shared_ptr<void>(nullptr, [path](void*) { ::unlink(path.c_str()); });
}

Scene lockedBy(std::string (PtyPair::*file)() const, const std::string& content, int age = 2, mode_t mode = 0644)
{
    return [=](PtyPair& pty) { return lockFile((pty.*file)(), content, age, mode); };
}

// A lock written an hour ago, naming a `sleep` of `user`'s started since:
// "PID" then `rest`.
Scene laterSleeper(const std::string& rest, uid_t user = 0)
{
    return [=](PtyPair& pty) {
        auto sleeper = std::make_shared<OtherProcess>(
            [user] {
                if (user) becomeUnprivileged(true, user);
                ::execl("/bin/sleep", "sleep", "60", nullptr);
            },
            "sleep");
        return std::make_shared<std::pair<std::shared_ptr<void>, std::shared_ptr<void>>>(
            sleeper, lockFile(pty.qtLockFile(), std::to_string(sleeper->pid()) + rest, 3600));
    };
}

std::string tenColumns(long pid) // as UUCP locks are written: "%10ld\n"
{
    return std::string(10 - std::to_string(pid).size(), ' ') + std::to_string(pid) + "\n";
}

std::string endedPidLine() { return std::to_string(endedPid()) + "\n"; }

// The device's group and mode, as a distribution sets them up, then `then`.
Scene owned(const char* group, mode_t mode, const Scene& then = [](PtyPair&) { return nullptr; })
{
    return [=](PtyPair& pty) {
        const struct group* g = ::getgrnam(group);
        if (::chown(pty.slavePath().c_str(), 0, g ? g->gr_gid : 0) != 0 || ::chmod(pty.slavePath().c_str(), mode) != 0)
            ADD_FAILURE() << "the device's owner and mode not set";
        return then(pty);
    };
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

struct Fault {
    const char* name;
    Scene scene; // set in the test process
    int number;
    std::string description; // the whole report; see PtyPair::matches
    bool unprivileged = false;
    // Runs in the child: the component's steps.
    std::function<void(SerialComponent& comm, PtyPair& pty)> steps = [](auto& comm, auto&) { start(comm); };
    bool childHoldsLastMaster = false; // the child can make the device vanish
};

TEST(PortFaults, EachEndsInAClearErrorAndLeavesThePortFree)
{
    SKIP_UNLESS_ROOT();
    const Scene nothing = [](PtyPair&) { return nullptr; };
    const auto qt = &PtyPair::qtLockFile;
    const auto uucp = &PtyPair::uucpLockFile;
    const std::string gone = "Device gone: port 1 ({pty}) went away while open (*). Was it unplugged? The port has "
                             "been closed.";
    const auto busy = [](const std::string& who) {
        return "Port busy: port 1 ({pty}) is held by " + who + ". Close that program or pick another port.";
    };
    const std::string locked = "Port busy: port 1 ({pty}) is locked by {lock} (user root), ";
    // A process that lives long before any lock a case writes, and this
    // test's own process: their programs as a lock names them.
    const std::string init = processName(1) + " (pid 1";
    const std::string self = std::to_string(::getpid()) + " " + programName(::getpid()) + " root\n";
    const std::string fresh = locked + "written just now: a program may be taking the port. Try again in a moment.";
    const Fault faults[] = {
        {"device gone while idle: the event loop notices", nothing, 8017, gone, false,
         [](auto& comm, auto& pty) {
             start(comm);
             pty.closeMaster();
             rusage before {}, after {};
             ::getrusage(RUSAGE_SELF, &before);
             QEventLoop loop;
             QTimer::singleShot(300, &loop, &QEventLoop::quit);
             loop.exec();
             ::getrusage(RUSAGE_SELF, &after);
             const auto cpuMs = [](const rusage& r) { return r.ru_utime.tv_sec * 1000 + r.ru_utime.tv_usec / 1000; };
             if (cpuMs(after) - cpuMs(before) > 150) throw std::runtime_error("spinning on the dead device");
             if (holds(pty.slavePath())) throw std::runtime_error("still holding the device");
             if (pty.locksName(::getpid())) throw std::runtime_error("its lock kept until the next command");
             comm.setDTREnable(true);
         },
         true},
        {"device gone: the next DTR write notices", nothing, 8017, gone, false,
         [](auto& comm, auto& pty) {
             start(comm);
             pty.closeMaster();
             comm.setDTREnable(false);
         },
         true},
        {"permission denied: a login's terminal (group tty)", owned("tty", 0620), 8011,
         "Permission denied: port 1 ({pty}). It belongs to group 'tty', as a terminal in use by a login (a getty) "
         "does. Pick another port, or ask an administrator.",
         true},
        {"permission denied: the device's group", owned("dialout", 0660), 8011,
         "Permission denied: port 1 ({pty}). The device belongs to group 'dialout': add your user to it (sudo "
         "usermod -aG dialout $USER), then log out and in again.",
         true},
        {"permission denied: root's alone", owned("root", 0600), 8011,
         "Permission denied: port 1 ({pty}). Ask an administrator for read and write access to {pty}.", true},
        {"busy: a lock file names a live process of another program",
         lockedBy(qt, "1\n" + programName(1) + "\nhost\n"), 8010, busy(init + ")")},
        {"busy: a UUCP lock names another user's live process, met by a normal user", lockedBy(uucp, tenColumns(1)),
         8010, busy(init + ", user root)"), true},
        {"busy: minicom 2.7's one line (pid, program, user) names a live process", lockedBy(uucp, self, 0), 8010,
         busy(processName(::getpid()) + " (pid " + std::to_string(::getpid()) + ")")},
        {"stale UUCP lock of a process that is gone: taken over", lockedBy(uucp, tenColumns(endedPid())), kOpened, ""},
        {"stale lock of a process that is gone: taken over", lockedBy(qt, std::to_string(endedPid()) + "\nminicom\n"),
         kOpened, ""},
        {"a lock whose pid another program has now: taken over", laterSleeper("\nminicom\n"), kOpened, ""},
        {"a lock whose pid another user's process has now: taken over", laterSleeper("\n", kNobody), kOpened, ""},
        // A clock set forward since it was written reads the same.
        {"a lock whose pid a later process has, nothing else telling: locked, saying what is known",
         laterSleeper("\n"), 8010,
         locked + "which names sleep (pid *), a process that started after the lock was written. Either the "
                  "system clock was set forward since, and that program uses the port, or the lock's own program "
                  "ended and its pid was given to another: then remove it (rm {lock})."},
        // Its time a few seconds ahead: a busy machine's delay before the
        // judgement must not age it past a second.
        {"a lock written just now holds, whatever it names (its writer may be mid-takeover)",
         lockedBy(qt, endedPidLine(), -5), 8010, fresh},
        {"an empty lock holds for 30 s (its writer has yet to write its pid)", lockedBy(qt, "", 20), 8010,
         locked + "which names no process yet: a program may be taking the port. Try again in a moment; a lock "
                  "that names none for 30 s counts as left behind."},
        {"an empty lock older than 30 s: taken over", lockedBy(qt, "", 40), kOpened, ""},
        {"another user's lock we may not read holds, naming its owner and the fix",
         owned("root", 0666, lockedBy(qt, endedPidLine(), 2, 0600)), 8010,
         locked + "which cannot be read here (Permission denied), so nothing tells whether its program still "
                  "runs. If no program of root's uses the port, its owner or an administrator can remove it (sudo rm "
                  "{lock}).",
         true},
        {"a stale lock that minicom rewrites as it is judged holds", lockedBy(qt, endedPidLine()), 8010,
         busy(init + ")"), false,
         [](auto& comm, auto& pty) {
             injected.beforeFlock = [lock = pty.qtLockFile()] { std::ofstream(lock) << tenColumns(1); };
             start(comm);
         }},
        {"a stale lock that minicom replaces as it is judged: the new one holds", lockedBy(qt, endedPidLine()), 8010,
         fresh, false,
         [](auto& comm, auto& pty) {
             injected.beforeFlock = [lock = pty.qtLockFile()] {
                 ::unlink(lock.c_str());
                 std::ofstream(lock) << tenColumns(endedPid());
             };
             start(comm);
         }},
        {"another user's stale lock, which we may not remove", owned("root", 0666, lockedBy(qt, endedPidLine())), 8018,
         "Stale lock: port 1 ({pty}) is locked by {lock}, left behind by user root: its process (pid *) has ended. "
         "Only its owner or an administrator can remove it (sudo rm {lock}).",
         true},
        {"busy: another user's program has it open under another name (a container's /dev), no lock",
         owned("root", 0666,
               heldBy(
                   kNobody, true, [](const char*) { ::open("/etc/hostname", O_RDWR | O_NOCTTY); },
                   [](const char* path) {
                       // In a mount namespace of its own, the device mounted over another file.
                       ::unshare(CLONE_NEWNS);
                       ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
                       ::mount(path, "/etc/hostname", nullptr, MS_BIND, nullptr);
                   })),
         8010, busy("pulse-holder (pid *, user nobody)")},
        // Its open files /proc shows to nobody but root.
        {"busy: an exclusive open by a process we may not look into",
         owned("root", 0666,
               heldBy(kNobody, false, [](const char* path) { ::ioctl(::open(path, O_RDWR | O_NOCTTY), TIOCEXCL); })),
         8010, busy("another program"), true},
        // As picocom, tio and pyserial's exclusive open lock it: /proc/locks tells all.
        {"busy: another user's flock on the device, met by a normal user",
         owned("root", 0666,
               heldBy(kDaemon, false, [](const char* path) { ::flock(::open(path, O_RDWR | O_NOCTTY), LOCK_EX); })),
         8010, busy("pulse-holder (pid *, user *)"), true},
    };
    for (const auto& f : faults) {
        PtyRig rig;
        PtyPair& pty = rig.pty;
        auto scene = f.scene(pty);
        termios before {}, after {};
        ::tcgetattr(pty.masterFd(), &before);
        std::unique_ptr<SerialComponent> comm;
        const Outcome outcome = inChild(
            [&] {
                injected.watchPath = pty.slavePath();
                if (f.unprivileged) becomeUnprivileged();
                comm = std::make_unique<SerialComponent>(rig.resolver);
                f.steps(*comm, pty);
                comm.reset(); // opened: its lock goes too, not left to be judged stale
            },
            // The component still alive: the refusal itself let the device and its locks go.
            [&] { return !comm->portOpen() && !holds(pty.slavePath()) && !pty.locksName(::getpid()); },
            [&] { if (f.childHoldsLastMaster) pty.closeMaster(); });
        EXPECT_EQ(outcome.number, f.number) << f.name << ": " << outcome.description;
        EXPECT_TRUE(pty.matches(outcome.description, f.description)) << f.name << ": " << outcome.description;
        EXPECT_TRUE(f.number == kOpened || outcome.released) << f.name << ": the refused component still holds it";
        // A port in use or locked is refused before it is opened. (8011's
        // child cannot open it: the release of its locks is what it can miss.)
        if (f.number == 8010 || f.number == 8018) {
            EXPECT_FALSE(outcome.opened) << f.name << ": refused only after opening it";
            ::tcgetattr(pty.masterFd(), &after);
            EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << f.name << ": the port's settings changed";
        }
        // Whoever held it, the port can be taken again once they let go; a
        // lock left by a process that has gone is taken over.
        if (!std::filesystem::exists(pty.slavePath())) continue; // the device went away with its master
        scene.reset();
        SerialComponent next(rig.resolver);
        EXPECT_NO_THROW(start(next)) << f.name << ": not released";
    }
}

} // namespace
