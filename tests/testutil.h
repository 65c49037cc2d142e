#pragma once
// Helpers shared by the tests.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef SPINDLE_UI_TESTS
#include "app/windows.h"
#include "base/dialogs.h"
#include "exec/dos_command.h"
#include <QQueue>
#include <functional>

// Answers every dialog from queues and records what was asked, in order:
// "message:TITLE:TEXT", "confirm:TEXT", "error:TEXT", "open:FILTER",
// "save:FILTER", "document:TARGET", "html:INDEX".
class FakeDialogs : public base::Dialogs
{
public:
    QStringList log;
    QList<bool> confirmAnswers;  // default when empty: No
    QList<QString> fileAnswers;  // default when empty: cancelled
    QList<base::FileDialogOptions> fileOptions;
    QList<Icon> messageIcons; // one per message box, in order
    std::function<void(const QString &)> onMessage;

    void message(QWidget *, const QString &text, const QString &title, Icon icon) override
    {
        log << QStringLiteral("message:%1:%2").arg(title, text);
        messageIcons << icon;
        if (onMessage)
            onMessage(text);
    }
    bool confirm(QWidget *, const QString &text) override
    {
        log << QStringLiteral("confirm:") + text;
        return confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
    }
    void error(QWidget *, const QString &text) override { log << QStringLiteral("error:") + text; }
    QString openFile(QWidget *, const base::FileDialogOptions &o) override
    {
        log << QStringLiteral("open:") + o.filter;
        fileOptions << o;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const base::FileDialogOptions &o) override
    {
        log << QStringLiteral("save:") + o.filter;
        fileOptions << o;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    // File types the fake desktop has a program for.
    QStringList openableSuffixes{QStringLiteral("chm"), QStringLiteral("html")};
    void openDocument(const QString &target) override { log << QStringLiteral("document:") + target; }
    bool canOpenDocument(const QString &path) override
    {
        return openableSuffixes.contains(QFileInfo(path).suffix());
    }
    void showHtml(const QString &indexPath) override { log << QStringLiteral("html:") + indexPath; }
};

// Creates the program's windows with `d` answering every dialog; the
// runner's start errors go to its error box.
inline void createWindowsWith(FakeDialogs *d)
{
    base::setDialogs(d);
    exec::TDosCommand::setErrorReporter([](const QString &m) { base::dialogs().error(nullptr, m); });
    app::createWindows();
}
// Undoes createWindowsWith and leaves the working folder.
inline void destroyWindowsOf(FakeDialogs *d)
{
    app::destroyWindows();
    base::setDialogs(nullptr);
    delete d;
    QDir::setCurrent(QDir::tempPath());
}
#endif

// Makes a folder current for one scope and restores the previous one.
// Declare it after the folder it enters, so the folder outlives it.
class CurrentDirScope
{
public:
    explicit CurrentDirScope(const QString &folder) : m_saved(QDir::currentPath()) { QDir::setCurrent(folder); }
    ~CurrentDirScope() { QDir::setCurrent(m_saved); }
    CurrentDirScope(const CurrentDirScope &) = delete;
    CurrentDirScope &operator=(const CurrentDirScope &) = delete;

private:
    QString m_saved;
};

inline QString binDir() { return QCoreApplication::applicationDirPath(); }
inline QString testChild() { return binDir() + QStringLiteral("/spindle-testchild"); }

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Gone, or a zombie that will never run again.
inline bool processGone(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0)
        return true;
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat[close + 2] == 'Z';
}

#ifdef SPINDLE_TEST_DATA
// A recorded file from tests/data, copied into `folder` so a test can never
// change the original. Returns the copy's path, or empty when missing.
inline QString testDataCopy(const QString &name, const QString &folder)
{
    const QString copy = QDir(folder).filePath(QFileInfo(name).fileName());
    QFile::remove(copy);
    if (!QFile::copy(QStringLiteral(SPINDLE_TEST_DATA "/") + name, copy))
        return QString();
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    return copy;
}
#endif

inline bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// One program run from raw argument bytes (names that are not UTF-8 reach
// it as they are), without a shell: stdin and stdout on /dev/null, stderr
// captured. Waits for the end of its stderr, at most `timeoutMs`, then for
// the program itself; a program still running then is killed (timedOut).
// The child's address space is capped at `memoryLimit` bytes, so a reader
// without bound fails fast instead of filling the machine. maxRssKb is the
// child's own peak resident size (wait4).
struct RawRun
{
    int exitCode = -1; // 128 + N when ended by signal N
    bool timedOut = false;
    QByteArray err;
    long maxRssKb = 0;
};
inline RawRun runRaw(const QList<QByteArray> &argv, int timeoutMs = 120000,
                     qint64 memoryLimit = qint64(2) << 30)
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
        const rlimit cap{rlim_t(memoryLimit), rlim_t(memoryLimit)};
        ::setrlimit(RLIMIT_AS, &cap);
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
