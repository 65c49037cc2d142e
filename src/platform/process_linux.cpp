#include "platform/process.h"

#include "platform/path_codec.h"
#include "platform/signals.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

extern char **environ;

namespace platform {

namespace {

// The registry is a fixed array of atomics so that a signal handler can
// walk it. More jobs at once than this is far beyond what the windows run.
constexpr int kMaxJobs = 256;
std::atomic<pid_t> g_jobs[kMaxJobs];
std::atomic<bool> g_ending{false};

// Polling period while a group is waited for: no event tells when the last
// process of a group has gone.
constexpr int kPollMs = 20;
// After SIGKILL, how long Spindle waits for the groups before it goes on
// (a process in uninterruptible sleep ends when its device lets it).
constexpr int kAfterKillMs = 2000;

// ---- The watchdog -------------------------------------------------------
// A process forked from Spindle that holds the read end of a pipe. Spindle
// tells it every job that starts and ends; when the pipe reports its end,
// Spindle is gone, and it ends every job still listed: SIGTERM, the grace
// time, SIGKILL. It runs only async-signal-safe calls (it is forked from a
// program with threads and never executes another).

struct Record
{
    char op; // '+' a new job, '-' an ended one
    char pad[3];
    std::int32_t group;
};
static_assert(sizeof(Record) == 8);

int g_watchdog = -1; // write end
std::once_flag g_watchdogOnce;

std::int64_t monotonicMs()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void napMs(int ms)
{
    timespec ts{ms / 1000, long(ms % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

[[noreturn]] void watchdogMain(int in)
{
    ::setsid(); // no terminal signals, no job group of Spindle's
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(s, &sa, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Hold nothing of Spindle's: a job's pipes must see their end when
    // Spindle closes them, and whoever reads Spindle's output its end.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd)
        if (null >= 0 && null != fd)
            ::dup2(null, fd);
    if (in != 3) {
        ::dup2(in, 3);
        in = 3;
    }
    if (::close_range(4, ~0U, 0) != 0)
        for (int fd = 4; fd < 65536; ++fd)
            ::close(fd);

    pid_t groups[kMaxJobs];
    int count = 0;
    char buf[sizeof(Record) * 64];
    size_t have = 0;
    for (;;) {
        const ssize_t n = ::read(in, buf + have, sizeof buf - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += size_t(n);
        size_t used = 0;
        for (; have - used >= sizeof(Record); used += sizeof(Record)) {
            Record r;
            std::memcpy(&r, buf + used, sizeof r);
            if (r.op == '+' && count < kMaxJobs) {
                groups[count++] = pid_t(r.group);
            } else if (r.op == '-') {
                for (int i = 0; i < count; ++i)
                    if (groups[i] == pid_t(r.group)) {
                        groups[i] = groups[--count];
                        break;
                    }
            }
        }
        std::memmove(buf, buf + used, have - used);
        have -= used;
    }
    // Spindle has ended.
    for (int i = 0; i < count; ++i)
        ::kill(-groups[i], SIGTERM);
    const std::int64_t deadline = monotonicMs() + kJobGraceMs;
    while (count > 0 && monotonicMs() < deadline) {
        for (int i = 0; i < count;) {
            if (::kill(-groups[i], 0) != 0 && errno == ESRCH)
                groups[i] = groups[--count];
            else
                ++i;
        }
        if (count > 0)
            napMs(kPollMs * 5);
    }
    for (int i = 0; i < count; ++i)
        ::kill(-groups[i], SIGKILL);
    ::_exit(0);
}

void startWatchdog()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &before); // until it has its own handlers
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[1]);
        watchdogMain(fds[0]);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(fds[0]);
    if (pid < 0) {
        ::close(fds[1]);
        return;
    }
    g_watchdog = fds[1];
}

void tellWatchdog(char op, pid_t group)
{
    std::call_once(g_watchdogOnce, startWatchdog);
    if (g_watchdog < 0)
        return;
    Record r = {op, {0, 0, 0}, std::int32_t(group)};
    // Records are far below PIPE_BUF: each write is whole.
    while (::write(g_watchdog, &r, sizeof r) < 0 && errno == EINTR) {
    }
}

bool registerJob(pid_t group)
{
    for (auto &slot : g_jobs) {
        pid_t expected = 0;
        if (slot.compare_exchange_strong(expected, group)) {
            tellWatchdog('+', group);
            return true;
        }
    }
    return false;
}

std::vector<pid_t> registeredJobs()
{
    std::vector<pid_t> out;
    for (auto &slot : g_jobs)
        if (const pid_t g = slot.load())
            out.push_back(g);
    return out;
}

// ---- Processes as /proc shows them --------------------------------------

struct ProcInfo
{
    pid_t pid, ppid, pgrp;
    char state;
};

template <typename F> void forEachProcess(F f)
{
    DIR *dir = ::opendir("/proc");
    if (!dir)
        return;
    while (dirent *e = ::readdir(dir)) {
        char *end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid <= 0 || *end)
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // "pid (comm) state ppid pgrp ...": comm is at most 16 bytes.
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf - 1);
        ::close(fd);
        if (n <= 0)
            continue;
        buf[n] = 0;
        const char *close = std::strrchr(buf, ')');
        ProcInfo info{pid_t(pid), 0, 0, 0};
        int ppid = 0, pgrp = 0;
        if (!close || std::sscanf(close + 1, " %c %d %d", &info.state, &ppid, &pgrp) != 3)
            continue;
        info.ppid = ppid;
        info.pgrp = pgrp;
        f(info);
    }
    ::closedir(dir);
}

bool ended(char state) { return state == 'Z' || state == 'X' || state == 'x'; }

// Waits until none of `groups` runs or `ms` have passed; returns those
// still running.
std::vector<pid_t> waitForGroups(std::vector<pid_t> groups, int ms)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        std::erase_if(groups, [](pid_t g) { return !groupRunning(g); });
        if (groups.empty() || clock.elapsed() >= ms)
            return groups;
        napMs(kPollMs);
    }
}

} // namespace

