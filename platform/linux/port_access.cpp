// SPDX-License-Identifier: MIT
#include "port_access.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <signal.h>
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

// The "Uid:" line of /proc/PID/status: real, effective, saved and file
// system uid, in that order; empty where the process has gone.
std::vector<uid_t> processUids(long pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::vector<uid_t> uids;
    for (std::string key; status >> key;) {
        if (key == "Uid:") {
            for (unsigned long uid = 0; uids.size() < 4 && status >> uid;) uids.push_back(static_cast<uid_t>(uid));
            break;
        }
        status.ignore(4096, '\n');
    }
    return uids;
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
    if (const auto uids = processUids(pid); !uids.empty() && uids[0] != ::getuid()) holder.user = userName(uids[0]);
    return holder;
}

bool processHasUid(long pid, uid_t uid)
{
    const auto uids = processUids(pid);
    return std::find(uids.begin(), uids.end(), uid) != uids.end();
}

std::string executableName(long pid)
{
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), path, sizeof path - 1);
    if (n <= 0) return {};
    std::string name(path, static_cast<std::size_t>(n));
    constexpr std::string_view kDeleted = " (deleted)"; // the program was replaced while it runs
    if (name.size() > kDeleted.size() && name.compare(name.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        name.resize(name.size() - kDeleted.size());
    return name.substr(name.rfind('/') + 1);
}

std::optional<PortHolder> lockHolder(const std::string& devicePath)
{
    struct stat node {};
    if (::stat(devicePath.c_str(), &node) != 0) return std::nullopt;
    // "1: FLOCK  ADVISORY  WRITE 3594 00:1a:3 0 EOF": the holder's pid, then
    // the node's file system as hex major:minor and its inode (fs/locks.c,
    // lock_get_status). Lines of waiters begin "1: ->" and hold nothing.
    // Read in large pieces: each read() of /proc/locks walks the kernel's
    // list from its start to where the last one ended (seq_file), so 8 KiB
    // pieces make a long list cost its square.
    std::vector<char> piece(1 << 16);
    std::string text;
    if (const int fd = ::open("/proc/locks", O_RDONLY | O_CLOEXEC); fd >= 0) {
        for (ssize_t n; (n = ::read(fd, piece.data(), piece.size())) > 0;) text.append(piece.data(), static_cast<std::size_t>(n));
        ::close(fd);
    }
    std::istringstream locks(text);
    const long self = ::getpid();
    for (std::string line; std::getline(locks, line);) {
        char kind[16] = {};
        long holder = 0;
        unsigned int devMajor = 0, devMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(line.c_str(), "%*s %15s %*s %*s %ld %x:%x:%lu", kind, &holder, &devMajor, &devMinor, &inode)
                != 5
            || kind[0] == '-')
            continue;
        if (devMajor != major(node.st_dev) || devMinor != minor(node.st_dev) || inode != node.st_ino) continue;
        if (holder == self) continue;
        // A pid from another pid namespace shows as 0 or -1 (locks_translate_pid);
        // a flock outlives its taker in the children that inherited it.
        if (holder <= 0 || (::kill(static_cast<pid_t>(holder), 0) != 0 && errno != EPERM)) return PortHolder {};
        return processHolder(holder);
    }
    return std::nullopt;
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
    if (!holder || holder->pid == 0) return "another program";
    std::string who = "pid " + std::to_string(holder->pid);
    if (!holder->user.empty()) who += ", user " + holder->user;
    return (holder->program.empty() ? "another program" : holder->program) + " (" + who + ")";
}

bool accessDenied(const std::string& devicePath)
{
    // The mode bits alone, as the kernel weighs them for us (owner, else
    // group, else others): access() would answer for SELinux too, whose
    // denials joining a group does not cure.
    struct stat st {};
    if (::geteuid() == 0 || ::stat(devicePath.c_str(), &st) != 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)) + 1);
    groups.resize(static_cast<std::size_t>(std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    groups.push_back(::getegid());
    const bool member = std::find(groups.begin(), groups.end(), st.st_gid) != groups.end();
    const mode_t readWrite = st.st_uid == ::geteuid() ? S_IRUSR | S_IWUSR : member ? S_IRGRP | S_IWGRP : S_IROTH | S_IWOTH;
    return (st.st_mode & readWrite) != readWrite;
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
