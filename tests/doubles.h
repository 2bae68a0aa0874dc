#pragma once

// Test doubles for the console's seams.

#include "console/host.h"
#include "console/untrapped_error.h"

#include <string>
#include <vector>

namespace testing_doubles {

// Records each property write as "CommPort=7", "PortOpen=true", ... and can
// refuse the write with a given index (counted from 0).
class RecordingComponent : public console::SerialComponent {
public:
    std::vector<std::string> writes;
    int refuseWrite = -1;
    int propertyWrites = 0;

    void setCommPort(std::int16_t port) override { record("CommPort=" + std::to_string(port)); }
    void setPortOpen(bool open) override { record(std::string("PortOpen=") + (open ? "true" : "false")); }
    void setDTREnable(bool enable) override { record(std::string("DTREnable=") + (enable ? "true" : "false")); }

private:
    void record(std::string write)
    {
        if (propertyWrites++ == refuseWrite) throw console::UntrappedError(8002, "refused " + write);
        writes.push_back(std::move(write));
    }
};

class FixedListText : public console::PortListText {
public:
    explicit FixedListText(std::string text) : text_(std::move(text)) {}
    std::string text() const override { return text_; }

private:
    std::string text_;
};

// Records the waits instead of waiting; each also lands in the shared log
// of writes, so the order of writes and waits can be checked together.
class RecordingSleep : public console::SleepService {
public:
    explicit RecordingSleep(std::vector<std::string>& log) : log_(log) {}
    void sleep(std::uint32_t milliseconds) override { log_.push_back("Sleep=" + std::to_string(milliseconds)); }

private:
    std::vector<std::string>& log_;
};

class RecordingEnd : public console::ProgramEnd {
public:
    explicit RecordingEnd(std::vector<std::string>& log) : log_(log) {}
    void endProgram() override { log_.push_back("End"); }

private:
    std::vector<std::string>& log_;
};

} // namespace testing_doubles
