// SPDX-License-Identifier: MIT
#include "start_trials.h"

#include <algorithm>

namespace wire {

std::vector<Window> windows(const LineTrace& trace, int begin, int end)
{
    std::vector<Window> found;
    double from = -1; // no window open
    for (const auto& m : trace.marks) {
        if (m.value == begin) from = m.us;
        if (m.value == end && from >= 0) {
            found.push_back({from, m.us});
            from = -1;
        }
    }
    return found;
}

OpenLines openLines(const LineTrace& trace, const Window& window)
{
    OpenLines lines;
    const auto writes = trace.writesBetween(window.fromUs, window.toUs);
    for (const auto& w : writes) lines.anyLineSet = lines.anyLineSet || w.dtr() || w.rts();
    const auto raise = std::find_if(writes.begin(), writes.end(), [](const McrWrite& w) { return w.dtr(); });
    if (raise == writes.end()) return lines;
    lines.raised = true;
    const auto next = raise + 1;
    if (next != writes.end()) {
        lines.lowerNext = !next->dtr();
        lines.rtsDownByNext = !next->rts() || (next + 1 != writes.end() && !(next + 1)->rts());
    }
    const auto lowered = std::find_if(next, writes.end(), [](const McrWrite& w) { return !w.dtr(); });
    lines.glitchUs = (lowered == writes.end() ? window.toUs : lowered->us) - raise->us; // toUs: never lowered
    return lines;
}

double median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

} // namespace wire
