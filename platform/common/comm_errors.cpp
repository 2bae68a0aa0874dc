// SPDX-License-Identifier: MIT
#include "comm_errors.h"

#include <stdexcept>

namespace platform {
namespace {

// The numbers are stable and listed in the manual: a user who meets one can
// look it up, so none is ever reused for another cause.
constexpr CommFaultRow kCommFaults[] = {
    {CommFault::PortOpenNow, 8000,
     "Operation not valid while the port is opened: port {port} ({device}) is open, "
     "so the port number cannot be changed"},
    {CommFault::InvalidPortNumber, 8002, "Invalid port number {port} ({device}): port numbers start at 1"},
    {CommFault::AlreadyOpen, 8005, "Port already open: port {port} ({device})"},
    {CommFault::Busy, 8010,
     "Port busy: port {port} ({device}) is held by {detail}. Close that program or pick another port"},
    // The console is busy for good; its own text says so.
    {CommFault::SystemConsole, 8010,
     "Port busy: port {port} ({device}) is the system console, which the kernel and logins use. Pick another port"},
    // What is known of the lock, and what the user can do, is the detail.
    {CommFault::Locked, 8010, "Port busy: port {port} ({device}) is locked by {detail}"},
    {CommFault::PermissionDenied, 8011, "Permission denied: port {port} ({device}). {detail}"},
    {CommFault::DeviceMissing, 8012,
     "Device missing: port {port} ({device}) is not there. Is it plugged in? {detail}"},
    {CommFault::NoDevice, 8013, "No device for port {port} ({device}). {detail}"},
    {CommFault::OpenFailed, 8014, "Could not open port {port} ({device}): {detail}"},
    {CommFault::NoDtrLine, 8015,
     "No DTR line: port {port} ({device}) has no modem-control lines, so DTR cannot be set"},
    {CommFault::LineFailed, 8016,
     "Could not set DTR on port {port} ({device}): {detail}. Was the device unplugged?"},
    {CommFault::DeviceGone, 8017,
     "Device gone: port {port} ({device}) went away while open ({detail}). Was it unplugged? "
     "The port has been closed"},
    {CommFault::StaleLock, 8018, "Stale lock: port {port} ({device}) is locked by {detail}"},
};

const CommFaultRow& rowFor(CommFault fault)
{
    for (const auto& row : kCommFaults)
        if (row.fault == fault) return row;
    throw std::logic_error("serial fault without a table row");
}

void replaceAll(std::string& text, const std::string& key, const std::string& value)
{
    for (auto at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
}

} // namespace

int commErrorNumber(CommFault fault) { return rowFor(fault).number; }

std::span<const CommFaultRow> commFaultTable() { return kCommFaults; }

console::UntrappedError commError(CommFault fault, int port, const std::string& device, const std::string& detail)
{
    const auto& row = rowFor(fault);
    std::string text = row.text;
    // The detail goes in last: it may itself hold braces from a system message.
    replaceAll(text, "{port}", std::to_string(port));
    replaceAll(text, "{device}", device.empty() ? "no device" : device);
    replaceAll(text, "{detail}", detail);
    while (!text.empty() && text.back() == ' ') text.pop_back(); // an empty detail
    if (!text.empty() && text.back() != '.' && text.back() != '?') text += '.';
    return console::UntrappedError(row.number, text);
}

} // namespace platform
