// Pulse widths on the wire: the real program and a minimal C pulser, each
// 20 pulses on the same emulated 16550 in the same guest, read from the
// emulated hardware's side. Also the short high glitch each open makes.

#include "guest_run.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Figures {
    std::size_t count;
    double min, median, p99, max;
};

Figures figures(const std::vector<wire::Pulse>& pulses)
{
    std::vector<double> us;
    for (const auto& p : pulses) us.push_back(p.widthUs());
    std::sort(us.begin(), us.end());
    if (us.empty()) return {0, 0, 0, 0, 0};
    const auto at = [&](double q) { return us[static_cast<std::size_t>(q * static_cast<double>(us.size() - 1) + 0.5)]; };
    return {us.size(), us.front(), at(0.5), at(0.99), us.back()};
}

double glitch(const wire::LineTrace& trace, double from, double to)
{
    const auto pulses = trace.dtrPulses(from, to);
    return pulses.empty() ? 0 : pulses.front().widthUs();
}

} // namespace

int main()
{
    const auto run = wire::runInGuest(BENCH_DIR "/wire/pulses.sh", 600);
    if (!run.booted || run.status != 0) {
        std::fprintf(stderr, "the guest run failed:\n%s\n%s\n", run.reason.c_str(), run.guestLog.c_str());
        return 1;
    }
    const auto& t = run.trace;
    const auto m = [&](int v) { return t.markTime(v).value_or(0); };
    // The program: opened between marks 1 and 2, pulses between 2 and 3.
    const Figures program = figures(t.dtrPulses(m(2), m(3)));
    // The C pulser: its open glitch is the first high interval after mark 4, then its pulses.
    auto cPulses = t.dtrPulses(m(4), m(5));
    double cGlitch = 0;
    if (!cPulses.empty() && cPulses.front().widthUs() < 100'000) {
        cGlitch = cPulses.front().widthUs();
        cPulses.erase(cPulses.begin());
    }
    const Figures c = figures(cPulses);
    std::printf("DTR high time on the emulated 16550 (QEMU trace), microseconds\n");
    std::printf("%-18s %14s %14s\n", "", "dtr-pulse-out", "C pulser");
    std::printf("%-18s %14zu %14zu\n", "pulses", program.count, c.count);
    std::printf("%-18s %14.0f %14.0f\n", "min", program.min, c.min);
    std::printf("%-18s %14.0f %14.0f\n", "median", program.median, c.median);
    std::printf("%-18s %14.0f %14.0f\n", "p99", program.p99, c.p99);
    std::printf("%-18s %14.0f %14.0f\n", "max", program.max, c.max);
    std::printf("%-18s %14.0f %14.0f\n", "open glitch", glitch(t, m(1), m(2)), cGlitch);
    return program.min < 500'000 ? 1 : 0;
}