void killAllJobsAtOnce()
{
    for (auto &slot : g_jobs)
        if (const pid_t g = slot.load())
            ::kill(-g, SIGKILL);
}

qint64 startInOwnGroup(QProcess &proc, QIODevice::OpenMode mode, const QList<QByteArray> &argv,
                       const QByteArray &workingDir)
{
    if (g_ending.load() || argv.isEmpty())
        return 0;
    // Up before the child exists, so it never holds the child's pipes long.
    std::call_once(g_watchdogOnce, startWatchdog);
    const pid_t parent = ::getpid();
    // QProcess would re-encode the arguments as text; the child executes
    // these bytes itself, after QProcess has set up its channels and folder.
    auto words = std::make_shared<std::vector<QByteArray>>(argv.cbegin(), argv.cend());
    auto pointers = std::make_shared<std::vector<char *>>();
    for (QByteArray &w : *words)
        pointers->push_back(w.data());
    pointers->push_back(nullptr);
    proc.setProgram(decodePath(argv.first()));
    proc.setArguments({});
    // The child reports a failed exec here; the pipe closes at a good one.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return 0;
    const int reportFd = report[1];
    // QProcess would re-encode the folder's name too.
    auto folder = std::make_shared<QByteArray>(workingDir);
    proc.setChildProcessModifier([parent, words, pointers, folder, reportFd] {
        struct sigaction sa = {};
        sa.sa_handler = SIG_DFL;
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(s, &sa, nullptr);
        ::setpgid(0, 0);
        // Ends the job's leader with Spindle; the check covers a Spindle
        // that died before the call.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        if (!folder->isEmpty() && ::chdir(folder->constData()) != 0) {
            const int e = errno;
            (void)!::write(reportFd, &e, sizeof e);
            ::_exit(127);
        }
        ::execve(pointers->front(), pointers->data(), environ);
        const int e = errno;
        (void)!::write(reportFd, &e, sizeof e);
        ::_exit(127);
    });
    proc.start(mode);
    ::close(report[1]);
    int execError = 0;
    ssize_t got = 0;
    if (proc.processId() > 0)
        while ((got = ::read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
        }
    ::close(report[0]);
    const qint64 pid = proc.processId();
    if (pid <= 0)
        return 0;
    if (got == ssize_t(sizeof execError)) {
        // Not started: the caller hears that, not the child's quick end.
        const QSignalBlocker quiet(&proc);
        proc.waitForFinished(kAfterKillMs);
        return 0;
    }
    // The parent sets the group too: whichever side runs first, the group
    // exists before anyone can try to end it.
    ::setpgid(pid_t(pid), pid_t(pid));
    if (!registerJob(pid_t(pid))) {
        killGroup(pid);
        proc.waitForFinished(kAfterKillMs);
        return 0;
    }
    return pid;
}

void terminateGroup(qint64 group)
{
    if (group > 0)
        ::kill(-pid_t(group), SIGTERM);
}

void killGroup(qint64 group)
{
    if (group <= 0)
        return;
    // Members of the group, and every process below one of them: a helper
    // that made a group of its own must not outlive the job either.
    std::vector<ProcInfo> all;
    forEachProcess([&](const ProcInfo &p) { all.push_back(p); });
    std::unordered_set<pid_t> doomed;
    for (const ProcInfo &p : all)
        if (p.pgrp == pid_t(group))
            doomed.insert(p.pid);
    for (bool grew = !doomed.empty(); grew;) {
        grew = false;
        for (const ProcInfo &p : all)
            if (!doomed.count(p.pid) && doomed.count(p.ppid)) {
                doomed.insert(p.pid);
                grew = true;
            }
    }
    ::kill(-pid_t(group), SIGKILL);
    for (pid_t pid : doomed)
        ::kill(pid, SIGKILL);
}

bool groupRunning(qint64 group)
{
    if (group <= 0)
        return false;
    if (::kill(-pid_t(group), 0) != 0 && errno == ESRCH)
        return false;
    bool running = false;
    forEachProcess([&](const ProcInfo &p) {
        if (p.pgrp == pid_t(group) && !ended(p.state))
            running = true;
    });
    return running;
}

