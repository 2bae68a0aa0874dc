// SPDX-License-Identifier: MIT
#include "injected_calls.h"

#include <cerrno>
#include <cstdarg>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <climits>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <utility>

InjectedCalls injected;

namespace {

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// Takes the armed error, if any, into errno: true where the call must fail.
bool fails(int& armed)
{
    if (armed == 0) return false;
    errno = std::exchange(armed, 0);
    return true;
}

} // namespace

extern "C" int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (injected.openError && injected.openPath == path && fails(injected.openError)) return -1;
    static const auto real = next<int (*)(const char*, int, ...)>("open");
    const int fd = real(path, flags, mode);
    if (fd >= 0 && !injected.watchPath.empty() && injected.watchPath == path) injected.watchedOpened = true;
    return fd;
}

extern "C" int tcsetattr(int fd, int action, const termios* settings) noexcept
{
    if (fails(injected.tcsetattrError)) return -1;
    static const auto real = next<int (*)(int, int, const termios*)>("tcsetattr");
    return real(fd, action, settings);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (request == TIOCMBIS && fails(injected.setDtrError)) return -1;
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    return real(fd, request, argument);
}

// The path a descriptor was opened by.
static std::string pathOf(int fd)
{
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

extern "C" int flock(int fd, int operation) noexcept
{
    if (injected.beforeFlock && (injected.flockPath.empty() || injected.flockPath == pathOf(fd))) {
        injected.flockPath.clear();
        std::exchange(injected.beforeFlock, nullptr)();
    }
    static const auto real = next<int (*)(int, int)>("flock");
    return real(fd, operation);
}

extern "C" struct dirent* readdir(DIR* dir)
{
    if (injected.readdirFailsIn > 0 && injected.readdirPath == pathOf(::dirfd(dir)) && --injected.readdirFailsIn == 0) {
        errno = ENOENT;
        return nullptr;
    }
    static const auto real = next<struct dirent* (*)(DIR*)>("readdir");
    return real(dir);
}
