#pragma once
#include "exec/command_line.h"
#include "exec/line_splitter.h"
#include "base/output_lines.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QProcess;
class QTimer;

namespace exec {

enum TShowWindow {
    swHIDE = 0, swMAXIMIZE = 3, swMINIMIZE = 6, swRESTORE = 9, swSHOW = 5, swSHOWDEFAULT = 10,
    swSHOWMAXIMIZED = 3, swSHOWMINIMIZED = 2, swSHOWMINNOACTIVE = 7, swSHOWNA = 8,
    swSHOWNOACTIVATE = 4, swSHOWNORMAL = 1
};

enum TCreationFlag : unsigned {
    fCREATE_DEFAULT_ERROR_MODE = 0x04000000, fCREATE_NEW_CONSOLE = 0x00000010,
    fCREATE_NEW_PROCESS_GROUP = 0x00000200, fCREATE_SEPARATE_WOW_VDM = 0x00000800,
    fCREATE_SHARED_WOW_VDM = 0x00001000, fCREATE_SUSPENDED = 0x00000004,
    fCREATE_UNICODE_ENVIRONMENT = 0x00000400, fDEBUG_PROCESS = 0x00000001,
    fDEBUG_ONLY_THIS_PROCESS = 0x00000002, fDETACHED_PROCESS = 0x00000008
};

class TDosCommand;
using TNewLineEvent = std::function<void(TDosCommand *Sender, const QString &NewLine, TOutputType OutputType)>;
using TTerminateEvent = std::function<void(TDosCommand *Sender, quint32 ExitCode)>;

// Exit code reported for a run that Spindle ended (Stop, a time limit):
// the value Windows reports for a process still active.
constexpr quint32 kStillActive = 259;
// Exit code reported when the program could not be started.
constexpr quint32 kNotStarted = 127;

// Runs one console program with its output and errors captured as one
// stream, turning the bytes into line events on the caller's thread.
// The child starts as a job, in a process group of its own, so Stop and
// the time limits end everything it started (SIGTERM, then SIGKILL after
// the grace time), and so does the program's own end.
class TDosCommand : public QObject
{
    Q_OBJECT
public:
    enum class RunEnd { None, Exited, Stopped, TimedOut, NotStarted };

    explicit TDosCommand(QObject *parent = nullptr);
    ~TDosCommand() override;

    // Published settings. ShowWindow and CreationFlag are kept for what the
    // windows set; on this platform children never get a window of their own.
    // CommandLine is the run's text: Execute() reads a program and its
    // arguments from it; Execute(command) sets it to the command's rendering.
    QString CommandLine;
    // The folder the program runs in (and where a relative program name is
    // looked for); empty: Spindle's own start directory.
    QString WorkingDirectory;
    TNewLineEvent OnNewLine;
    TTerminateEvent OnTerminated;
    bool InputToOutput = false;
    qint32 MaxTimeAfterBeginning = 0;
    qint32 MaxTimeAfterLastOutput = 0;
    TShowWindow ShowWindow = swHIDE;
    TCreationFlag CreationFlag = fCREATE_NEW_CONSOLE;
    TReturnCode ReturnCode = rcCRLF;
    // Whether Lines keeps the run's output. A caller whose OutputLines hold
    // the output already (the console) turns it off, so a long run is held
    // once; the callers that read Lines leave it on.
    bool KeepLines = true;
    TReturnCode OutputReturnCode() const { return m_outputReturnCode; }

    void setOutputLines(base::OutputLines *lines) { m_outputLines = lines; }
    base::OutputLines *outputLines() const { return m_outputLines; }
    const QStringList &Lines() const { return m_lines; }

    void Execute();
    // Runs `command` exactly as it is: its words are the program's argv.
    void Execute(const exec::CommandLine &command);
    // The program and arguments of the last Execute.
    const exec::CommandLine &command() const { return m_command; }
    void Stop();
    void SendLine(const QString &text, bool addLineEnd);
    // Input sent but not yet taken by the child, in characters and bytes.
    qint64 pendingInputBytes() const;

    bool isRunning() const { return bool(m_run); }
    // How the last finished run ended (for command-line callers).
    RunEnd lastRunEnd() const { return m_lastRunEnd; }

    // Where start failures are reported (the " doesn't exist." text).
    // Default: standard error. The user interface routes it to its error box.
    static void setErrorReporter(std::function<void(const QString &)> reporter);

    // What runs for a command: the program found the way the runner looks
    // for it, and a batch file through Spindle's own interpreter. Empty when
    // nothing runnable was found.
    static exec::CommandLine resolve(const exec::CommandLine &command, const QString &workingDir = QString());

private:
    struct Run;
    void startRun();
    void drain();
    void emitText(Run &run, const QString &text, TOutputType type);
    void emitBytes(Run &run, QByteArrayView bytes, TOutputType type);
    void reportPending(Run &run, bool force);
    void flushInput();
    void armLimits(Run &run);
    void checkLimits();
    void finishRun(quint32 exitCode, RunEnd how);
    // Ends the run's job as Stop does, without waiting for it.
    void endGroup(Run &run);

    std::unique_ptr<Run> m_run;
    exec::CommandLine m_command;
    QStringList m_lines;
    base::OutputLines *m_outputLines = nullptr;
    TReturnCode m_outputReturnCode = rcCRLF;
    RunEnd m_lastRunEnd = RunEnd::None;
};

} // namespace exec
