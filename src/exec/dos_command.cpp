#include "exec/dos_command.h"

#include "exec/command_line.h"
#include "platform/platform.h"
#include "platform/process.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

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
// An unfinished line up to this size is re-reported every turn that adds to
// it. A longer one (binary output, a tool that never ends its line) only
// when it has doubled since its last report, or after a pause of at least
// kLongLineReportMs and ten times what the last report cost (the handlers
// included), so reports cost time linear in the bytes, not quadratic, and
// never more than a tenth of the run.
constexpr qsizetype kShortLine = 64 * 1024;
constexpr qint64 kLongLineReportMs = 250;
constexpr qint64 kReportCostFactor = 10;

// A limit of N seconds ends the run once N whole seconds have passed, that
// is at N + 1 seconds: the comparisons are strict.
qint64 limitMs(qint32 seconds) { return (qint64(seconds) + 1) * 1000; }

bool isAscii(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; i < n; ++i)
        if (uchar(p[i]) & 0x80)
            return false;
    return true;
}
} // namespace

// One run: the child, its line state and copies of the settings taken at
// Execute, so later changes to the component do not reach a run in progress.
struct TDosCommand::Run : QObject
{
    explicit Run(QObject *parent) : QObject(parent) {}
    QProcess *proc = nullptr;
    // Fires at the nearest time limit; the limits themselves are measured
    // on the monotonic clocks below, so an early tick never ends a run.
    QTimer *limitTimer = nullptr;
    // Shows a long unfinished line whose report was held back.
    QTimer *pendingTimer = nullptr;
    QElapsedTimer sinceStart;
    QElapsedTimer sinceOutput;
    QElapsedTimer sinceReport;
    LineSplitter splitter;
    QString commandLine;
    TNewLineEvent onNewLine;
    TTerminateEvent onTerminated;
    qint32 maxAfterBeginning = 0;
    qint32 maxAfterLastOutput = 0;
    bool keepLines = true;
    QString text; // the line being handed out
    qint64 group = 0;
    QStringList input;
    qint64 inputChars = 0; // total size of `input`
    bool flushQueued = false;
    qsizetype reportedSize = 0; // size of the unfinished line at its last report
    qint64 reportCostMs = 0;    // what that report took
    bool pendingChanged = false;
    bool lastWasBeginning = false;
    bool finished = false;
    bool draining = false;
    quint32 exitCode = 0;
};

TDosCommand::TDosCommand(QObject *parent) : QObject(parent) {}

TDosCommand::~TDosCommand()
{
    if (m_run)
        endGroup(*m_run);
}

void TDosCommand::setErrorReporter(std::function<void(const QString &)> reporter)
{
    errorReporter() = std::move(reporter);
}

exec::CommandLine TDosCommand::resolve(const exec::CommandLine &command, const QString &workingDir)
{
    if (command.isEmpty())
        return {};
    const QString name = command.programPath();
    const QString lower = name.toLower();
    exec::CommandLine out;
    if (lower.endsWith(QLatin1String(".bat")) || lower.endsWith(QLatin1String(".cmd"))) {
        const QString file = platform::findFile(name, workingDir);
        const QString interpreter = platform::executableFolder() + QStringLiteral("spindle-cli");
        if (file.isEmpty() || !QFileInfo(interpreter).isExecutable())
            return {};
        out.setProgram(interpreter);
        out.arg(QStringLiteral("run-bat")).arg(file);
    } else {
        const QString path = platform::findProgram(name, workingDir);
        if (path.isEmpty())
            return {};
        out.setProgram(path);
    }
    for (const Word &w : command.arguments())
        out.add(w.bytes);
    return out;
}

void TDosCommand::Execute()
{
    if (CommandLine.isEmpty())
        return;
    // Text that arrives as text is read into words once, here.
    m_command = parseCommandLine(platform::encodePath(CommandLine));
    if (m_run)
        Stop();
    m_lines.clear();
    startRun();
}

