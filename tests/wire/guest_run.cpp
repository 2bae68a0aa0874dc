// SPDX-License-Identifier: MIT
#include "guest_run.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdlib.h>
#include <sys/wait.h>

namespace wire {
namespace {

// guest.sh writes this mark as each scenario begins.
constexpr int kScenarioBegins = 255;

std::string slurp(const std::filesystem::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string scriptPath(const std::string& script)
{
    return script.find('/') == std::string::npos ? WIRE_SOURCE_DIR "/scenarios/" + script + ".sh" : script;
}

// The part of `trace` from `fromUs` to `toUs`, its marks included, starting
// from the level the lines had at `fromUs`.
LineTrace part(const LineTrace& trace, double fromUs, double toUs)
{
    LineTrace piece;
    if (const McrWrite before = trace.levelAt(fromUs); before.value != 0) piece.mcr.push_back({fromUs, before.value});
    for (const auto& w : trace.writesBetween(fromUs, toUs)) piece.mcr.push_back(w);
    for (const auto& m : trace.marks)
        if (m.us >= fromUs && m.us < toUs && m.value != kScenarioBegins) piece.marks.push_back(m);
    return piece;
}

} // namespace

std::vector<GuestRun> runInGuest(const std::vector<std::string>& scripts)
{
    std::vector<GuestRun> runs(scripts.size());
    char dir[] = "/tmp/wire-XXXXXX";
    if (!::mkdtemp(dir)) {
        for (auto& run : runs) run.reason = "no temporary directory";
        return runs;
    }
    const std::string out = dir;
    // The program of this test's build (plain or sanitized), or WIRE_BUILD_DIR's.
    const char* buildDir = std::getenv("WIRE_BUILD_DIR");
    std::string command = "WIRE_BUILD_DIR=" + std::string(buildDir && *buildDir ? buildDir : WIRE_BUILD_DIR)
                          + " bash " WIRE_SOURCE_DIR "/guest.sh " + out;
    for (const auto& script : scripts) command += " " + scriptPath(script);
    command += " 2>" + out + "/harness.log";
    const int raw = std::system(command.c_str());
    const int harness = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const std::string reason = slurp(out + "/harness.log");

    std::ifstream trace(out + "/trace.log"), usbTrace(out + "/usb_trace.log");
    const LineTrace whole = LineTrace::parse(trace), usbWhole = LineTrace::parseFtdi(usbTrace);
    std::vector<double> begins;
    for (const auto& m : whole.marks)
        if (m.value == kScenarioBegins) begins.push_back(m.us);

    for (std::size_t i = 0; i < scripts.size(); ++i) {
        GuestRun& run = runs[i];
        run.booted = harness != 77;
        run.reason = reason;
        const std::string own = out + "/" + std::filesystem::path(scriptPath(scripts[i])).stem().string();
        run.guestLog = slurp(own + "/guest.log");
        if (harness != 0) continue;
        if (const std::string status = slurp(own + "/status"); !status.empty()) run.status = std::stoi(status);
        std::ifstream results(own + "/results");
        for (std::string line; std::getline(results, line);)
            if (const auto eq = line.find('='); eq != std::string::npos) run.results[line.substr(0, eq)] = line.substr(eq + 1);
        if (i >= begins.size()) {
            run.reason += "no mark shows where this scenario began in the trace\n";
            run.status = -1;
            continue;
        }
        const double from = begins[i], to = i + 1 < begins.size() ? begins[i + 1] : 1e300;
        run.trace = part(whole, from, to);
        run.usbTrace = part(usbWhole, from, to);
        run.usbTrace.marks = run.trace.marks;
    }
    std::filesystem::remove_all(out);
    return runs;
}

const GuestRun& scenarioRun(const std::string& name)
{
    static std::map<std::string, GuestRun> runs;
    if (const auto known = runs.find(name); known != runs.end()) return known->second;
    std::vector<std::string> guest;
    std::istringstream listed(std::getenv("WIRE_GUEST") ? std::getenv("WIRE_GUEST") : "");
    for (std::string one; std::getline(listed, one, ',');)
        if (!one.empty()) guest.push_back(one);
    if (std::find(guest.begin(), guest.end(), name) == guest.end()) guest = {name};
    auto results = runInGuest(guest);
    for (std::size_t i = 0; i < guest.size(); ++i) runs[guest[i]] = std::move(results[i]);
    return runs.at(name);
}

} // namespace wire
