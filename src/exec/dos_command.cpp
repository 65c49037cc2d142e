#include "dos_command.h"

#include "command_line.h"
#include "platform/platform.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/types.h>
#include <unistd.h>

namespace exec {

namespace {
std::function<void(const QString &)> &errorReporter()
{
    static std::function<void(const QString &)> r = [](const QString &msg) {
        std::fprintf(stderr, "%s\n", msg.toLocal8Bit().constData());
    };
    return r;
}

// Work done per event-loop turn before yielding, so a flood of output keeps
// the user interface responsive.
constexpr qint64 kTurnBudgetMs = 20;
constexpr qint64 kReadChunk = 16 * 1024;
} // namespace

// One run: the child, its line state and copies of the settings taken at
// Execute, so later changes to the component do not reach a run in progress.
struct TDosCommand::Run : QObject
{
    explicit Run(QObject *parent) : QObject(parent) {}
    QProcess *proc = nullptr;
    QTimer *timer = nullptr;
    LineSplitter splitter;
    QString commandLine;
    TNewLineEvent onNewLine;
    TTerminateEvent onTerminated;
    qint32 maxAfterBeginning = 0;
    qint32 maxAfterLastOutput = 0;
    qint32 secondsSinceStart = 0;
    qint32 secondsSinceOutput = 0;
    qint64 pgid = 0;
    QStringList input;
    bool lastWasBeginning = false;
    bool finished = false;
    bool draining = false;
    quint32 exitCode = 0;
};

TDosCommand::TDosCommand(QObject *parent) : QObject(parent) {}

TDosCommand::~TDosCommand()
{
    if (m_run)
        killGroup(*m_run);
}

void TDosCommand::setErrorReporter(std::function<void(const QString &)> reporter)
{
    errorReporter() = std::move(reporter);
}

std::pair<QString, QStringList> TDosCommand::resolve(const QStringList &words)
{
    if (words.isEmpty() || words.first().isEmpty())
        return {};
    const QString &name = words.first();
    const QStringList rest = words.mid(1);
    const QString lower = name.toLower();
    if (lower.endsWith(QLatin1String(".bat")) || lower.endsWith(QLatin1String(".cmd"))) {
        const QString file = platform::findFile(name);
        const QString interpreter = platform::executableFolder() + QStringLiteral("spindle-cli");
        if (file.isEmpty() || !QFileInfo(interpreter).isExecutable())
            return {};
        return {interpreter, QStringList{QStringLiteral("run-bat"), file} + rest};
    }
    const QString path = platform::findProgram(name);
    if (path.isEmpty())
        return {};
    return {path, rest};
}

void TDosCommand::Execute()
{
    if (CommandLine.isEmpty())
        return;
    if (m_run)
        Stop();
    m_lines.clear();
    startRun();
}

void TDosCommand::startRun()
{
    auto *run = new Run(this);
    m_run.reset(run);
    run->commandLine = CommandLine;
    run->onNewLine = OnNewLine;
    run->onTerminated = OnTerminated;
    run->maxAfterBeginning = MaxTimeAfterBeginning;
    run->maxAfterLastOutput = MaxTimeAfterLastOutput;

    run->timer = new QTimer(run);
    run->timer->setInterval(1000);
    connect(run->timer, &QTimer::timeout, this, &TDosCommand::tick);

    const auto [program, args] = resolve(splitCommandLine(CommandLine));
    if (program.isEmpty()) {
        QTimer::singleShot(0, run, [this] { finishRun(kNotStarted, RunEnd::NotStarted); });
        return;
    }
    run->proc = new QProcess(run);
    run->proc->setProcessChannelMode(QProcess::MergedChannels);
    run->proc->setProgram(program);
    run->proc->setArguments(args);
    // A group of its own, so that ending the run ends all it started.
    run->proc->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(run->proc, &QProcess::readyReadStandardOutput, this, &TDosCommand::drain);
    connect(run->proc, &QProcess::finished, this, [this, run](int code, QProcess::ExitStatus st) {
        if (m_run.get() != run)
            return;
        run->finished = true;
        run->exitCode = st == QProcess::NormalExit ? quint32(code) : 128u + quint32(code);
        drain();
    });
    connect(run->proc, &QProcess::errorOccurred, this, [this, run](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart && m_run.get() == run)
            finishRun(kNotStarted, RunEnd::NotStarted);
    });
    run->proc->start(QIODevice::ReadWrite);
    if (m_run.get() != run)
        return; // failed synchronously
    run->pgid = run->proc->processId();
    if (run->pgid > 0)
        ::setpgid(pid_t(run->pgid), pid_t(run->pgid)); // closes the race with the child's own call
    run->timer->start();
}

void TDosCommand::killGroup(Run &run)
{
    run.timer->stop();
    if (run.pgid > 0) {
        ::kill(-pid_t(run.pgid), SIGKILL);
        ::kill(pid_t(run.pgid), SIGKILL);
    }
    if (run.proc) {
        run.proc->disconnect(this);
        run.proc->waitForFinished(2000); // reaps at once after SIGKILL
    }
}

