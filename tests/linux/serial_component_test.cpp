#include "map_resolver.h"
#include "console/untrapped_error.h"
#include "platform/linux/serial_component.h"
#include "pty.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
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
};

TEST(SerialComponent, RefusesWithANumberAndADescriptionNamingPortAndDevice)
{
    const Refusal refusals[] = {
        {"second open", [](auto& c, auto&) { c.setCommPort(1); c.setPortOpen(true); c.setPortOpen(true); },
         8005, "{pty}", "port 1"},
        {"CommPort while open", [](auto& c, auto&) { c.setCommPort(1); c.setPortOpen(true); c.setCommPort(1); },
         8000, "{pty}", "port 1"},
        {"port number 0", [](auto& c, auto&) { c.setCommPort(0); }, 8002, "no device", "port number 0"},
        {"negative port number", [](auto& c, auto&) { c.setCommPort(-32768); }, 8002, "no device",
         "port number -32768"},
        {"number with no device", [](auto& c, auto&) { c.setCommPort(9); c.setPortOpen(true); }, 8013,
         "1 = {pty}", "port 9"},
        {"highest number, no device", [](auto& c, auto&) { c.setCommPort(32767); c.setPortOpen(true); }, 8013,
         "Ports present now", "port 32767"},
        {"device missing", [](auto& c, auto&) { c.setCommPort(2); c.setPortOpen(true); }, 8012,
         "/dev/pts/999999", "port 2"},
        {"busy: held by another component",
         [](auto& c, auto& rig) {
             rig.otherProgram = std::make_unique<SerialComponent>(rig.resolver);
             rig.otherProgram->setCommPort(1);
             rig.otherProgram->setPortOpen(true);
             c.setCommPort(1);
             c.setPortOpen(true);
         },
         8010, "(pid " + std::to_string(::getpid()) + ")", "port 1"},
        {"DTR on a device without modem lines",
         [](auto& c, auto&) { c.setCommPort(1); c.setPortOpen(true); c.setDTREnable(true); }, 8015, "{pty}",
         "port 1"},
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
        // Whatever was refused, the port can be taken again at once once this component lets go.
        comm.release();
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

} // namespace
