#include "support/processes.h"

#include "platform/process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

QString binDir() { return QCoreApplication::applicationDirPath(); }
QString testChild() { return binDir() + QStringLiteral("/spindle-testchild"); }

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool processGone(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0)
        return true;
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat[close + 2] == 'Z';
}

QList<ProcEntry> liveProcesses()
{
    QList<ProcEntry> out;
    const QStringList names = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &name : names) {
        bool ok = false;
        const int pid = name.toInt(&ok);
        if (!ok)
            continue;
        const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
        const int close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() < 3 || fields[0] == "Z" || fields[0] == "X")
            continue;
        ProcEntry e;
        e.pid = pid;
        e.state = fields[0][0];
        e.pgrp = pid_t(fields[2].toInt());
        e.argv = readAll(QStringLiteral("/proc/%1/cmdline").arg(pid)).split('\0');
        out << e;
    }
    return out;
}

bool hasMarker(const ProcEntry &e, const QByteArray &marker)
{
    for (const QByteArray &a : e.argv)
        if (a.contains(marker))
            return true;
    return false;
}

bool isJobProcess(const ProcEntry &e, const QByteArray &marker)
{
    return e.argv.size() > 1 && hasMarker(e, marker)
           && (e.argv[1] == "family" || e.argv[1] == "family-exit" || e.argv[1] == "linger");
}

QList<ProcEntry> jobProcesses(const QByteArray &marker)
{
    QList<ProcEntry> out;
    for (const ProcEntry &e : liveProcesses())
        if (isJobProcess(e, marker))
            out << e;
    return out;
}

QStringList leftOf(const QByteArray &marker, pid_t group)
{
    QStringList left;
    for (const ProcEntry &e : liveProcesses()) {
        if (isJobProcess(e, marker) || (group > 0 && e.pgrp == group))
            left << QStringLiteral("%1 %2").arg(e.pid).arg(QString::fromUtf8(e.argv.join(' ')));
    }
    return left;
}

bool noneWithMarker(const QByteArray &marker)
{
    for (const ProcEntry &e : liveProcesses())
        if (hasMarker(e, marker))
            return false;
    return true;
}

QByteArray newMarker()
{
    static int n = 0;
    return QStringLiteral("spindle-job-%1-%2-%3")
        .arg(::getpid())
        .arg(++n)
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
        .toUtf8();
}

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

RawRun runRaw(const QList<QByteArray> &argv, int timeoutMs, qint64 memoryLimit)
{
    RawRun r;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return r;
    std::vector<char *> args;
    for (const QByteArray &a : argv)
        args.push_back(const_cast<char *>(a.constData()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(pipeFds[1], 2);
#ifndef SPINDLE_SANITIZE
        const rlimit cap{rlim_t(memoryLimit), rlim_t(memoryLimit)};
        ::setrlimit(RLIMIT_AS, &cap);
#else
        Q_UNUSED(memoryLimit);
#endif
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return r;
    }
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            r.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        char buf[4096];
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        r.err.append(buf, n);
    }
    ::close(pipeFds[0]);
    int status = 0;
    rusage use{};
    while (::wait4(pid, &status, 0, &use) < 0 && errno == EINTR) {
    }
    r.maxRssKb = use.ru_maxrss;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

ProgramRun runProgram(const QString &program, const QStringList &args, const QString &cwd,
                      const std::function<void()> &inChild, int timeoutMs)
{
    QProcess p;
    if (!cwd.isEmpty())
        p.setWorkingDirectory(cwd);
    if (inChild)
        p.setChildProcessModifier(inChild);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs))
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

namespace {
// As Spindle does at its end: jobs still ending in the background are
// finished before the test program goes, so nothing they hold outlives it.
void endJobsWithTheApplication()
{
    qAddPostRoutine([] { platform::endAllJobs(); });
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(endJobsWithTheApplication)
