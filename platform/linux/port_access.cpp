#include "port_access.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string_view>

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The directories, in order, where serial programs look for lock files.
constexpr std::string_view kLockDirectories[] = {
    "/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock",
};

std::string lockFileName(const std::string& devicePath)
{
    std::string name = devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
    for (char& c : name)
        if (c == '/') c = '_';
    return "LCK.." + name;
}

std::string trimmed(std::string s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::optional<LockHolder> liveLockHolder(const std::string& devicePath)
{
    const std::string file = lockFileName(devicePath);
    for (const auto dir : kLockDirectories) {
        std::ifstream lock(std::string(dir) + "/" + file);
        if (!lock) continue;
        // Both layouts in use start with the pid: ASCII, padded (UUCP) or
        // plain with the program's name on the next line (Qt).
        std::string pidLine, nameLine;
        std::getline(lock, pidLine);
        std::getline(lock, nameLine);
        long pid = 0;
        try {
            pid = std::stol(trimmed(pidLine));
        } catch (...) {
            continue;
        }
        if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) continue; // stale
        std::string program;
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        if (!std::getline(comm, program)) program = trimmed(nameLine);
        return LockHolder{pid, trimmed(program)};
    }
    return std::nullopt;
}

std::optional<LockHolder> openHolder(const std::string& devicePath)
{
    std::error_code ec;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, ec);
    if (ec) return std::nullopt;
    const long self = static_cast<long>(::getpid());
    for (const auto& process : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = process.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        const long pid = std::stol(name);
        if (pid == self) continue;
        std::error_code fdError; // processes we may not look into, or that just ended
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            if (std::filesystem::read_symlink(fd.path(), linkError) != device) continue;
            std::string program;
            std::ifstream comm(process.path() / "comm");
            std::getline(comm, program);
            return LockHolder{pid, trimmed(program)};
        }
    }
    return std::nullopt;
}

std::string describeHolder(const std::optional<LockHolder>& holder)
{
    if (!holder) return "another program";
    const std::string pid = "pid " + std::to_string(holder->pid);
    return holder->program.empty() ? "another program (" + pid + ")" : holder->program + " (" + pid + ")";
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
    if (group.empty() || group == "root")
        return "Ask an administrator for read and write access to " + devicePath;
    return "The device belongs to group '" + group + "': add your user to it (sudo usermod -aG " + group
           + " $USER), then log out and in again";
}

} // namespace platform
