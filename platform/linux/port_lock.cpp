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

// Where minicom (and picocom, where built to) keeps its UUCP lock.
constexpr std::string_view kUucpLockDirectory = "/var/lock";

// A lock written less than this long ago holds whatever it says: its writer
// may not have written its pid yet, or may just have replaced a stale one.
// It is also the leeway when a lock's time is held against its process's
// start (file times come from the kernel's coarse clock, start times in
// clock ticks).
constexpr double kFreshSeconds = 1.0;

// A lock that names no process (empty, or no pid in any form we know) holds
// this long after it was last written, then counts as left behind: QLockFile
// takes the same time (its staleLockTime) for a lock it cannot check.
constexpr double kNamelessSeconds = 30.0;

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

// minicom's: named after the device's base name.
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

// "rm PATH" for the user's own file, else who may remove it.
std::string removal(const std::string& path, uid_t owner)
{
    if (owner == ::getuid()) return "remove it (rm " + path + ")";
    return "its owner or an administrator can remove it (sudo rm " + path + ")";
}

// "/var/lock/LCK..ttyS1 (user alice)"
std::string lockNamed(const std::string& path, uid_t owner) { return path + " (user " + userName(owner) + ")"; }

} // namespace

struct LockJudgement {
    enum Verdict { Held, Locked, Stale } verdict = Locked;
    PortHolder holder;          // Held: the live process it names
    std::string detail;         // Locked: what is known, and what the user can do
    std::optional<long> pid;    // the process it names
    std::string reusedBy;       // Stale: the program that has its pid now, if one does
};

