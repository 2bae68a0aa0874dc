// SPDX-License-Identifier: MIT
#pragma once

// Test doubles for the console's seams. Each records what it is asked to do
// in one shared log, so the order of writes, waits, releases and the end can
// be checked together.

#include "console/console_window.h"
#include "console/untrapped_error.h"
#include "platform/common/error_reporter.h"
#include "platform/common/hosted_component.h"

#include <functional>
#include <stdexcept>
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

// The port list: its edit field shows `text`; each entry added is logged as "AddItem=7".
class RecordingList : public console::PortListText, public console::PortListEntries {
public:
    RecordingList(Log& log, std::string text) : log_(log), text_(std::move(text)) {}
    std::string text() const override { return text_; }
    void addItem(const std::string& entry) override { log_.push_back("AddItem=" + entry); }

private:
    Log& log_;
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

// The error report: "report 8013", or with `describe` "report 8013 No device
// for port 9."; `whileUp` runs while it is shown; with `fails` showing it fails.
class RecordingReporter : public platform::ErrorReporter {
public:
    explicit RecordingReporter(Log& log, bool describe = false, bool fails = false)
        : log_(log), describe_(describe), fails_(fails) {}
    std::function<void()> whileUp;
    void report(const console::UntrappedError& e) override
    {
        log_.push_back("report " + std::to_string(e.number()) + (describe_ ? " " + e.description() : ""));
        if (whileUp) whileUp();
        if (fails_) throw std::runtime_error("the report could not be shown");
    }

private:
    Log& log_;
    bool describe_, fails_;
};

} // namespace testing_doubles
