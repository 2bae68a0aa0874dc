// SPDX-License-Identifier: MIT
#include "port_access.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <string_view>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {
namespace {

bool isPid(const char* name)
{
    if (!*name) return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9') return false;
    return true;
}

std::string firstLine(const std::string& path)
{
    std::string line;
    std::ifstream in(path);
    std::getline(in, line);
    return line;
}

// The real uid on the "Uid:" line of /proc/PID/status.
std::optional<uid_t> processUid(long pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string key; status >> key;) {
        if (key == "Uid:") {
            unsigned long uid = 0;
            if (status >> uid) return static_cast<uid_t>(uid);
            return std::nullopt;
        }
        status.ignore(4096, '\n');
    }
    return std::nullopt;
}

// Whether the descriptors of process `pid` include one on the character
// device `device`. AT_STATX_DONT_SYNC: the attributes the kernel has cached,
// so a descriptor on a dead NFS server cannot hang the scan.
bool holdsDevice(int procFd, const char* pid, dev_t device)
{
    const int fdDir = ::openat(procFd, (std::string(pid) + "/fd").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir < 0) return false; // not ours to look into, or just ended
    DIR* fds = ::fdopendir(fdDir);
    if (!fds) {
        ::close(fdDir);
        return false;
    }
    bool found = false;
    // A read that fails (the process ended meanwhile) ends this walk only.
    while (const dirent* fd = ::readdir(fds)) {
        if (fd->d_name[0] == '.') continue;
        struct statx st {};
        if (::statx(fdDir, fd->d_name, AT_STATX_DONT_SYNC, STATX_TYPE, &st) == 0 && S_ISCHR(st.stx_mode)
            && makedev(st.stx_rdev_major, st.stx_rdev_minor) == device) {
            found = true;
            break;
        }
    }
    ::closedir(fds);
    return found;
}

} // namespace

std::string userName(uid_t uid)
{
    if (const passwd* user = ::getpwuid(uid)) return user->pw_name;
    return "uid " + std::to_string(uid);
}

PortHolder processHolder(long pid)
{
    PortHolder holder;
    holder.pid = pid;
    holder.program = firstLine("/proc/" + std::to_string(pid) + "/comm");
    if (const auto uid = processUid(pid); uid && *uid != ::getuid()) holder.user = userName(*uid);
    return holder;
}

std::optional<PortHolder> openHolder(const std::string& devicePath)
{
    struct stat device {};
    if (::stat(devicePath.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) return std::nullopt;
    DIR* proc = ::opendir("/proc");
    if (!proc) return std::nullopt;
    const std::string self = std::to_string(::getpid());
    std::optional<PortHolder> holder;
    // Processes come and go while we look: a directory read that fails ends
    // its own walk, never the diagnosis.
    while (const dirent* process = ::readdir(proc)) {
        if (!isPid(process->d_name) || process->d_name == self) continue;
        if (holdsDevice(::dirfd(proc), process->d_name, device.st_rdev)) {
            holder = processHolder(std::stol(process->d_name));
            break;
        }
    }
    ::closedir(proc);
    return holder;
}

std::string describeHolder(const std::optional<PortHolder>& holder)
{
    if (!holder) return "another program";
    if (holder->pid == 0)
        return holder->lockFile.empty() ? "another program" : "another program (lock file " + holder->lockFile + ")";
    std::string who = "pid " + std::to_string(holder->pid);
    if (!holder->user.empty()) who += ", user " + holder->user;
    return (holder->program.empty() ? "another program" : holder->program) + " (" + who + ")";
}

bool accessDenied(const std::string& devicePath)
{
    return ::access(devicePath.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
}

std::string accessAdvice(const std::string& devicePath)
{
    struct stat st {};
    std::string group;
    if (::stat(devicePath.c_str(), &st) == 0)
        if (const struct group* g = ::getgrgid(st.st_gid)) group = g->gr_name;
    // login and getty give the terminal they serve to its user, group tty:
    // joining that group would not help, and the port is in use anyway.
    if (group == "tty")
        return "It belongs to group 'tty', as a terminal in use by a login (a getty) does. Pick another port, or ask "
               "an administrator";
    if (group.empty() || group == "root")
        return "Ask an administrator for read and write access to " + devicePath;
    return "The device belongs to group '" + group + "': add your user to it (sudo usermod -aG " + group
           + " $USER), then log out and in again";
}

} // namespace platform
