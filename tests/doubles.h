// SPDX-License-Identifier: MIT
#pragma once

// Test doubles for the console's seams. Each records what it is asked to do
// in one shared log, so the order of writes, waits, releases and the end can
// be checked together.

#include "console/host.h"
#include "console/untrapped_error.h"
#include "platform/common/error_reporter.h"
#include "platform/common/hosted_component.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_doubles {

using Log = std::vector<std::string>;

// The serial component as the window hosts it: records each property write
// as "CommPort=7", "PortOpen=true", ..., its release and its destruction, and
// can refuse the write with a given index (counted from 0).
class RecordingComponent : public platform::HostedComponent {
public:
    explicit RecordingComponent(Log& log, int refuseWrite = -1) : log_(log), refuseWrite_(refuseWrite) {}
    ~RecordingComponent() override { log_.push_back("destroyed"); }

    void setCommPort(std::int16_t port) override { record("CommPort=" + std::to_string(port)); }
    void setPortOpen(bool open) override { record(std::string("PortOpen=") + (open ? "true" : "false")); }
    void setDTREnable(bool enable) override { record(std::string("DTREnable=") + (enable ? "true" : "false")); }
    void release() noexcept override { log_.push_back("release"); }

private:
    void record(std::string write)
    {
        if (writes_++ == refuseWrite_) throw console::UntrappedError(8005, "Port already open: port 3 (/dev/x).");
        log_.push_back(std::move(write));
    }
    Log& log_;
    int refuseWrite_;
    int writes_ = 0;
};

class FixedListText : public console::PortListText {
public:
    explicit FixedListText(std::string text) : text_(std::move(text)) {}
    std::string text() const override { return text_; }

private:
    std::string text_;
};

// Records each wait instead of waiting; `during` runs inside it once, as
// input arriving mid-pulse.
class RecordingSleep : public console::SleepService {
public:
    explicit RecordingSleep(Log& log) : log_(log) {}
    std::function<void()> during;
    void sleep(std::uint32_t milliseconds) override
    {
        log_.push_back("Sleep=" + std::to_string(milliseconds));
        if (auto once = std::exchange(during, nullptr)) once();
    }

private:
    Log& log_;
};

class RecordingEnd : public console::ProgramEnd {
public:
    explicit RecordingEnd(Log& log) : log_(log) {}
    void endProgram() override { log_.push_back("End"); }

private:
    Log& log_;
};

// The error report: "report 8013".
class RecordingReporter : public platform::ErrorReporter {
public:
    explicit RecordingReporter(Log& log) : log_(log) {}
    void report(const console::UntrappedError& e) override { log_.push_back("report " + std::to_string(e.number())); }

private:
    Log& log_;
};

} // namespace testing_doubles
