// SPDX-License-Identifier: MIT
#include "port_lock.h"

#include "lock_file.h"

#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits.h>
#include <signal.h>
#include <sstream>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
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

// A lock written less than this long ago holds whatever it says: its writer
// may not have written its pid yet, or may just have replaced a stale one.
// It is also the leeway when a lock's time is held against its process's
// start (file times come from the kernel's coarse clock, start times in
// clock ticks).
constexpr double kFreshSeconds = 1.0;

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
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

// The lock a QSerialPort program takes: in the first readable directory of
// Qt's list that holds one already or is writable. Empty where none qualifies.
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

// minicom's and picocom's: named after the device's base name.
std::string uucpLockPath(const std::string& devicePath)
{
    return std::string(kUucpLockDirectory) + "/LCK.." + std::filesystem::path(devicePath).filename().string();
}

// Whether two lock paths name one file, through links in their directories.
bool sameFile(const std::string& a, const std::string& b)
{
    const auto real = [](const std::string& path) {
        std::error_code ec;
        const std::filesystem::path p(path);
        return std::filesystem::weakly_canonical(p.parent_path(), ec) / p.filename();
    };
    return !a.empty() && !b.empty() && real(a) == real(b);
}

// The highest pid this system hands out.
long pidMax()
{
    long max = 0;
    std::ifstream("/proc/sys/kernel/pid_max") >> max;
    return max > 0 ? max : 4194304; // the kernel's own ceiling
}

double seconds(const timespec& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9; }

double clockSeconds(clockid_t clock)
{
    timespec t {};
    ::clock_gettime(clock, &t);
    return seconds(t);
}

