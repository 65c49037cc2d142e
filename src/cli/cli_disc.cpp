#include "cli_commands.h"

#include "disc/capabilities.h"
#include "disc/commands.h"
#include "disc/scan.h"
#include "disc/diagnosis.h"
#include "exec/dos_command.h"
#include "exec/tools.h"
#include "platform/platform.h"

#include <QEventLoop>

#include <cstdio>

namespace cli {

namespace {

// Runs one command line as the CD operations window does (in Spindle's
// folder, the runner's settings of that window) and returns all it printed.
// False when cdrecord is not in Spindle's folder.
bool runCdrecord(const QString &commandLine, QStringList *lines)
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
    cmd.OnTerminated = [&](exec::TDosCommand *, quint32) {
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    };
    cmd.CommandLine = commandLine;
    cmd.WorkingDirectory = platform::spindleFolder();
    cmd.Execute();
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
    if (!runCdrecord(disc::scanCommand(platform::spindleFolder()), &lines))
        return 1;
    const QList<disc::Drive> found = disc::scanDrives(lines);
    if (found.isEmpty()) {
        std::fprintf(stderr, "%s\n", disc::kNoDevices.toUtf8().constData());
        // Why, in words, after the window's own message.
        const disc::Diagnosis why = disc::diagnose(disc::systemSources(), lines);
        std::fprintf(stderr, "%s\n", why.summary.toUtf8().constData());
        return 1;
    }
    for (const disc::Drive &d : found)
        std::printf("%s\n", d.entry.toUtf8().constData());
    return 0;
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
    QStringList lines;
    if (!runCdrecord(disc::capabilityCommand(args.first()), &lines))
        return 1;
    const disc::Capabilities c = disc::evaluateCapabilities(lines);
    std::printf("writes CD-R: %s\nwrites CD-RW: %s\nmax write speed: %s\n", c.writesCDR ? "yes" : "no",
                c.writesCDRW ? "yes" : "no", c.speed ? QByteArray::number(*c.speed).constData() : "unknown");
    return 0;
}

} // namespace cli
