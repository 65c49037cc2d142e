#include "cli/cli_commands.h"

#include "disc/capabilities.h"
#include "disc/commands.h"
#include "disc/scan.h"
#include "disc/diagnosis.h"
#include "exec/dos_command.h"
#include "exec/tool_errors.h"
#include "exec/tool_identity.h"
#include "exec/tools.h"
#include "platform/platform.h"

#include <QEventLoop>

#include <cstdio>

namespace cli {

namespace {

// Runs one command line as the CD operations window does (in Spindle's
// folder, the runner's settings of that window) and returns all it printed
// and its exit code. False when cdrecord is not in Spindle's folder.
bool runCdrecord(const exec::CommandLine &command, QStringList *lines, quint32 *exitCode = nullptr)
{
    const QString cdrecord = platform::exeName(QStringLiteral("cdrecord"));
    if (exec::findTool(cdrecord).isEmpty()) {
        std::fprintf(stderr, "%s\n", exec::missingToolMessage(cdrecord).toUtf8().constData());
        return false;
    }
    exec::TDosCommand::setErrorReporter([](const QString &msg) {
        std::fprintf(stderr, "%s\n", msg.toUtf8().constData());
    });
    exec::TDosCommand cmd;
    QEventLoop loop;
    cmd.OnTerminated = [&](exec::TDosCommand *, quint32 code) {
        if (exitCode)
            *exitCode = code;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    };
    cmd.WorkingDirectory = platform::spindleFolder();
    cmd.Execute(command);
    loop.exec();
    *lines = cmd.Lines();
    return true;
}

} // namespace

int drives(const QStringList &args)
{
    if (!args.isEmpty()) {
        std::fputs("usage: spindle-cli drives\n", stderr);
        return 2;
    }
    QStringList lines;
    const exec::CommandLine command = disc::scanCommand(platform::spindleFolder());
    if (!runCdrecord(command, &lines))
        return 1;
    const QList<disc::Drive> found = disc::scanDrives(lines);
    for (const disc::Drive &d : found)
        std::printf("%s\n", d.entry.toUtf8().constData());
    if (found.isEmpty())
        std::fprintf(stderr, "%s\n", disc::kNoDevices.toUtf8().constData());
    // Why, in words, after the window's own message; also when the scan
    // listed drives but could not open another (cdrskin says so, exit 0).
    if (found.isEmpty() || disc::scanRefused(lines, command)) {
        const disc::Diagnosis why = disc::diagnose(disc::systemSources(), lines);
        std::fprintf(stderr, "%s\n", why.summary.toUtf8().constData());
    }
    return found.isEmpty() ? 1 : 0;
}

int caps(const QStringList &args)
{
    // The address becomes one word of the command line: nothing that would
    // split it or start a quote.
    if (args.size() != 1 || args.first().isEmpty() || args.first().contains(QLatin1Char(' '))
        || args.first().contains(QLatin1Char('\t')) || args.first().contains(QLatin1Char('"'))) {
        std::fputs("usage: spindle-cli caps ADDRESS   (bus,target,lun as `spindle-cli drives` prints it)\n",
                   stderr);
        return 2;
    }
    const QString cdrecord = platform::exeName(QStringLiteral("cdrecord"));
    const exec::Implementation recorder = exec::identifyTool(cdrecord).implementation;
    QList<disc::QueryRun> runs;
    for (const exec::CommandLine &command : disc::capabilityCommands(args.first(), recorder)) {
        disc::QueryRun run;
        if (!runCdrecord(command, &run.lines, &run.exitCode))
            return 1;
        runs << run;
    }
    const disc::Capabilities c = disc::evaluateQuery(runs, recorder);
    // A query that could not ask the drive is no report of a drive that
    // writes nothing.
    if (!c.failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", c.failure.toUtf8().constData());
        return 1;
    }
    std::printf("writes CD-R: %s\nwrites CD-RW: %s\nmax write speed: %s\n", c.writesCDR ? "yes" : "no",
                c.writesCDRW ? "yes" : "no", c.speed ? QByteArray::number(*c.speed).constData() : "unknown");
    return 0;
}

} // namespace cli
