#include "cli/cli_commands.h"

#include "exec/batch.h"
#include "exec/dos_command.h"
#include "exec/progress.h"
#include "exec/tool_errors.h"
#include "exec/tool_identity.h"
#include "exec/tools.h"
#include "platform/platform.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

int tools()
{
    for (const QString &name : exec::toolNames()) {
        const QString path = exec::findTool(name, platform::startDirectory());
        // Which program it is, in its own words.
        const QString line =
            path.isEmpty() ? QStringLiteral("missing") : path + QStringLiteral(": ") + exec::describe(exec::identifyProgram(path));
        std::printf("%s %s\n", name.toUtf8().constData(), line.toUtf8().constData());
    }
    return 0;
}

int runBat(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fputs("usage: spindle-cli run-bat FILE\n", stderr);
        return 2;
    }
    // Exit statuses are 8 bits: a program that cannot be started gives 127,
    // as for exec, not its error level cut short.
    const int level = exec::runBatchFile(args.first());
    return level == exec::kUnknownCommand ? 127 : level;
}

namespace {

// Feeds this process's standard input to a runner, line by line, from the
// event loop. Reading pauses while much input waits for the child, so a
// child that never reads cannot make Spindle hold all of it.
class StdinLines
{
public:
    explicit StdinLines(exec::TDosCommand &cmd) : m_cmd(cmd)
    {
        if (::fcntl(0, F_GETFD) < 0)
            return; // no standard input at all
        m_notifier = std::make_unique<QSocketNotifier>(0, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readSome(); });
        m_resume.setSingleShot(true);
        m_resume.setInterval(20);
        QObject::connect(&m_resume, &QTimer::timeout, [this] { readSome(); });
    }

private:
    static constexpr qint64 kMaxWaiting = 1 << 20;

    void readSome()
    {
        if (!m_notifier)
            return;
        if (m_cmd.pendingInputBytes() > kMaxWaiting) {
            m_notifier->setEnabled(false);
            m_resume.start();
            return;
        }
        char buf[64 * 1024];
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            m_notifier->setEnabled(true);
            return;
        }
        if (n <= 0) { // end of input or an error: nothing more comes
            if (!m_partial.isEmpty())
                m_cmd.SendLine(platform::decodePath(m_partial), true);
            m_partial.clear();
            m_notifier.reset();
            return;
        }
        m_partial.append(buf, n);
        qsizetype start = 0;
        for (qsizetype nl; (nl = m_partial.indexOf('\n', start)) >= 0; start = nl + 1)
            m_cmd.SendLine(platform::decodePath(m_partial.mid(start, nl - start)), true);
        m_partial.remove(0, start);
        m_notifier->setEnabled(true);
    }

    exec::TDosCommand &m_cmd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_resume;
    QByteArray m_partial;
};

} // namespace

void printCause(const exec::CauseFinder &cause)
{
    if (!cause.found())
        return;
    QString text = cause.sentence();
    if (cause.permission()) {
        const QString advice = exec::permissionAdvice();
        if (!advice.isEmpty())
            text += QLatin1Char('\n') + advice;
    }
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

int exec(const QStringList &argsIn)
{
    QStringList args = argsIn;
    bool events = false;
    qint32 maxTime = 0, maxSilence = 0;
    qint64 totalBytes = 0;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        bool ok = true;
        if (opt == QLatin1String("--events"))
            events = true;
        else if (opt == QLatin1String("--max-time") && !args.isEmpty())
            maxTime = args.takeFirst().toInt(&ok);
        else if (opt == QLatin1String("--max-silence") && !args.isEmpty())
            maxSilence = args.takeFirst().toInt(&ok);
        else if (opt == QLatin1String("--total") && !args.isEmpty())
            totalBytes = args.takeFirst().toLongLong(&ok);
        else if (opt == QLatin1String("--"))
            break;
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "spindle-cli exec: bad option %s\n", opt.toUtf8().constData());
            return 2;
        }
    }
    if (args.isEmpty()) {
        std::fputs("usage: spindle-cli exec [--events] [--max-time S] [--max-silence S] [--total BYTES] COMMANDLINE\n",
                    stderr);
        return 2;
    }

    exec::TDosCommand cmd;
    // The line arrives as text: it is read into words once, here.
    const exec::CommandLine command = exec::parseCommandLine(platform::encodePath(args.join(QLatin1Char(' '))));
    cmd.MaxTimeAfterBeginning = maxTime;
    cmd.MaxTimeAfterLastOutput = maxSilence;
    int status = 0;
    // Plain output prints finished lines as they arrive and an unfinished
    // last line once the run has ended.
    QString unfinished;
    // With events, "P N" follows the line that changed the whole percentage.
    exec::ProgressParser progress;
    progress.setTotalBytes(totalBytes);
    int shownPercent = -1;
    // A failed run names its cause on standard error when the output holds a
    // known message.
    exec::CauseFinder cause(command);
    cmd.OnNewLine = [&](exec::TDosCommand *, const QString &line, exec::TOutputType t) {
        if (t == exec::otEntireLine)
            cause.feed(line);
        if (events) {
            std::printf("%c %s\n", t == exec::otEntireLine ? 'E' : 'B', platform::encodePath(line).constData());
            progress.feed(line, t == exec::otEntireLine);
            const int p = progress.percent();
            if (p >= 0 && p != shownPercent)
                std::printf("P %d\n", p);
            shownPercent = p;
        } else if (t == exec::otEntireLine) {
            std::printf("%s\n", platform::encodePath(line).constData());
        }
        unfinished = t == exec::otBeginningOfLine ? line : QString();
        std::fflush(stdout);
    };
    cmd.OnTerminated = [&](exec::TDosCommand *, quint32 code) {
        if (events)
            std::printf("T %u\n", code);
        else if (!unfinished.isEmpty())
            std::printf("%s", platform::encodePath(unfinished).constData());
        std::fflush(stdout);
        // A tool that ignored part of the job did not do it, whatever its code.
        status = code != 0 ? int(code & 0xff) : cause.failsRun() ? 1 : 0;
        if (status != 0 && cmd.lastRunEnd() == exec::TDosCommand::RunEnd::Exited)
            printCause(cause);
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    };
    exec::TDosCommand::setErrorReporter([](const QString &msg) {
        std::fprintf(stderr, "%s\n", msg.toUtf8().constData());
    });

    // Standard input, line by line, goes to the child. The reader belongs
    // to this run and ends with it, before the runner does.
    StdinLines input(cmd);
    cmd.Execute(command);
    QCoreApplication::exec();
    const int ended = runEndStatus(cmd);
    return ended >= 0 ? ended : status;
}

int runEndStatus(const exec::TDosCommand &cmd)
{
    switch (cmd.lastRunEnd()) {
    case exec::TDosCommand::RunEnd::NotStarted:
        return 127;
    case exec::TDosCommand::RunEnd::TimedOut:
    case exec::TDosCommand::RunEnd::Stopped:
        return 124;
    default:
        return -1;
    }
}

} // namespace cli