namespace {

// Whether live process `pid` is not the lock's writer, on evidence beyond
// start times: the program the lock names is not the one the process runs
// (where /proc/PID/exe may be read, as QLockFile compares), or none of the
// process's user ids owns the file that its writer created.
bool pidReused(long pid, const LockFileContent& content, uid_t owner)
{
    const std::string running = executableName(pid);
    if (!content.program.empty() && !running.empty() && running != content.program) return true;
    return !processHasUid(pid, owner);
}

// What the lock file open on `fd` says now:
// - a live process it names holds it, if that process started before the
//   file was last written; one that started later is either a new process
//   given the same pid or, after the clock was set forward, the writer
//   itself: without other evidence (pidReused) the port counts as locked;
// - a lock that names no process holds for kNamelessSeconds, one that names
//   an ended process for kFreshSeconds, after it was last written;
// - a file that cannot be read holds.
LockJudgement judge(int fd, const std::string& path)
{
    LockJudgement j;
    struct stat st {};
    char bytes[kMaxLockFileSize];
    const ssize_t size = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::pread(fd, bytes, sizeof bytes, 0) : -1;
    if (size < 0) {
        j.detail = path + ", which cannot be read (" + std::strerror(errno) + ")";
        return j;
    }
    const LockFileContent content = readLockFile({bytes, static_cast<std::size_t>(size)}, pidMax());
    j.pid = content.pid;
    const double written = seconds(st.st_mtim), age = clockSeconds(CLOCK_REALTIME) - written;
    if (content.pid && alive(*content.pid)) {
        const PortHolder running = processHolder(*content.pid);
        if (pidReused(*content.pid, content, st.st_uid)) {
            j.verdict = LockJudgement::Stale;
            j.reusedBy = running.program.empty() ? "another program" : running.program;
            return j;
        }
        const auto started = processStart(*content.pid);
        if (!started || *started <= written + kFreshSeconds) {
            j.verdict = LockJudgement::Held;
            j.holder = running;
            if (j.holder.program.empty()) j.holder.program = content.program;
            return j;
        }
        j.detail = lockNamed(path, st.st_uid) + ", which names " + describeHolder(running)
                   + ", a process that started after the lock was written. Either the system clock was set forward "
                     "since, and that program uses the port, or the lock's own program ended and its pid was given "
                     "to another: then "
                   + removal(path, st.st_uid);
        return j;
    }
    if (!content.pid && age < kNamelessSeconds) {
        j.detail = lockNamed(path, st.st_uid) + ", which names no process yet: a program may be taking the port. "
                   "Try again in a moment; a lock that names none for 30 s counts as left behind";
        return j;
    }
    if (age < kFreshSeconds) {
        j.detail = lockNamed(path, st.st_uid) + ", written just now: a program may be taking the port. "
                   "Try again in a moment";
        return j;
    }
    j.verdict = LockJudgement::Stale;
    return j;
}

// A lock we may not open: nothing tells whether it is left behind.
std::string unreadableLock(const std::string& path, int error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return path + ", which cannot be read (" + std::strerror(error) + ")";
    const std::string owner = userName(st.st_uid);
    return lockNamed(path, st.st_uid) + ", which cannot be read here (" + std::strerror(error)
           + "), so nothing tells whether its program still runs. If no program of " + owner
           + "'s uses the port, " + removal(path, st.st_uid);
}

// Our lock in QLockFile's form, which minicom reads too (it
// takes the number on its first line). A QSerialPort program holds a lock
// valid while its pid lives and that process's /proc/PID/exe has the base
// name on the second line.
std::string lockContent()
{
    std::string program = executableName(::getpid());
    if (program.empty()) program = "dtr-pulse-out";
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

std::string staleLockAdvice(const std::string& path, uid_t owner, const LockJudgement& j)
{
    std::string why = "it names no process";
    if (j.pid && !j.reusedBy.empty())
        why = "its pid " + std::to_string(*j.pid) + " now belongs to another program (" + j.reusedBy + ")";
    else if (j.pid)
        why = "its process (pid " + std::to_string(*j.pid) + ") has ended";
    return path + ", left behind by user " + userName(owner) + ": " + why
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

PortLock::Outcome PortLock::refusal(const LockJudgement& j)
{
    if (j.verdict != LockJudgement::Held) return refuse(j.detail);
    holder_ = j.holder;
    return Outcome::Held;
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
        if (fd < 0) return refuse(unreadableLock(file, errno));
        const LockJudgement j = judge(fd, file);
        ::close(fd);
        if (j.verdict != LockJudgement::Stale) return refusal(j);
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

PortLock::Outcome PortLock::refuse(std::string detail)
{
    detail_ = std::move(detail);
    return Outcome::Locked;
}

PortLock::Outcome PortLock::acquire(const std::string& path, bool required)
{
    // Each stale lock removed may be replaced by a quicker program's: a few rounds.
    for (int round = 0; round < 3; ++round) {
        // O_EXCL: the file is new and ours, and no link at the path is followed.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            struct stat st {};
            // The mode set outright, not left to the umask: a lock other users
            // cannot read (0600 under umask 077) is one minicom skips.
            if (::fchmod(fd, 0644) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || !writeAll(fd, lockContent())
                || ::fstat(fd, &st) != 0) {
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
        if (existing < 0) return refuse(unreadableLock(path, errno)); // or a link: nothing says it is free
        LockJudgement j = judge(existing, path);
        if (j.verdict != LockJudgement::Stale) {
            ::close(existing);
            return refusal(j);
        }
        // A stale lock goes only under its flock (which a live QLockFile
        // keeps, as we do), only while the path still names this file, and
        // only if it still reads stale then: minicom takes no
        // flock, and may have rewritten or replaced it since it was read.
        if (::flock(existing, LOCK_EX | LOCK_NB) != 0) {
            ::close(existing);
            if (const auto keeper = lockHolder(path); keeper && keeper->pid) {
                holder_ = keeper;
                return Outcome::Held;
            }
            return refuse(path + ", which another program keeps locked");
        }
        j = judge(existing, path);
        struct stat opened {}, now {};
        const bool same = ::fstat(existing, &opened) == 0 && ::lstat(path.c_str(), &now) == 0
                          && opened.st_dev == now.st_dev && opened.st_ino == now.st_ino;
        if (!same || j.verdict != LockJudgement::Stale) {
            ::close(existing);
            if (!same) continue; // replaced: judge the new one
            return refusal(j);
        }
        const int removed = ::unlink(path.c_str()) == 0 ? 0 : errno;
        ::close(existing);
        if (removed == EACCES || removed == EPERM) { // another user's, in a sticky directory
            detail_ = staleLockAdvice(path, opened.st_uid, j);
            return Outcome::StaleForeign;
        }
        if (removed != 0 && removed != ENOENT) {
            detail_ = "removing the stale lock file " + path + " failed: " + std::strerror(removed);
            return Outcome::Failed;
        }
    }
    return refuse(path + ", which other programs keep replacing");
}

} // namespace platform
