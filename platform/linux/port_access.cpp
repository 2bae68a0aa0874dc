// SPDX-License-Identifier: MIT
#include "port_access.h"

#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <algorithm>
#include <cstdint>

#include <grp.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// QSerialPort's lock directories, in its order (Qt 6 qserialport_unix.cpp);
// it adds the user's temporary directory last.
constexpr std::string_view kLockDirectories[] = {
    "/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock",
};

// Where minicom and picocom keep their UUCP locks.
constexpr std::string_view kUucpLockDirectory = "/var/lock";

std::vector<std::string> qtLockDirectories()
{
    std::vector<std::string> dirs(std::begin(kLockDirectories), std::end(kLockDirectories));
    dirs.push_back(QStandardPaths::writableLocation(QStandardPaths::TempLocation).toStdString());
    return dirs;
}

// Qt names the lock after the device's path below /dev, '/' made '_'.
std::string qtLockFileName(const std::string& devicePath)
{
    std::string name = devicePath.rfind("/dev/", 0) == 0 ? devicePath.substr(5) : devicePath;
    for (char& c : name)
        if (c == '/') c = '_';
    return "LCK.." + name;
}

// Every lock file that can name a holder of the device.
std::vector<std::string> candidateLockFiles(const std::string& devicePath)
{
    std::vector<std::string> files;
    for (const auto& dir : qtLockDirectories()) files.push_back(dir + "/" + qtLockFileName(devicePath));
    const std::string uucp = uucpLockPath(devicePath);
    if (std::find(files.begin(), files.end(), uucp) == files.end()) files.push_back(uucp);
    return files;
}

// A lock file no live process holds any more. A QSerialPort program keeps
// flock() on its lock while it lives, so its lock is never removed here even
// if its pid were misread.
void removeStaleLock(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(path.c_str());
    ::close(fd);
}

std::string trimmed(std::string s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

constexpr std::size_t kMaxLockFileSize = 256; // QLockFile's three lines fit many times over

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The highest pid this system hands out.
long pidMax()
{
    long max = 0;
    std::ifstream("/proc/sys/kernel/pid_max") >> max;
    return max > 0 ? max : 4194304; // the kernel's own ceiling
}

// The pid a lock file names, in whichever form its program wrote it: ASCII
// decimal, padded to ten columns or not, with a newline or not (UUCP; Qt's
// QLockFile adds the program and the host on the lines after), or the old
// 4-byte binary pid. Anything else names no process; nor does a number that
// is no pid here (4294967295 would become -1, which kill() takes as every
// process).
std::optional<long> lockFilePid(const std::string& content)
{
    const std::string first = trimmed(content.substr(0, content.find('\n')));
    long pid = -1;
    if (!first.empty() && first.size() <= 10 && std::all_of(first.begin(), first.end(), isDigit)) {
        pid = std::stol(first);
    } else if (content.size() == sizeof(std::int32_t)) {
        std::int32_t binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        pid = binary;
    }
    if (pid < 1 || pid > pidMax()) return std::nullopt;
    return pid;
}

// The program's name in a QLockFile (its second line); empty otherwise.
std::string qtLockProgram(const std::string& content)
{
    const auto first = content.find('\n');
    if (first == std::string::npos) return {};
    const auto second = content.find('\n', first + 1);
    return content.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
}

} // namespace

std::string qtLockPath(const std::string& devicePath)
{
    const std::string file = qtLockFileName(devicePath);
    for (const auto& dir : qtLockDirectories()) {
        const std::string path = dir + "/" + file;
        if (::access(dir.c_str(), R_OK) != 0) continue;
        if (::access(path.c_str(), F_OK) == 0 || ::access(dir.c_str(), W_OK) == 0) return path;
    }
    return {};
}

std::string uucpLockPath(const std::string& devicePath)
{
    return std::string(kUucpLockDirectory) + "/LCK.." + std::filesystem::path(devicePath).filename().string();
}

std::optional<LockHolder> liveLockHolder(const std::string& devicePath)
{
    for (const auto& file : candidateLockFiles(devicePath)) {
        std::ifstream lock(file, std::ios::binary);
        if (!lock) continue;
        std::string content(kMaxLockFileSize, '\0');
        lock.read(content.data(), static_cast<std::streamsize>(content.size()));
        content.resize(static_cast<std::size_t>(lock.gcount()));
        const auto pid = lockFilePid(content);
        if (!pid || (::kill(static_cast<pid_t>(*pid), 0) != 0 && errno != EPERM)) continue; // stale
        std::string program;
        std::ifstream comm("/proc/" + std::to_string(*pid) + "/comm");
        if (!std::getline(comm, program)) program = qtLockProgram(content);
        return LockHolder{*pid, trimmed(program)};
    }
    return std::nullopt;
}

std::optional<LockHolder> openHolder(const std::string& devicePath)
{
    std::error_code ec;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, ec);
    if (ec) return std::nullopt;
    const std::string self = std::to_string(::getpid());
    // Processes come and go while we look: a directory that fails to read
    // ends its own walk (the rest of /proc, or one process's descriptors),
    // never the diagnosis.
    std::error_code procError;
    for (std::filesystem::directory_iterator process("/proc", procError), end; !procError && process != end;
         process.increment(procError)) {
        const std::string name = process->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos || name == self) continue;
        std::error_code fdError; // processes we may not look into, or that just ended
        for (std::filesystem::directory_iterator fd(process->path() / "fd", fdError); !fdError && fd != end;
             fd.increment(fdError)) {
            std::error_code linkError;
            if (std::filesystem::read_symlink(fd->path(), linkError) != device) continue;
            std::string program;
            std::ifstream comm(process->path() / "comm");
            std::getline(comm, program);
            return LockHolder{std::stol(name), trimmed(program)};
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

PortLock::PortLock() = default;

PortLock::~PortLock() { release(); }

void PortLock::release() noexcept { held_.clear(); } // QLockFile removes its file

PortLock::Outcome PortLock::take(const std::string& devicePath)
{
    release();
    failure_.clear();
    holder_ = liveLockHolder(devicePath);
    if (holder_) return Outcome::Held;
    const std::string qtPath = qtLockPath(devicePath);
    if (qtPath.empty()) {
        failure_ = "no lock directory is writable";
        return Outcome::NoLockDirectory;
    }
    std::vector<std::string> paths {qtPath};
    const std::string uucpPath = uucpLockPath(devicePath);
    if (uucpPath != qtPath && ::access(std::string(kUucpLockDirectory).c_str(), W_OK) == 0) paths.push_back(uucpPath);
    for (const auto& path : paths) {
        removeStaleLock(path); // no live process is named by it: checked above
        auto lock = std::make_unique<QLockFile>(QString::fromStdString(path));
        // Staleness was judged above by the pid; Qt's own rule would also
        // take a live holder's lock for its age or a missing program name.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            held_.push_back(std::move(lock));
            continue;
        }
        const int error = errno;
        if (lock->error() == QLockFile::LockFailedError) { // another program was quicker
            release();
            holder_ = liveLockHolder(devicePath);
            return Outcome::Held;
        }
        if (path != qtPath) continue; // the UUCP lock is taken where we may
        release();
        failure_ = "no lock directory is writable (creating " + path + ": " + std::strerror(error) + ")";
        return Outcome::NoLockDirectory;
    }
    return Outcome::Taken;
}

} // namespace platform