// When process `pid` started, on the real-time clock, from field 22 of
// /proc/PID/stat (clock ticks since boot, suspend included: CLOCK_BOOTTIME).
std::optional<double> processStart(long pid)
{
    std::string stat;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/stat"), stat);
    const auto command = stat.rfind(')'); // the program's name may hold anything, ')' too
    if (command == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(command + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        if (!(fields >> field)) return std::nullopt;
    const double started = std::strtod(field.c_str(), nullptr) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return clockSeconds(CLOCK_REALTIME) - (clockSeconds(CLOCK_BOOTTIME) - started);
}

bool alive(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM; }

struct Judgement {
    bool held = true;
    PortHolder holder;          // where held
    std::optional<long> pid;    // the process it names, ended where stale
};

// What the lock file open on `fd` says now. A file that cannot be read, is
// empty or was written within the last second holds; else it holds while
// the process it names lives and started before the file was last written
// (a later start is a new process that was given the same pid).
Judgement judge(int fd, const std::string& path)
{
    Judgement j;
    j.holder.lockFile = path;
    struct stat st {};
    char bytes[kMaxLockFileSize];
    const ssize_t size = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::pread(fd, bytes, sizeof bytes, 0) : -1;
    if (size < 0) return j;
    const LockFileContent content = readLockFile({bytes, static_cast<std::size_t>(size)}, pidMax());
    j.pid = content.pid;
    const double written = seconds(st.st_mtim);
    if (content.pid && alive(*content.pid)) {
        const auto started = processStart(*content.pid);
        if (!started || *started <= written + kFreshSeconds) {
            j.holder = processHolder(*content.pid);
            j.holder.lockFile = path;
            if (j.holder.program.empty()) j.holder.program = content.program;
            return j;
        }
    }
    if (size == 0 || clockSeconds(CLOCK_REALTIME) - written < kFreshSeconds) return j;
    j.held = false;
    return j;
}

// Our lock in QLockFile's form, which minicom and picocom read too (they
// take the number on its first line). A QSerialPort program holds a lock
// valid while its pid lives and that process's /proc/PID/exe has the base
// name on the second line.
std::string lockContent()
{
    char exe[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string program = "dtr-pulse-out";
    if (n > 0) program = std::filesystem::path(std::string(exe, static_cast<std::size_t>(n))).filename().string();
    constexpr std::string_view kDeleted = " (deleted)"; // the program was replaced while it runs
    if (const auto at = program.rfind(kDeleted); at != std::string::npos && at + kDeleted.size() == program.size())
        program.resize(at);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return std::to_string(::getpid()) + "\n" + program + "\n" + host + "\n";
}

bool writeAll(int fd, const std::string& text)
{
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string staleLockAdvice(const std::string& path, uid_t owner, std::optional<long> pid)
{
    return path + ", left behind by user " + userName(owner) + ": "
           + (pid ? "its process (pid " + std::to_string(*pid) + ") has ended" : "it names no process")
           + ". Only its owner or an administrator can remove it (sudo rm " + path + ")";
}

} // namespace

PortLock::~PortLock() { release(); }

void PortLock::release() noexcept
{
    for (const auto& lock : held_) {
        // Only our own file: if it was removed and replaced, the new one is another program's.
        struct stat st {};
        if (::lstat(lock.path.c_str(), &st) == 0 && st.st_dev == lock.dev && st.st_ino == lock.ino)
            ::unlink(lock.path.c_str());
        ::close(lock.fd);
    }
    held_.clear();
}

PortLock::Outcome PortLock::take(const std::string& devicePath)
{
    release();
    holder_.reset();
    detail_.clear();
    const std::string qtPath = qtLockPath(devicePath), uucpPath = uucpLockPath(devicePath);
    // A live lock in a directory we make none in holds the device too.
    // (/var/lock is often a link to /run/lock: the same file, judged once.)
    const auto ours = [&](const std::string& file) { return sameFile(file, qtPath) || sameFile(file, uucpPath); };
    for (const auto& dir : qtLockDirectories()) {
        const std::string file = dir + "/" + qtLockFileName(devicePath);
        if (ours(file)) continue;
        const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) continue;
        const Judgement j = fd < 0 ? Judgement {} : judge(fd, file);
        if (fd >= 0) ::close(fd);
        if (j.held) {
            holder_ = j.holder;
            holder_->lockFile = file;
            return Outcome::Held;
        }
    }
    if (qtPath.empty()) {
        detail_ = "no lock directory is writable";
        return Outcome::Failed;
    }
    Outcome outcome = acquire(qtPath, true);
    if (outcome == Outcome::Taken && uucpPath != qtPath) outcome = acquire(uucpPath, false);
    if (outcome != Outcome::Taken) release();
    return outcome;
}

PortLock::Outcome PortLock::acquire(const std::string& path, bool required)
{
    // Each stale lock removed may be replaced by a quicker program's: a few rounds.
    for (int round = 0; round < 3; ++round) {
        // O_EXCL: the file is new and ours, and no link at the path is followed.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            struct stat st {};
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !writeAll(fd, lockContent()) || ::fstat(fd, &st) != 0) {
                detail_ = "writing the lock file " + path + " failed: " + std::strerror(errno);
                ::unlink(path.c_str());
                ::close(fd);
                return Outcome::Failed;
            }
            held_.push_back({path, fd, st.st_dev, st.st_ino});
            return Outcome::Taken;
        }
        if (errno != EEXIST) {
            if (!required) return Outcome::Taken; // the UUCP lock is made where this user may
            detail_ = "creating the lock file " + path + " failed: " + std::strerror(errno);
            return Outcome::Failed;
        }
        const int existing = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (existing < 0 && errno == ENOENT) continue; // removed meanwhile
        holder_ = PortHolder {0, {}, {}, path};
        if (existing < 0) return Outcome::Held; // one we may not read, or a link: nothing says it is free
        Judgement j = judge(existing, path);
        // A stale lock goes only under its flock (which a live QLockFile
        // keeps, as we do), only while the path still names this file, and
        // only if it still reads stale then: minicom and picocom take no
        // flock, and may have rewritten or replaced it since it was read.
        struct stat opened {}, now {};
        const bool locked = !j.held && ::flock(existing, LOCK_EX | LOCK_NB) == 0;
        if (locked) j = judge(existing, path);
        const bool same = ::fstat(existing, &opened) == 0 && ::lstat(path.c_str(), &now) == 0
                          && opened.st_dev == now.st_dev && opened.st_ino == now.st_ino;
        if (!locked || j.held || !same) {
            ::close(existing);
            if (locked && !same) continue; // replaced: judge the new one
            if (j.held) holder_ = j.holder;
            return Outcome::Held;
        }
        const int removed = ::unlink(path.c_str()) == 0 ? 0 : errno;
        ::close(existing);
        if (removed == EACCES || removed == EPERM) { // another user's, in a sticky directory
            detail_ = staleLockAdvice(path, opened.st_uid, j.pid);
            return Outcome::StaleForeign;
        }
        if (removed != 0 && removed != ENOENT) {
            detail_ = "removing the stale lock file " + path + " failed: " + std::strerror(removed);
            return Outcome::Failed;
        }
    }
    return Outcome::Held; // holder_ names the last file found
}

} // namespace platform
