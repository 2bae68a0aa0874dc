// SPDX-License-Identifier: MIT
#include "termination_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Those of kSignals whose handler is ours: not those ignored at start.
volatile sig_atomic_t handled[std::size(kSignals)] = {};

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
    for (std::size_t i = 0; i < std::size(kSignals); ++i) // the second may be another of them
        if (handled[i]) setAction(kSignals[i], SIG_DFL);
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
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction inherited {};
        if (sigaction(kSignals[i], nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        handled[i] = 1;
        setAction(kSignals[i], forwardSignal);
    }
}

TerminationSignals::~TerminationSignals()
{
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        if (handled[i]) setAction(kSignals[i], SIG_DFL);
        handled[i] = 0;
    }
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

void TerminationSignals::deliverPending()
{
    if (wakeFds[1] >= 0) deliver(); // the socket does not block: nothing pending reads nothing
}

void endBySignal(int signal)
{
    setAction(signal, SIG_DFL);
    sigset_t only {};
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal); // not reached: the default action of these signals ends the process
}

} // namespace platform