void TDosCommand::Execute(const exec::CommandLine &command)
{
    if (command.isEmpty())
        return;
    CommandLine = command.display();
    m_command = command;
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
    run->keepLines = KeepLines;

    run->limitTimer = new QTimer(run);
    run->limitTimer->setSingleShot(true);
    run->limitTimer->setTimerType(Qt::PreciseTimer);
    connect(run->limitTimer, &QTimer::timeout, this, &TDosCommand::checkLimits);
    run->pendingTimer = new QTimer(run);
    run->pendingTimer->setSingleShot(true);
    connect(run->pendingTimer, &QTimer::timeout, this, [this, run] {
        if (m_run.get() == run)
            reportPending(*run, true);
    });

    const exec::CommandLine resolved = resolve(m_command, WorkingDirectory);
    if (resolved.isEmpty()) {
        QTimer::singleShot(0, run, [this] { finishRun(kNotStarted, RunEnd::NotStarted); });
        return;
    }
    run->proc = new QProcess(run);
    run->proc->setProcessChannelMode(QProcess::MergedChannels);
    connect(run->proc, &QProcess::readyReadStandardOutput, this, &TDosCommand::drain);
    connect(run->proc, &QProcess::finished, this, [this, run](int code, QProcess::ExitStatus st) {
        if (m_run.get() != run)
            return;
        run->finished = true;
        run->exitCode = st == QProcess::NormalExit ? quint32(code) : 128u + quint32(code);
        // The program has ended: so does whatever it left in its group.
        if (platform::groupRunning(run->group))
            platform::endJobLater(run->group);
        else
            platform::forgetJob(run->group);
        drain();
    });
    connect(run->proc, &QProcess::errorOccurred, this, [this, run](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart && m_run.get() == run)
            finishRun(kNotStarted, RunEnd::NotStarted);
    });
    run->sinceStart.start();
    run->sinceOutput.start();
    run->sinceReport.start();
    const qint64 group = platform::startInOwnGroup(*run->proc, QIODevice::ReadWrite, resolved.argv(),
                                                   platform::encodePath(WorkingDirectory));
    if (m_run.get() != run)
        return; // failed synchronously
    if (group == 0) { // not started: Spindle is ending
        QTimer::singleShot(0, run, [this, run] {
            if (m_run.get() == run)
                finishRun(kNotStarted, RunEnd::NotStarted);
        });
        return;
    }
    run->group = group;
    armLimits(*run);
}

void TDosCommand::armLimits(Run &run)
{
    qint64 wait = -1;
    if (run.maxAfterBeginning > 0)
        wait = limitMs(run.maxAfterBeginning) - run.sinceStart.elapsed();
    if (run.maxAfterLastOutput > 0) {
        const qint64 silence = limitMs(run.maxAfterLastOutput) - run.sinceOutput.elapsed();
        wait = wait < 0 ? silence : std::min(wait, silence);
    }
    if (run.maxAfterBeginning > 0 || run.maxAfterLastOutput > 0)
        run.limitTimer->start(int(std::clamp<qint64>(wait, 0, 24 * 3600 * 1000)));
}

void TDosCommand::checkLimits()
{
    Run *run = m_run.get();
    if (!run)
        return;
    const bool total = run->maxAfterBeginning > 0
                       && run->sinceStart.elapsed() >= limitMs(run->maxAfterBeginning);
    const bool silent = run->maxAfterLastOutput > 0
                        && run->sinceOutput.elapsed() >= limitMs(run->maxAfterLastOutput);
    if (!total && !silent) {
        armLimits(*run); // output came meanwhile, or the timer fired early
        return;
    }
    endGroup(*run);
    finishRun(kStillActive, RunEnd::TimedOut);
}

void TDosCommand::endGroup(Run &run)
{
    run.limitTimer->stop();
    run.pendingTimer->stop();
    QProcess *proc = run.proc;
    run.proc = nullptr;
    if (!proc)
        return;
    proc->disconnect(this);
    if (run.group == 0 || proc->state() == QProcess::NotRunning) {
        delete proc;
        if (run.group && !run.finished)
            platform::endJobLater(run.group); // the leader has gone, helpers may not
        return;
    }
    // SIGTERM, the grace time, SIGKILL: in the background, so no caller
    // waits. The process object lives until its group is empty, to reap
    // the leader.
    proc->setParent(nullptr);
    platform::endJobLater(run.group, [proc] {
        proc->waitForFinished(0); // reaps the ended leader
        delete proc;
    });
}

