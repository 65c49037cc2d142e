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
#include <list>
#include <memory>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

extern char **environ;

namespace platform {

namespace {

// The registry is a fixed array of atomics so that a signal handler can
// walk it. More jobs at once than this is far beyond what the windows run.
constexpr int kMaxJobs = 256;
std::atomic<pid_t> g_jobs[kMaxJobs];
// Each job's token, in the slot of its group: every process of the job
// inherits the entry "SPINDLE_JOB_<Spindle's pid>=<token>" in its
// environment, which tells it apart once it has left the job's group and
// session (setsid) and lost its parent. Spindle is the subreaper of its
// jobs, so such a process stays below Spindle and is found there.
std::atomic<int> g_tokens[kMaxJobs];
std::atomic<int> g_lastToken{0};
std::atomic<bool> g_ending{false};
pid_t g_watchdogPid = 0;

// ---- Async-signal-safe pieces, shared with the watchdog -----------------

char *appendText(char *p, const char *text)
{
    while (*text)
        *p++ = *text++;
    return p;
}

char *appendNumber(char *p, long v)
{
    char digits[24];
    int n = 0;
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v > 0);
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

// The environment entry of a job's processes (at most 64 bytes); returns
// its length.
size_t jobEntry(char *out, pid_t spindle, int token)
{
    char *p = appendNumber(appendText(out, "SPINDLE_JOB_"), spindle);
    p = appendNumber(appendText(p, "="), token);
    *p = 0;
    return size_t(p - out);
}

// Whether `entry` (of `len` < 256 bytes) is one of the process's
// environment entries. False when it cannot be read (gone, not ours).
bool environHas(pid_t pid, const char *entry, size_t len)
{
    char path[48];
    *appendText(appendNumber(appendText(path, "/proc/"), pid), "/environ") = 0;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Entries end with a NUL; the first is read as if one came before it.
    char buf[4096 + 256];
    buf[0] = 0;
    size_t keep = 1;
    bool found = false;
    while (!found) {
        const ssize_t n = ::read(fd, buf + keep, 4096);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const size_t have = keep + size_t(n);
        for (size_t i = 0; i + len + 1 < have && !found; ++i)
            found = buf[i] == 0 && buf[i + len + 1] == 0 && std::memcmp(buf + i + 1, entry, len) == 0;
        // An entry may straddle two reads.
        const size_t carry = std::min(have, len + 1);
        std::memmove(buf, buf + have - carry, carry);
        keep = carry;
    }
    ::close(fd);
    return found;
}

// Calls f(pid) for every process /proc lists.
template <typename F> void forEachPid(F f)
{
    const int dir = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return;
    alignas(8) char buf[8192];
    for (;;) {
        const ssize_t got = ::getdents64(dir, buf, sizeof buf);
        if (got <= 0)
            break;
        for (ssize_t off = 0; off < got;) {
            const auto *d = reinterpret_cast<const dirent64 *>(buf + off);
            off += d->d_reclen;
            long pid = 0;
            const char *c = d->d_name;
            for (; *c >= '0' && *c <= '9'; ++c)
                pid = pid * 10 + (*c - '0');
            if (*c == 0 && pid > 0)
                f(pid_t(pid));
        }
    }
    ::close(dir);
}

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
    std::int32_t token;
};
static_assert(sizeof(Record) == 12);

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

// `sig` to every process that carries one of the jobs' entries (what left
// the groups); true when there was one.
bool signalCarriers(pid_t spindle, const std::int32_t *tokens, int count, int sig)
{
    if (count == 0)
        return false;
    const pid_t self = ::getpid();
    bool any = false;
    forEachPid([&](pid_t pid) {
        if (pid == self)
            return;
        for (int i = 0; i < count; ++i) {
            char entry[64];
            const size_t len = jobEntry(entry, spindle, tokens[i]);
            if (environHas(pid, entry, len)) {
                ::kill(pid, sig);
                any = true;
                return;
            }
        }
    });
    return any;
}

[[noreturn]] void watchdogMain(int in, pid_t spindle)
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
    std::int32_t tokens[kMaxJobs];
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
                tokens[count] = r.token;
                groups[count++] = pid_t(r.group);
            } else if (r.op == '-') {
                for (int i = 0; i < count; ++i)
                    if (groups[i] == pid_t(r.group)) {
                        --count;
                        groups[i] = groups[count];
                        tokens[i] = tokens[count];
                        break;
                    }
            }
        }
        std::memmove(buf, buf + used, have - used);
        have -= used;
    }
    // Spindle has ended: its jobs' groups and what left them.
    const int jobs = count;
    for (int i = 0; i < count; ++i)
        ::kill(-groups[i], SIGTERM);
    bool carriers = signalCarriers(spindle, tokens, jobs, SIGTERM);
    const std::int64_t deadline = monotonicMs() + kJobGraceMs;
    while ((count > 0 || carriers) && monotonicMs() < deadline) {
        for (int i = 0; i < count;) {
            if (::kill(-groups[i], 0) != 0 && errno == ESRCH)
                groups[i] = groups[--count];
            else
                ++i;
        }
        carriers = signalCarriers(spindle, tokens, jobs, 0);
        if (count > 0 || carriers)
            napMs(kPollMs * 5);
    }
    for (int i = 0; i < count; ++i)
        ::kill(-groups[i], SIGKILL);
    signalCarriers(spindle, tokens, jobs, SIGKILL);
    ::_exit(0);
}

