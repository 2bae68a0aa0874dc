// SPDX-License-Identifier: MIT
#include "map_resolver.h"
#include "console/untrapped_error.h"
#include "platform/linux/serial_component.h"
#include "pty.h"

#include "platform/linux/port_access.h"

#include <gtest/gtest.h>

#include <QLockFile>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using platform::SerialComponent;

struct Rig {
    PtyPair pty;
    MapResolver resolver;
    std::unique_ptr<SerialComponent> otherProgram; // holds the port where a case needs that
    Rig()
    {
        resolver.devices[1] = pty.slavePath();
        resolver.devices[2] = "/dev/pts/999999";
    }
};

TEST(SerialComponent, OpensClosesAndReopensAPseudoTerminal)
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
    }
}

struct Refusal {
    const char* name;
    std::function<void(SerialComponent& comm, Rig& rig)> steps;
    int number;
    std::string mustMention; // besides the port number; "{pty}" stands for the device
    std::string port;        // the port number the text must name
    bool holdsPort;          // the refusal leaves open a port opened before it
};

TEST(SerialComponent, RefusesWithANumberAndADescriptionNamingPortAndDevice)
{
    const Refusal refusals[] = {
        {"second open", [](auto& c, auto&) { c.setCommPort(1); c.setPortOpen(true); c.setPortOpen(true); },
         8005, "{pty}", "port 1", true},
        {"CommPort while open", [](auto& c, auto&) { c.setCommPort(1); c.setPortOpen(true); c.setCommPort(1); },
         8000, "{pty}", "port 1", true},
        {"port number 0", [](auto& c, auto&) { c.setCommPort(0); }, 8002, "no device", "port number 0", false},
        {"negative port number", [](auto& c, auto&) { c.setCommPort(-32768); }, 8002, "no device",
         "port number -32768", false},
        {"number with no device", [](auto& c, auto&) { c.setCommPort(9); c.setPortOpen(true); }, 8013,
         "1 = {pty}", "port 9", false},
        {"highest number, no device", [](auto& c, auto&) { c.setCommPort(32767); c.setPortOpen(true); }, 8013,
         "Ports present now", "port 32767", false},
        {"device missing", [](auto& c, auto&) { c.setCommPort(2); c.setPortOpen(true); }, 8012,
         "/dev/pts/999999", "port 2", false},
        {"busy: held by another component",
         [](auto& c, auto& rig) {
             rig.otherProgram = std::make_unique<SerialComponent>(rig.resolver);
             rig.otherProgram->setCommPort(1);
             rig.otherProgram->setPortOpen(true);
             c.setCommPort(1);
             c.setPortOpen(true);
         },
         8010, "(pid " + std::to_string(::getpid()) + ")", "port 1", false},
        {"DTR on a device without modem lines",
         [](auto& c, auto&) { c.setCommPort(1); c.setPortOpen(true); c.setDTREnable(true); }, 8015, "{pty}",
         "port 1", true},
    };
    for (const auto& r : refusals) {
        Rig rig;
        SerialComponent comm(rig.resolver);
        std::string mention = r.mustMention;
        if (const auto at = mention.find("{pty}"); at != std::string::npos)
            mention.replace(at, 5, rig.pty.slavePath());
        try {
            r.steps(comm, rig);
            ADD_FAILURE() << r.name << ": not refused";
        } catch (const console::UntrappedError& e) {
            EXPECT_EQ(e.number(), r.number) << r.name << ": " << e.description();
            EXPECT_NE(e.description().find(mention), std::string::npos) << r.name << ": " << e.description();
            EXPECT_NE(e.description().find(r.port), std::string::npos) << r.name << ": " << e.description();
        }
        // A refusal lets go of all it took; only a port that was open before
        // it stays open, until the component is told to let go.
        EXPECT_EQ(comm.portOpen(), r.holdsPort) << r.name;
        if (r.holdsPort) comm.release();
        rig.otherProgram.reset();
        SerialComponent next(rig.resolver);
        next.setCommPort(1);
        EXPECT_NO_THROW(next.setPortOpen(true)) << r.name;
    }
}