void TDosCommand::emitText(Run &run, const QString &text, TOutputType type)
{
    // A growing unfinished line keeps one item, its latest text.
    if (run.keepLines) {
        if (run.lastWasBeginning && type == otBeginningOfLine && !m_lines.isEmpty())
            m_lines.last() = text;
        else
            m_lines.append(text);
    }
    if (type == otEntireLine)
        run.reportedSize = 0;
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
    // Output keeps its bytes too: a name the tool prints comes back whole.
    if (!isAscii(bytes)) {
        emitText(run, platform::decodePath(bytes.toByteArray()), type);
        return;
    }
    // Most lines are plain ASCII, which needs no decoder. A line the
    // receivers only copied leaves the text unshared: the next line reuses
    // its room instead of costing an allocation and a free.
    QString &text = run.text;
    if (!text.isDetached()) {
        text = QString::fromLatin1(bytes);
    } else {
        text.resize(bytes.size());
        char16_t *to = reinterpret_cast<char16_t *>(text.data());
        for (const char c : bytes)
            *to++ = char16_t(uchar(c));
    }
    emitText(run, text, type);
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
        run->pendingChanged = true;
        // Output seen: once per read, not per line.
        run->sinceOutput.restart();
        run->splitter.feedLines(chunk.constData(), chunk.size(), emitter);
        if (clock.elapsed() >= kTurnBudgetMs && run->proc->bytesAvailable() > 0) {
            run->draining = false;
            if (m_run.get() == run)
                reportPending(*run, false);
            if (m_run.get() == run)
                QMetaObject::invokeMethod(this, &TDosCommand::drain, Qt::QueuedConnection);
            return;
        }
    }
    if (m_run.get() != run)
        return; // a handler stopped or restarted the runner; `run` is gone
    run->draining = false;
    reportPending(*run, run->finished);
    if (m_run.get() != run)
        return;
    if (run->finished) {
        finishRun(run->exitCode, RunEnd::Exited);
        return;
    }
    if (m_run.get() == run && !run->input.isEmpty())
        flushInput();
}

void TDosCommand::reportPending(Run &run, bool force)
{
    if (!run.pendingChanged)
        return;
    const qsizetype size = run.splitter.pending().size();
    if (size == 0) {
        run.pendingChanged = false;
        return;
    }
    const qint64 pause = std::max(kLongLineReportMs, kReportCostFactor * run.reportCostMs);
    if (!force && size > kShortLine && size < 2 * run.reportedSize && run.sinceReport.elapsed() < pause) {
        if (!run.pendingTimer->isActive())
            run.pendingTimer->start(int(pause - run.sinceReport.elapsed()));
        return;
    }
    run.pendingChanged = false;
    run.pendingTimer->stop();
    run.reportedSize = size;
    QElapsedTimer cost;
    cost.start();
    emitBytes(run, run.splitter.pending(), otBeginningOfLine);
    if (m_run.get() == &run) {
        run.reportCostMs = cost.elapsed();
        run.sinceReport.restart();
    }
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
    run->inputChars += line.size();
    if (!run->flushQueued) {
        run->flushQueued = true;
        QMetaObject::invokeMethod(this, &TDosCommand::flushInput, Qt::QueuedConnection);
    }
}

qint64 TDosCommand::pendingInputBytes() const
{
    const Run *run = m_run.get();
    if (!run)
        return 0;
    return run->inputChars + (run->proc ? run->proc->bytesToWrite() : 0);
}

void TDosCommand::flushInput()
{
    Run *run = m_run.get();
    if (!run)
        return;
    run->flushQueued = false;
    if (!run->proc)
        return;
    while (m_run.get() == run && !run->input.isEmpty()) {
        const QString line = run->input.first();
        const QByteArray bytes = platform::encodePath(line);
        if (!bytes.isEmpty())
            run->proc->write(bytes);
        if (InputToOutput) {
            run->sinceOutput.restart();
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
        if (m_run.get() == run) {
            run->inputChars -= run->input.first().size();
            run->input.removeFirst();
        }
    }
}

void TDosCommand::finishRun(quint32 exitCode, RunEnd how)
{
    Run *run = m_run.release();
    if (!run)
        return;
    run->limitTimer->stop();
    run->pendingTimer->stop();
    run->splitter.finish([this, run](QByteArrayView v, TOutputType t) { emitBytes(*run, v, t); });
    m_lastRunEnd = how;
    if (run->onTerminated) {
        try {
            run->onTerminated(this, exitCode);
        } catch (...) {
            // Discarded without a message: the run has ended all the same.
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
    endGroup(*run);
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
                // Discarded without a message: the run has ended all the same.
            }
        }
        run->deleteLater();
    });
}

} // namespace exec