void startWatchdog()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    // A process whose parent has ended comes to Spindle instead of init:
    // what a job leaves behind stays among Spindle's own processes, to be
    // found and ended with its job.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, &before); // until it has its own handlers
    const pid_t spindle = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[1]);
        watchdogMain(fds[0], spindle);
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ::close(fds[0]);
    if (pid < 0) {
        ::close(fds[1]);
        return;
    }
    g_watchdogPid = pid;
    g_watchdog = fds[1];
}

void tellWatchdog(char op, pid_t group, int token)
{
    std::call_once(g_watchdogOnce, startWatchdog);
    if (g_watchdog < 0)
        return;
    Record r = {op, {0, 0, 0}, std::int32_t(group), std::int32_t(token)};
    // Records are far below PIPE_BUF: each write is whole.
    while (::write(g_watchdog, &r, sizeof r) < 0 && errno == EINTR) {
    }
}

bool registerJob(pid_t group, int token)
{
    for (int i = 0; i < kMaxJobs; ++i) {
        pid_t expected = 0;
        if (g_jobs[i].compare_exchange_strong(expected, group)) {
            g_tokens[i] = token;
            tellWatchdog('+', group, token);
            return true;
        }
    }
    return false;
}

int tokenOf(pid_t group)
{
    for (int i = 0; i < kMaxJobs; ++i)
        if (g_jobs[i].load() == group)
            return g_tokens[i].load();
    return 0;
}

bool isJobLeader(pid_t pid)
{
    for (auto &slot : g_jobs)
        if (slot.load() == pid)
            return true;
    return false;
}

// A new job's token and its environment entry.
int newToken() { return ++g_lastToken; }