void TDosCommand::emitText(Run &run, const QString &text, TOutputType type)
{
    m_lines.append(text);
    run.secondsSinceOutput = 0;
    try {
        if (base::OutputLines *out = m_outputLines) {
            out->beginUpdate();
            if (out->count() == 0) {
                if (type == otEntireLine)
                    out->add(text);
                else
                    out->setText(text);
            } else if (run.lastWasBeginning) {
                out->replaceLast(text);
            } else {
                out->add(text);
            }
            out->endUpdate();
            out->delivered(text, type == otEntireLine);
        }
        run.lastWasBeginning = type == otBeginningOfLine;
        if (run.onNewLine)
            run.onNewLine(this, text, type);
    } catch (...) {
        // A failing sink or handler loses this event only.
    }
}

void TDosCommand::emitBytes(Run &run, QByteArrayView bytes, TOutputType type)
{
    m_outputReturnCode = run.splitter.outputReturnCode();
    emitText(run, QString::fromUtf8(bytes), type);
}

void TDosCommand::drain()
{
    Run *run = m_run.get();
    if (!run || !run->proc || run->draining)
        return;
    run->draining = true;
    QElapsedTimer clock;
    clock.start();
    auto emitter = [this, run](QByteArrayView v, TOutputType t) {
        if (m_run.get() == run)
            emitBytes(*run, v, t);
    };
    while (m_run.get() == run) {
        const QByteArray chunk = run->proc->read(kReadChunk);
        if (chunk.isEmpty())
            break;
        run->splitter.feed(chunk.constData(), chunk.size(), emitter);
        if (clock.elapsed() >= kTurnBudgetMs && run->proc->bytesAvailable() > 0) {
            run->draining = false;
            QMetaObject::invokeMethod(this, &TDosCommand::drain, Qt::QueuedConnection);
            return;
        }
    }
    if (m_run.get() != run)
        return; // a handler stopped or restarted the runner; `run` is gone
    run->draining = false;
    if (run->finished)
        finishRun(run->exitCode, RunEnd::Exited);
    else if (!run->input.isEmpty())
        flushInput();
}

void TDosCommand::SendLine(const QString &text, bool addLineEnd)
{
    Run *run = m_run.get();
    if (!run)
        return;
    QString line = text;
    if (addLineEnd)
        line += ReturnCode == rcLF ? QStringLiteral("\n") : QStringLiteral("\r\n");
    run->input.append(line);
    QMetaObject::invokeMethod(this, &TDosCommand::flushInput, Qt::QueuedConnection);
}

void TDosCommand::flushInput()
{
    Run *run = m_run.get();
    if (!run || !run->proc)
        return;
    while (m_run.get() == run && !run->input.isEmpty()) {
        const QString line = run->input.first();
        const QByteArray bytes = line.toUtf8();
        if (!bytes.isEmpty())
            run->proc->write(bytes);
        if (InputToOutput) {
            QByteArray &pending = run->splitter.pendingText();
            if (run->lastWasBeginning)
                pending += bytes;
            else
                pending = bytes;
            const bool complete = bytes.endsWith("\r\n") ? bytes.indexOf("\r\n") == bytes.size() - 2
                                                         : bytes.indexOf('\n') == bytes.size() - 1
                                                               && !bytes.isEmpty();
            if (complete) {
                const QByteArray whole = pending;
                pending.clear();
                emitBytes(*run, whole, otEntireLine);
            } else {
                emitBytes(*run, pending, otBeginningOfLine);
            }
        }
        if (m_run.get() == run)
            run->input.removeFirst();
    }
}

void TDosCommand::tick()
{
    Run *run = m_run.get();
    if (!run)
        return;
    ++run->secondsSinceStart;
    ++run->secondsSinceOutput;
    if ((run->maxAfterBeginning > 0 && run->secondsSinceStart > run->maxAfterBeginning)
        || (run->maxAfterLastOutput > 0 && run->secondsSinceOutput > run->maxAfterLastOutput)) {
        killGroup(*run);
        finishRun(kStillActive, RunEnd::TimedOut);
    }
}

void TDosCommand::finishRun(quint32 exitCode, RunEnd how)
{
    Run *run = m_run.release();
    if (!run)
        return;
    run->timer->stop();
    run->splitter.finish([this, run](QByteArrayView v, TOutputType t) { emitBytes(*run, v, t); });
    m_lastRunEnd = how;
    if (run->onTerminated) {
        try {
            run->onTerminated(this, exitCode);
        } catch (...) {
        }
    }
    if (how == RunEnd::NotStarted)
        errorReporter()(run->commandLine + QStringLiteral(" doesn't exist."));
    run->deleteLater();
}

void TDosCommand::Stop()
{
    Run *run = m_run.release();
    if (!run)
        return;
    killGroup(*run);
    m_lastRunEnd = RunEnd::Stopped;
    // The end is reported later, as for a run that notices the request in
    // its own time; the caller never waits.
    QTimer::singleShot(0, run, [this, run] {
        if (!m_run) // a new run owns Lines now; leave them to it
            run->splitter.finish([this, run](QByteArrayView v, TOutputType t) { emitBytes(*run, v, t); });
        if (run->onTerminated) {
            try {
                run->onTerminated(this, kStillActive);
            } catch (...) {
            }
        }
        run->deleteLater();
    });
}

} // namespace exec
