#pragma once
// Helpers shared by the tests.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QRandomGenerator>

#include "exec/command_line.h"
#include "platform/path_codec.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// A command line given as text as the runner shows it once read into words.
inline QString rendered(const QString &text)
{
    return exec::parseCommandLine(platform::encodePath(text)).display();
}

// The words a program gets from a command, as text.
inline QStringList words(const exec::CommandLine &command)
{
    QStringList out;
    for (const QByteArray &w : command.argv())
        out << platform::decodePath(w);
    return out;
}

#ifdef SPINDLE_UI_TESTS
#include "app/ui/windows.h"
#include "ui/dialogs.h"
#include "exec/dos_command.h"
#include <QPointer>
#include <QQueue>
#include <QWidget>
#include <functional>
#include <utility>

// Answers every dialog from queues and records what was asked, in order:
// "message:TITLE:TEXT", "confirm:TEXT", "choose:TEXT", "error:TEXT", "open:FILTER",
// "save:FILTER", "document:TARGET", "html:INDEX".
class FakeDialogs : public ui::Dialogs
{
public:
    QStringList log;
    QList<bool> confirmAnswers;  // default when empty: No
    QList<QString> fileAnswers;  // default when empty: cancelled
    QList<ui::FileDialogOptions> fileOptions;
    QList<Icon> messageIcons; // one per message box, in order
    std::function<void(const QString &)> onMessage;

    void message(QWidget *, const QString &text, const QString &title, Icon icon) override
    {
        log << QStringLiteral("message:%1:%2").arg(title, text);
        messageIcons << icon;
        if (onMessage)
            onMessage(text);
    }
    // One per confirmation, in order: whether Yes was its default.
    QList<bool> confirmYesDefaults;
    // Runs while a confirmation is open, before it is answered (a user who
    // takes time to answer); closeQuestions during it closes the question.
    std::function<void()> whileQuestionOpen;
    bool questionOpen = false;

    // Answers to choose(), by caption; default when empty: the escape answer.
    QStringList chooseAnswers;
    // One per choose(): its buttons, the default one's caption first.
    QList<QStringList> chooseOffers;
    int choose(QWidget *, const QString &text, const QStringList &buttons, int defaultButton,
               int escapeButton) override
    {
        log << QStringLiteral("choose:") + text;
        chooseOffers << (QStringList{buttons.value(defaultButton)} + buttons);
        const qsizetype i = chooseAnswers.isEmpty() ? -1 : buttons.indexOf(chooseAnswers.takeFirst());
        return i >= 0 ? int(i) : escapeButton;
    }
    bool confirm(QWidget *parent, const QString &text) override { return ask(parent, text, false); }
    bool confirmYesDefault(QWidget *parent, const QString &text) override { return ask(parent, text, true); }
    void closeQuestions(QWidget *parent) override
    {
        if (questionOpen && parent == m_questionParent) {
            questionOpen = false;
            m_closed = true;
            log << QStringLiteral("closed");
        }
    }
    void error(QWidget *, const QString &text) override { log << QStringLiteral("error:") + text; }
    QString openFile(QWidget *, const ui::FileDialogOptions &o) override
    {
        log << QStringLiteral("open:") + o.filter;
        fileOptions << o;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString saveFile(QWidget *, const ui::FileDialogOptions &o) override
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
    // The help window showHtml opened, while it is open.
    QPointer<QWidget> helpWindow;
    ~FakeDialogs() override { delete helpWindow; }
    QWidget *showHtml(const QString &indexPath) override
    {
        log << QStringLiteral("html:") + indexPath;
        if (!helpWindow) {
            helpWindow = new QWidget;
            helpWindow->setAttribute(Qt::WA_DeleteOnClose);
        }
        return helpWindow;
    }

private:
    bool ask(QWidget *parent, const QString &text, bool yesDefault)
    {
        log << QStringLiteral("confirm:") + text;
        confirmYesDefaults << yesDefault;
        const bool answer = confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
        if (!whileQuestionOpen)
            return answer;
        m_questionParent = parent;
        m_closed = false;
        questionOpen = true;
        const auto wait = std::exchange(whileQuestionOpen, nullptr);
        wait();
        questionOpen = false;
        return m_closed ? false : answer;
    }
    QWidget *m_questionParent = nullptr;
    bool m_closed = false;
};

// Creates the program's windows with `d` answering every dialog; the
// runner's start errors go to its error box.
inline void createWindowsWith(FakeDialogs *d)
{
    ui::setDialogs(d);
    exec::TDosCommand::setErrorReporter([](const QString &m) { ui::dialogs().error(nullptr, m); });
    app::createWindows();
}
// Undoes createWindowsWith and leaves the working folder.
inline void destroyWindowsOf(FakeDialogs *d)
{
    app::destroyWindows();
    ui::setDialogs(nullptr);
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

// Processes as /proc shows them, for the tests that a job leaves nothing
// behind. A job's processes are the test child's family modes, each with
// the job's marker in its command line.
struct ProcEntry
{
    pid_t pid = 0;
    pid_t pgrp = 0;
    char state = 0;
    QList<QByteArray> argv;
};

// Every process /proc shows that has not ended (zombies have).
inline QList<ProcEntry> liveProcesses()
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

inline bool hasMarker(const ProcEntry &e, const QByteArray &marker)
{
    for (const QByteArray &a : e.argv)
        if (a.contains(marker))
            return true;
    return false;
}

// One of the job's own processes: the test child or a grandchild.
inline bool isJobProcess(const ProcEntry &e, const QByteArray &marker)
{
    return e.argv.size() > 1 && hasMarker(e, marker)
           && (e.argv[1] == "family" || e.argv[1] == "family-exit" || e.argv[1] == "linger");
}

inline QList<ProcEntry> jobProcesses(const QByteArray &marker)
{
    QList<ProcEntry> out;
    for (const ProcEntry &e : liveProcesses())
        if (isJobProcess(e, marker))
            out << e;
    return out;
}

// What is left of a job: its processes and anything else in its group or
// carrying its marker.
inline QStringList leftOf(const QByteArray &marker, pid_t group)
{
    QStringList left;
    for (const ProcEntry &e : liveProcesses()) {
        if (isJobProcess(e, marker) || (group > 0 && e.pgrp == group))
            left << QStringLiteral("%1 %2").arg(e.pid).arg(QString::fromUtf8(e.argv.join(' ')));
    }
    return left;
}

inline bool noneWithMarker(const QByteArray &marker)
{
    for (const ProcEntry &e : liveProcesses())
        if (hasMarker(e, marker))
            return false;
    return true;
}

inline QByteArray newMarker()
{
    static int n = 0;
    return QStringLiteral("spindle-job-%1-%2-%3")
        .arg(::getpid())
        .arg(++n)
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
        .toUtf8();
}


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
// without bound fails fast instead of filling the machine (not in a
// sanitizer build, whose shadow memory alone is far larger). maxRssKb is the
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

// Folders and files made by their names' bytes (QDir and QFile re-encode a
// name that is not UTF-8).
inline bool makeFolders(const QByteArray &path)
{
    for (qsizetype at = 1; at <= path.size(); ++at)
        if (at == path.size() || path[at] == '/')
            if (::mkdir(path.left(at).constData(), 0755) != 0 && errno != EEXIST)
                return false;
    return true;
}
inline bool writeBytesAt(const QByteArray &path, const QByteArray &data)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}
