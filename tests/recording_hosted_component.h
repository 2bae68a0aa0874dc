#pragma once

// The serial component as the window hosts it, recording instead of driving
// a port: its writes, its release and its destruction go to a log that
// outlives it.

#include "console/untrapped_error.h"
#include "platform/hosted_component.h"

#include <functional>
#include <string>
#include <vector>

class RecordingHostedComponent : public platform::HostedComponent {
public:
    using Log = std::vector<std::string>;
    // refuseWrite: the index (from 0) of the property write to refuse.
    explicit RecordingHostedComponent(Log& log, int refuseWrite = -1) : log_(log), refuseWrite_(refuseWrite) {}
    ~RecordingHostedComponent() override { log_.push_back("destroyed"); }

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
