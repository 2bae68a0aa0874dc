// SPDX-License-Identifier: MIT
#include "injected_calls.h"
#include "outcome.h"
#include "platform/linux/serial_component.h"
#include "processes.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using platform::SerialComponent;

// Port 2 is a device that is not there.
struct Rig : PtyRig {
    std::unique_ptr<SerialComponent> otherProgram; // holds the port where a case needs that
    std::shared_ptr<void> flocked;                 // a flock on the device, where a case takes one
    Rig() { resolver.devices[2] = "/dev/pts/999999"; }
};

// Start, with the open() of a path of the rig's failing.
template <typename Path>
std::function<void(SerialComponent&, Rig&)> startFailing(Path path, int error)
{
    return [=](SerialComponent& comm, Rig& rig) {
        injected.openPath = (rig.pty.*path)();
        injected.openError = error;
        start(comm);
    };
}

TEST(SerialComponent, OpensClosesReopensAndReleasesAPseudoTerminal)
{
    Rig rig;
    SerialComponent comm(rig.resolver);
    comm.setCommPort(1);
    comm.setDTREnable(true); // closed: kept for the next open, no error
    for (int round = 0; round < 2; ++round) {
        comm.setPortOpen(true);
        EXPECT_TRUE(comm.portOpen());
        comm.setPortOpen(false);
        EXPECT_FALSE(comm.portOpen());
        comm.setPortOpen(false); // closing a closed port does nothing
        // Exclusive while open only: the slave outlives our close, and others' opens would fail.
        int exclusive = -1;
        const int slave = ::open(rig.pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
        EXPECT_EQ(::ioctl(slave, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << "left exclusive";
        ::close(slave);
    }
    start(*std::make_unique<SerialComponent>(rig.resolver)); // destroyed, open, at the statement's end
    SerialComponent next(rig.resolver);
    EXPECT_NO_THROW(start(next)) << "not released when destroyed";
}

struct RefusalCase {
    const char* name;
    std::function<void(SerialComponent& comm, Rig& rig)> steps;
    int number;
    std::string description; // see PtyPair::matches
    bool holdsPort = false;  // the refusal leaves open a port opened before it
};

TEST(SerialComponent, RefusesWithANumberAndADescriptionNamingPortAndDevice)
{
    const RefusalCase refusals[] = {
        {"second open", [](auto& c, auto&) { start(c); c.setPortOpen(true); }, 8005,
         "Port already open: port 1 ({pty}).", true},
        {"CommPort while open", [](auto& c, auto&) { start(c); c.setCommPort(1); }, 8000,
         "Operation not valid while the port is opened: port 1 ({pty}) is open*", true},
        {"port number 0", [](auto& c, auto&) { c.setCommPort(0); }, 8002,
         "Invalid port number 0 (no device): port numbers start at 1."},
        {"negative port number", [](auto& c, auto&) { c.setCommPort(-32768); }, 8002,
         "Invalid port number -32768 (no device)*"},
        {"number with no device", [](auto& c, auto&) { c.setCommPort(9); c.setPortOpen(true); }, 8013,
         "No device for port 9 (no device). Ports present now: 1 = {pty}, 2 = /dev/pts/999999."},
        {"highest number, no device", [](auto& c, auto&) { c.setCommPort(32767); c.setPortOpen(true); }, 8013,
         "No device for port 32767 (no device). Ports present now: *"},
        {"device missing", [](auto& c, auto&) { c.setCommPort(2); c.setPortOpen(true); }, 8012,
         "Device missing: port 2 (/dev/pts/999999) is not there. Is it plugged in? Ports present now: *"},
        {"busy: held by another component",
         [](auto& c, auto& rig) {
             rig.otherProgram = std::make_unique<SerialComponent>(rig.resolver);
             start(*rig.otherProgram);
             start(c);
         },
         8010, "Port busy: port 1 ({pty}) is held by * (pid " + std::to_string(::getpid()) + "). Close that program*"},
        {"the system console",
         [](auto& c, auto& rig) { rig.resolver.consoles.insert(rig.pty.slavePath()); start(c); }, 8010,
         "Port busy: port 1 ({pty}) is the system console, which the kernel and logins use. Pick another port."},
        {"EACCES where the permissions allow it: confinement", startFailing(&PtyPair::slavePath, EACCES), 8014,
         "Could not open port 1 ({pty}): Permission denied, although the device's permissions allow it: a security "
         "policy (AppArmor, SELinux) or a sandbox (snap, Flatpak) confines this program."},
        {"another open() error", startFailing(&PtyPair::slavePath, EIO), 8014,
         "Could not open port 1 ({pty}): Input/output error."},
        {"the lock file cannot be made", startFailing(&PtyPair::qtLockFile, EROFS), 8014,
         "Could not open port 1 ({pty}): creating the lock file {lock} failed: Read-only file system."},
        {"the device flocked between the look and the open (its lines lowered, nothing else touched)",
         [](auto& c, auto& rig) {
             injected.flockPath = rig.pty.slavePath();
             injected.beforeFlock = [&rig] {
                 const int fd = ::open(rig.pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
                 ::flock(fd, LOCK_EX);
                 rig.flocked = std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
             };
             start(c);
         },
         8010, "Port busy: port 1 ({pty}) is held by another program. Close that program or pick another port."},
        {"termios refused", [](auto& c, auto&) { injected.tcsetattrError = EINVAL; start(c); }, 8014,
         "Could not open port 1 ({pty}): setting it up failed: Invalid argument."},
        {"DTR on a device without modem lines", [](auto& c, auto&) { start(c); c.setDTREnable(true); }, 8015,
         "No DTR line: port 1 ({pty}) has no modem-control lines, so DTR cannot be set.", true},
        {"DTR write refused on an open port",
         [](auto& c, auto&) { start(c); injected.setDtrError = EPERM; c.setDTREnable(true); }, 8016,
         "Could not set DTR on port 1 ({pty}): Operation not permitted. Was the device unplugged?", true},
    };
    for (const auto& r : refusals) {
        Rig rig;
        SerialComponent comm(rig.resolver);
        const Outcome outcome = outcomeOf([&] { r.steps(comm, rig); }); // number 0: not refused
        EXPECT_EQ(outcome.number, r.number) << r.name << ": " << outcome.text;
        EXPECT_TRUE(rig.pty.matches(outcome.text, r.description)) << r.name << ": " << outcome.text;
        EXPECT_EQ(injected.openError + injected.tcsetattrError + injected.setDtrError, 0)
            << r.name << ": the failure armed never came";
        EXPECT_FALSE(injected.beforeFlock) << r.name << ": the flock armed never came";
        // A refusal lets go of all it took; only a port that was open before
        // it stays open, until the component is told to let go.
        EXPECT_EQ(comm.portOpen(), r.holdsPort) << r.name;
        if (r.holdsPort) comm.release();
        rig.otherProgram.reset();
        rig.flocked.reset();
        rig.resolver.consoles.clear();
        SerialComponent next(rig.resolver);
        EXPECT_NO_THROW(start(next)) << r.name;
    }
}

// Speed 0 (B0) while open and after close: a later open leaves DTR and RTS
// alone. Open: 8N1 raw, no flow control; closed: the rest as found, so a
// program that sets only its speed reads as before.
TEST(SerialComponent, LeavesThePortAtSpeedZeroAndOtherwiseAsFound)
{
    Rig rig;
    termios found {};
    ASSERT_EQ(::tcgetattr(rig.pty.masterFd(), &found), 0);
    ASSERT_NE(::cfgetospeed(&found), B0) << "a fresh pseudo-terminal has a speed";
    ASSERT_TRUE(found.c_lflag & ICANON) << "a fresh pseudo-terminal is canonical";
    const auto settings = [&](const char* stage) {
        termios t {};
        EXPECT_EQ(::tcgetattr(rig.pty.masterFd(), &t), 0) << stage;
        EXPECT_EQ(::cfgetospeed(&t), B0) << stage;
        EXPECT_EQ(::cfgetispeed(&t), B0) << stage;
        EXPECT_TRUE(t.c_cflag & HUPCL) << stage << ": the kernel must drop the lines if we die";
        return t;
    };
    SerialComponent comm(rig.resolver);
    start(comm);
    const termios open = settings("while open");
    EXPECT_EQ(open.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(open.c_cflag & CLOCAL) << "no waiting for carrier";
    EXPECT_FALSE(open.c_lflag & (ICANON | ECHO | ISIG)) << "not raw";
    EXPECT_FALSE(open.c_iflag & (IXON | IXOFF | ICRNL)) << "not raw";
    EXPECT_FALSE(open.c_oflag & OPOST) << "not raw";
    comm.setPortOpen(false);
    const termios closed = settings("after close");
    EXPECT_EQ(closed.c_lflag, found.c_lflag);
    EXPECT_EQ(closed.c_iflag, found.c_iflag);
    EXPECT_EQ(closed.c_oflag, found.c_oflag);
    constexpr tcflag_t kSpeedAndHangUp = CBAUD | CIBAUD | HUPCL;
    EXPECT_EQ(closed.c_cflag & ~kSpeedAndHangUp, found.c_cflag & ~kSpeedAndHangUp) << "the frame as found";
    EXPECT_EQ(std::memcmp(closed.c_cc, found.c_cc, sizeof closed.c_cc), 0) << "the control characters as found";
}

// Whether a QSerialPort program (QLockFile::tryLock, in a process of its own)
// would get the lock.
bool qtProgramGetsLock(const std::string& file)
{
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile lock(QString::fromStdString(file));
        ::_exit(lock.tryLock(0) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SerialComponent, HoldsTheLocksOtherSerialProgramsHonour)
{
    SKIP_UNLESS_ROOT();
    Rig rig;
    SerialComponent comm(rig.resolver);
    const mode_t umask = ::umask(077);
    start(comm);
    ::umask(umask);
    const std::string qt = rig.pty.qtLockFile(), uucp = rig.pty.uucpLockFile();
    for (const auto& file : {qt, uucp}) {
        struct stat st {};
        EXPECT_EQ(::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0, 0644u) << file << ": others cannot read it";
    }
    // The device itself, as picocom, tio and pyserial look for it: flock()
    // on it fails; and every open but root's, which passes TIOCEXCL.
    const int other = ::open(rig.pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int exclusive = 0;
    EXPECT_EQ(::ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1) << "not exclusive while open";
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << "another program gets the device's flock";
    ::close(other);
    EXPECT_FALSE(qtProgramGetsLock(qt)) << "a QSerialPort program does not see us in " << qt;
    // Qt takes a lock older than 30 s for stale whoever holds it, and
    // removes it unless its holder keeps flock() on it, as we do.
    const timespec aged[] = {{::time(nullptr) - 40, 0}, {::time(nullptr) - 40, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, qt.c_str(), aged, 0), 0);
    EXPECT_FALSE(qtProgramGetsLock(qt)) << "a QSerialPort program takes our lock 40 s old";
    EXPECT_EQ(PtyPair::firstNumber(qt), ::getpid());
    EXPECT_EQ(PtyPair::firstNumber(uucp), ::getpid()) << "minicom or picocom do not see us in " << uucp;
    comm.setPortOpen(false);
    for (const auto& file : {qt, uucp}) EXPECT_NE(::access(file.c_str(), F_OK), 0) << file << " left behind";
}

} // namespace
