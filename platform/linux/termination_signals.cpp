// SPDX-License-Identifier: MIT
#include "termination_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the signal handler, read on the event loop: nothing else is
// safe to do inside a handler.
int wakeFds[2] = {-1, -1};

void setAction(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the default action is back as this handler starts, so
    // a second signal ends the program even when its event loop is stuck.
    action.sa_flags = SA_RESTART | (handler == SIG_DFL ? 0 : SA_RESETHAND);
    sigaction(signal, &action, nullptr);
}

// sigaction() and write() are async-signal-safe: nothing else is done here.
void forwardSignal(int signal)
{
    const int saved = errno;
    for (int other : kSignals) setAction(other, SIG_DFL); // the second may be another of them
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(wakeFds[0], &number, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeFds) != 0) return;
    notifier_ = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::deliver);
    for (int signal : kSignals) setAction(signal, forwardSignal);
}

TerminationSignals::~TerminationSignals()
{
    for (int signal : kSignals) setAction(signal, SIG_DFL);
    delete notifier_;
    for (int& fd : wakeFds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::deliver()
{
    unsigned char number = 0;
    if (::read(wakeFds[1], &number, 1) != 1) return;
    onSignal_(number);
}

} // namespace platform