void forgetJob(qint64 group)
{
    if (group <= 0)
        return;
    for (auto &slot : g_jobs) {
        pid_t expected = pid_t(group);
        if (slot.compare_exchange_strong(expected, 0)) {
            tellWatchdog('-', pid_t(group));
            return;
        }
    }
}

void endJobLater(qint64 group, std::function<void()> whenEnded)
{
    terminateGroup(group);
    auto *timer = new QTimer;
    timer->setInterval(kPollMs);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto killed = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (!groupRunning(group)) {
            timer->stop();
            timer->deleteLater();
            forgetJob(group);
            if (whenEnded)
                whenEnded();
            return;
        }
        if (!*killed && clock->elapsed() >= kJobGraceMs) {
            *killed = true;
            killGroup(group);
        }
    });
    timer->start();
}

void endAllJobs()
{
    g_ending = true;
    std::vector<pid_t> jobs = registeredJobs();
    for (pid_t g : jobs)
        terminateGroup(g);
    std::vector<pid_t> left = waitForGroups(jobs, kJobGraceMs);
    for (pid_t g : left)
        killGroup(g);
    left = waitForGroups(left, kAfterKillMs);
    for (pid_t g : jobs)
        if (std::find(left.begin(), left.end(), g) == left.end())
            forgetJob(g);
}

namespace {
// Waits for `fd` to be readable, or for a termination signal, which ends
// every job and the process. `timeoutMs` < 0: no limit. Returns whether
// `fd` is readable.
bool pollOrEnd(int fd, int timeoutMs)
{
    pollfd fds[2] = {{fd, POLLIN, 0}, {terminationFd(), POLLIN, 0}};
    for (;;) {
        if (const int sig = terminationSignal())
            endJobsAndExit(sig);
        const int n = ::poll(fds, fds[1].fd >= 0 ? 2 : 1, timeoutMs);
        if (const int sig = terminationSignal())
            endJobsAndExit(sig);
        if (n < 0 && errno == EINTR)
            continue;
        if (n > 0 && fds[1].revents != 0) {
            // A byte without a signal of ours: a child between fork and
            // exec ran the handler. Nothing to do but drop it.
            char buf[16];
            while (::read(fds[1].fd, buf, sizeof buf) > 0) {
            }
        }
        return n > 0 && fds[0].revents != 0;
    }
}

// Ends what a job left in its group once its leader has ended.
void endLeftovers(pid_t group)
{
    if (groupRunning(group)) {
        terminateGroup(group);
        QElapsedTimer clock;
        clock.start();
        while (groupRunning(group)) {
            if (clock.elapsed() >= kJobGraceMs) {
                killGroup(group);
                waitForGroups({group}, kAfterKillMs);
                break;
            }
            pollOrEnd(-1, kPollMs);
        }
    }
    forgetJob(group);
}
} // namespace

int runAndWait(const QString &program, const QStringList &args, const QString &workingDir)
{
    if (g_ending.load())
        return kNotStartable;
    std::vector<QByteArray> store;
    store.push_back(encodePath(program));
    for (const QString &a : args)
        store.push_back(encodePath(a));
    std::vector<char *> argv;
    for (QByteArray &b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);

    std::call_once(g_watchdogOnce, startWatchdog);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return kNotStartable;
    const pid_t parent = ::getpid();
    // The child enters its folder itself; this process's stays as it is.
    const QByteArray dir = encodePath(workingDir);
    // The child must not run Spindle's handlers: they stay blocked across
    // the fork until the child has reset them.
    sigset_t caught, before;
    sigemptyset(&caught);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&caught, s);
    ::pthread_sigmask(SIG_BLOCK, &caught, &before);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        ::close(report[0]);
        struct sigaction sa = {};
        sa.sa_handler = SIG_DFL;
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(s, &sa, nullptr);
        ::sigprocmask(SIG_SETMASK, &before, nullptr);
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        if (!dir.isEmpty() && ::chdir(dir.constData()) != 0) {
            const int e = errno;
            (void)!::write(report[1], &e, sizeof e);
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), environ);
        const int e = errno;
        (void)!::write(report[1], &e, sizeof e);
        ::_exit(127);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        return kNotStartable;
    }
    ::setpgid(pid, pid);
    const bool registered = registerJob(pid);
    int execError = 0;
    ssize_t got;
    while ((got = ::read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (!registered || got == ssize_t(sizeof execError)) {
        if (!registered)
            ::kill(-pid, SIGKILL);
        int st;
        while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
        }
        forgetJob(pid);
        return kNotStartable;
    }

    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        if (r < 0 && errno != EINTR) {
            status = 1 << 8;
            break;
        }
        // Without a pidfd the end is seen by polling.
        pollOrEnd(pidfd, pidfd >= 0 ? -1 : kPollMs);
    }
    if (pidfd >= 0)
        ::close(pidfd);
    endLeftovers(pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void waitForInput(int fd)
{
    while (!pollOrEnd(fd, -1)) {
    }
}

} // namespace platform
