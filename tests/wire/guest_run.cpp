// SPDX-License-Identifier: MIT
#include "guest_run.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <stdlib.h>
#include <sys/wait.h>

namespace wire {
namespace {

std::string slurp(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

GuestRun runInGuest(const std::string& script, int timeoutSeconds)
{
    GuestRun run;
    char dir[] = "/tmp/wire-XXXXXX";
    if (!::mkdtemp(dir)) {
        run.reason = "no temporary directory";
        return run;
    }
    const std::string out = dir;
    const std::string wireDir = WIRE_SOURCE_DIR;
    const std::string path = script.find('/') == std::string::npos ? wireDir + "/scenarios/" + script + ".sh" : script;
    // The guest runs the program of the build this test belongs to (plain or
    // sanitized), or of the build WIRE_BUILD_DIR names (to bench another one).
    const char* buildDir = std::getenv("WIRE_BUILD_DIR");
    const std::string limit = timeoutSeconds > 0 ? " " + std::to_string(timeoutSeconds) : "";
    const std::string command = "WIRE_BUILD_DIR=" + std::string(buildDir && *buildDir ? buildDir : WIRE_BUILD_DIR) + " bash " + wireDir + "/guest.sh " + out + " " + path + limit
                                + " 2>" + out + "/harness.log";
    const int raw = std::system(command.c_str());
    const int harness = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.booted = harness != 77;
    run.reason = slurp(out + "/harness.log");
    run.guestLog = slurp(out + "/guest.log");
    if (harness == 0) {
        run.status = std::stoi(slurp(out + "/status"));
        std::ifstream results(out + "/results");
        for (std::string line; std::getline(results, line);)
            if (const auto eq = line.find('='); eq != std::string::npos) run.results[line.substr(0, eq)] = line.substr(eq + 1);
        std::ifstream trace(out + "/trace.log");
        run.trace = LineTrace::parse(trace);
        std::ifstream usbTrace(out + "/usb_trace.log");
        run.usbTrace = LineTrace::parseFtdi(usbTrace);
        run.usbTrace.marks = run.trace.marks;
    }
    std::filesystem::remove_all(out);
    return run;
}

} // namespace wire