QByteArray entryOf(int token)
{
    char entry[64];
    return QByteArray(entry, qsizetype(jobEntry(entry, ::getpid(), token)));
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

// The child's side of startInOwnGroup. QProcess starts it with vfork
// semantics: until exec it runs in this process's memory, so it must not
// mark that memory. Under ASan its stack frames would stay poisoned for the
// parent, whose next call on that stack then fails.
[[noreturn]] __attribute__((noinline, no_sanitize_address)) void execInOwnGroup(pid_t parent, char *const *argv,
                                                                                 char *const *envp,
                                                                                 const char *folder, int reportFd)
{
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
    if (folder && ::chdir(folder) != 0) {
        const int e = errno;
        (void)!::write(reportFd, &e, sizeof e);
        ::_exit(127);
    }
    ::execve(argv[0], argv, envp);
    const int e = errno;
    (void)!::write(reportFd, &e, sizeof e);
    ::_exit(127);
}

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
    std::int32_t tokens[kMaxJobs];
    int count = 0;
    for (int i = 0; i < kMaxJobs; ++i)
        if (const pid_t g = g_jobs[i].load()) {
            ::kill(-g, SIGKILL);
            if (const int t = g_tokens[i].load())
                tokens[count++] = t;
        }
    signalCarriers(::getpid(), tokens, count, SIGKILL); // what left the groups
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
    // The job's mark goes into its environment (what it starts inherits it),
    // beside Spindle's own environment as bytes.
    const int token = newToken();
    auto envWords = std::make_shared<std::vector<QByteArray>>();
    for (char **e = environ; e && *e; ++e)
        envWords->emplace_back(*e);
    envWords->push_back(entryOf(token));
    auto envp = std::make_shared<std::vector<char *>>();
    for (QByteArray &w : *envWords)
        envp->push_back(w.data());
    envp->push_back(nullptr);
    // QProcess would re-encode the folder's name too.
    auto folder = std::make_shared<QByteArray>(workingDir);
    proc.setChildProcessModifier([parent, words, pointers, envWords, envp, folder, reportFd] {
        execInOwnGroup(parent, pointers->data(), envp->data(), folder->isEmpty() ? nullptr : folder->constData(),
                       reportFd);
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
    if (!registerJob(pid_t(pid), token)) {
        killGroup(pid);
        proc.waitForFinished(kAfterKillMs);
        return 0;
    }
    return pid;
}

namespace {
// The processes of a job that have not ended: the members of its group,
// the processes below Spindle that carry its entry (what left the group or
// the session), and everything below one of those. Zombies that came to
// Spindle from ended jobs are reaped on the way.
std::vector<ProcInfo> jobMembers(pid_t group)
{
    std::vector<ProcInfo> all;
    forEachProcess([&](const ProcInfo &p) { all.push_back(p); });
    const pid_t self = ::getpid(), ownGroup = ::getpgrp();
    std::unordered_map<pid_t, std::vector<size_t>> children;
    for (size_t i = 0; i < all.size(); ++i)
        children[all[i].ppid].push_back(i);
    const auto below = [&](std::vector<char> &marked, std::vector<size_t> todo) {
        while (!todo.empty()) {
            const size_t i = todo.back();
            todo.pop_back();
            for (size_t c : children[all[i].pid])
                if (!marked[c]) {
                    marked[c] = 1;
                    todo.push_back(c);
                }
        }
    };
    // Spindle's own processes: where a job's processes are, in whatever
    // group or session, since Spindle is their subreaper.
    std::vector<char> ours(all.size()), doomed(all.size());
    std::vector<size_t> todo;
    for (size_t c : children[self]) {
        ours[c] = 1;
        todo.push_back(c);
    }
    below(ours, todo);
    const int token = tokenOf(group);
    const QByteArray entry = token ? entryOf(token) : QByteArray();
    todo.clear();
    for (size_t i = 0; i < all.size(); ++i) {
        const ProcInfo &p = all[i];
        if (ours[i] && ended(p.state) && p.ppid == self && p.pgrp != ownGroup && p.pid != g_watchdogPid
            && !isJobLeader(p.pid)) {
            // Came to Spindle from a job and ended: nobody else reaps it.
            ::waitpid(p.pid, nullptr, WNOHANG);
            continue;
        }
        if (p.pgrp == group
            || (token && ours[i] && !ended(p.state) && environHas(p.pid, entry.constData(), size_t(entry.size())))) {
            doomed[i] = 1;
            todo.push_back(i);
        }
    }
    below(doomed, todo);
    std::vector<ProcInfo> out;
    for (size_t i = 0; i < all.size(); ++i)
        if (doomed[i] && !ended(all[i].state))
            out.push_back(all[i]);
    return out;
}
} // namespace

void terminateGroup(qint64 group)
{
    if (group <= 0)
        return;
    ::kill(-pid_t(group), SIGTERM);
    // The group has had it; what left the group has not.
    for (const ProcInfo &p : jobMembers(pid_t(group)))
        if (p.pgrp != pid_t(group))
            ::kill(p.pid, SIGTERM);
}

void killGroup(qint64 group)
{
    if (group <= 0)
        return;
    // Members of the group, and every process below one of them or carrying
    // the job's entry: a helper that made a group or a session of its own
    // must not outlive the job either.
    const std::vector<ProcInfo> doomed = jobMembers(pid_t(group));
    ::kill(-pid_t(group), SIGKILL);
    for (const ProcInfo &p : doomed)
        ::kill(p.pid, SIGKILL);
}

bool groupRunning(qint64 group)
{
    return group > 0 && !jobMembers(pid_t(group)).empty();
}

void forgetJob(qint64 group)
{
    if (group <= 0)
        return;
    for (int i = 0; i < kMaxJobs; ++i) {
        pid_t expected = pid_t(group);
        if (g_jobs[i].compare_exchange_strong(expected, 0)) {
            tellWatchdog('-', pid_t(group), 0);
            return;
        }
    }
}

namespace {
// Ends still under way in the background. endAllJobs finishes them, so
// nothing they hold (a runner's process object) outlives the program.
struct PendingEnd
{
    QTimer *timer;
    std::function<void()> whenEnded;
};
std::list<PendingEnd> g_pendingEnds;
} // namespace

void endJobLater(qint64 group, std::function<void()> whenEnded)
{
    terminateGroup(group);
    auto *timer = new QTimer;
    timer->setInterval(kPollMs);
    const auto pending = g_pendingEnds.insert(g_pendingEnds.end(), {timer, std::move(whenEnded)});
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto killed = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        if (!groupRunning(group)) {
            timer->stop();
            timer->deleteLater();
            forgetJob(group);
            const std::function<void()> done = std::move(pending->whenEnded);
            g_pendingEnds.erase(pending);
            if (done)
                done();
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
    // Their groups have been ended with the rest.
    while (!g_pendingEnds.empty()) {
        PendingEnd end = std::move(g_pendingEnds.front());
        g_pendingEnds.pop_front();
        delete end.timer;
        if (end.whenEnded)
            end.whenEnded();
    }
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
    // This process's environment and the job's entry.
    const int token = newToken();
    QByteArray entry = entryOf(token);
    const QByteArray name = entry.left(entry.indexOf('=') + 1);
    std::vector<char *> envp;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, name.constData(), size_t(name.size())) != 0)
            envp.push_back(*e);
    envp.push_back(entry.data());
    envp.push_back(nullptr);

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
        ::execve(argv[0], argv.data(), envp.data());
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
    const bool registered = registerJob(pid, token);
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