TEST(SerialComponent, DestroyingItReleasesThePort)
{
    Rig rig;
    {
        SerialComponent first(rig.resolver);
        first.setCommPort(1);
        first.setPortOpen(true);
    }
    SerialComponent second(rig.resolver);
    second.setCommPort(1);
    EXPECT_NO_THROW(second.setPortOpen(true));
}

// The speed stays 0 (B0) while open and after close: a later open then
// leaves DTR and RTS alone. While open the port is 8N1 raw with no flow
// control; after close the rest is as it was found, so a program that sets
// only its speed reads as before.
TEST(SerialComponent, LeavesThePortAtSpeedZeroAndOtherwiseAsFound)
{
    Rig rig;
    termios found {};
    ASSERT_EQ(::tcgetattr(rig.pty.masterFd(), &found), 0);
    ASSERT_NE(::cfgetospeed(&found), B0) << "a fresh pseudo-terminal has a speed";
    ASSERT_TRUE(found.c_lflag & ICANON) << "a fresh pseudo-terminal is canonical";
    SerialComponent comm(rig.resolver);
    comm.setCommPort(1);
    struct Stage {
        const char* name;
        std::function<void()> step;
        bool raw; // else as found
    };
    const Stage stages[] = {
        {"while open", [&] { comm.setPortOpen(true); }, true},
        {"after close", [&] { comm.setPortOpen(false); }, false},
    };
    for (const auto& stage : stages) {
        SCOPED_TRACE(stage.name);
        stage.step();
        termios t {};
        ASSERT_EQ(::tcgetattr(rig.pty.masterFd(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), B0);
        EXPECT_EQ(::cfgetispeed(&t), B0);
        EXPECT_TRUE(t.c_cflag & HUPCL) << "the kernel must drop the lines if we die";
        if (stage.raw) {
            EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
            EXPECT_TRUE(t.c_cflag & CLOCAL) << "no waiting for carrier";
            EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG)) << "not raw";
            EXPECT_FALSE(t.c_iflag & (IXON | IXOFF | ICRNL)) << "not raw";
            EXPECT_FALSE(t.c_oflag & OPOST) << "not raw";
        } else {
            EXPECT_EQ(t.c_lflag, found.c_lflag);
            EXPECT_EQ(t.c_iflag, found.c_iflag);
            EXPECT_EQ(t.c_oflag, found.c_oflag);
            EXPECT_EQ(t.c_cc[VMIN], found.c_cc[VMIN]);
        }
    }
}

long firstLinePid(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return std::strtol(line.c_str(), nullptr, 10); // as minicom and picocom read it
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
    if (::access("/var/lock", W_OK) != 0) GTEST_SKIP() << "/var/lock is not writable here";
    Rig rig;
    const std::string device = rig.pty.slavePath();
    SerialComponent comm(rig.resolver);
    comm.setCommPort(1);
    comm.setPortOpen(true);
    struct Reader {
        const char* who;
        std::string file;
        std::function<bool(const std::string&)> seesUs;
    };
    const Reader readers[] = {
        {"a QSerialPort program", platform::qtLockPath(device),
         [](const std::string& f) { return !qtProgramGetsLock(f); }},
        {"minicom or picocom", platform::uucpLockPath(device),
         [](const std::string& f) { return firstLinePid(f) == ::getpid(); }},
    };
    for (const auto& r : readers) EXPECT_TRUE(r.seesUs(r.file)) << r.who << " does not see us in " << r.file;
    comm.setPortOpen(false);
    for (const auto& r : readers) EXPECT_NE(::access(r.file.c_str(), F_OK), 0) << r.file << " left behind";
}

} // namespace
