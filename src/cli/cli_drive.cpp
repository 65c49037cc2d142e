// The disc jobs of the CD Operations and Other tools windows from a
// terminal: each builds its command line with the window's own builder and
// runs it with the same runner, so a script exercises exactly what a click
// does.
#include "cli/cli_commands.h"

#include "disc/capabilities.h"
#include "disc/commands.h"
#include "disc/offers.h"
#include "disc/scan.h"
#include "disc/verify.h"
#include "disc/diagnosis.h"
#include "exec/command_line.h"
#include "exec/dos_command.h"
#include "exec/progress.h"
#include "exec/tool_errors.h"
#include "exec/tool_identity.h"
#include "exec/tools.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/platform.h"
#include "tools/other_jobs.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>

namespace cli {

namespace {

void printLine(std::FILE *to, const QString &text) { std::fprintf(to, "%s\n", platform::encodePath(text).constData()); }

// Runs one command line in `folder` and prints its output: plain lines, or
// with `events` the "E line" / "B unfinished" / "P percent" / "T code"
// form of exec --events. A failed run's cause goes to standard error.
// Returns the exit status (127: not started, 124: stopped).
int runJob(const exec::CommandLine &command, const QString &folder, bool events, qint64 totalBytes = 0,
           QStringList *captured = nullptr)
{
    exec::TDosCommand::setErrorReporter([](const QString &msg) { printLine(stderr, msg); });
    exec::TDosCommand cmd;
    cmd.WorkingDirectory = folder;
    exec::CauseFinder cause(command);
    exec::ProgressParser progress;
    progress.setTotalBytes(totalBytes);
    int shown = -1;
    QString unfinished;
    cmd.OnNewLine = [&](exec::TDosCommand *, const QString &line, exec::TOutputType t) {
        const bool entire = t == exec::otEntireLine;
        if (entire)
            cause.feed(line);
        if (events) {
            std::printf("%c %s\n", entire ? 'E' : 'B', platform::encodePath(line).constData());
            progress.feed(line, entire);
            const int p = progress.percent();
            if (p >= 0 && p != shown)
                std::printf("P %d\n", p);
            shown = p;
        } else if (entire) {
            printLine(stdout, line);
        }
        unfinished = entire ? QString() : line;
        std::fflush(stdout);
    };
    QEventLoop loop;
    quint32 code = 0;
    cmd.OnTerminated = [&](exec::TDosCommand *, quint32 c) {
        code = c;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    };
    if (events)
        std::printf("C %s\n", command.render().constData());
    cmd.Execute(command);
    loop.exec();
    if (events)
        std::printf("T %u\n", code);
    else if (!unfinished.isEmpty())
        printLine(stdout, unfinished);
    std::fflush(stdout);
    if (captured)
        *captured = cmd.Lines();
    if (const int ended = cli::runEndStatus(cmd); ended >= 0)
        return ended;
    // A tool that ignored part of the job did not do it, whatever its code.
    const int status = code != 0 ? int(code & 0xff) : cause.failsRun() ? 1 : 0;
    if (status != 0)
        printCause(cause);
    return status;
}

// A drive address becomes one word of the command line.
bool plainWord(const QString &s)
{
    return !s.isEmpty() && !s.contains(QLatin1Char(' ')) && !s.contains(QLatin1Char('\t'))
           && !s.contains(QLatin1Char('"'));
}

bool haveTool(const char *base)
{
    const QString name = platform::exeName(QLatin1String(base));
    if (!exec::findTool(name).isEmpty())
        return true;
    printLine(stderr, exec::missingToolMessage(name));
    return false;
}

// Leading options of a job: --events, and those in `valued` with one value.
bool takeOptions(QStringList &args, bool *events, QHash<QString, QString> *values, const QStringList &flags = {},
                 const QStringList &valued = {})
{
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--"))
            break;
        if (opt == QLatin1String("--events"))
            *events = true;
        else if (flags.contains(opt))
            values->insert(opt, QString());
        else if (valued.contains(opt) && !args.isEmpty())
            values->insert(opt, args.takeFirst());
        else
            return false;
    }
    return true;
}

QString absolute(const QString &file) { return platform::absolutePath(file); }

} // namespace

int readDisc(const QStringList &argsIn)
{
    QStringList args = argsIn;
    bool events = false;
    QHash<QString, QString> opts;
    if (!takeOptions(args, &events, &opts) || args.size() != 2 || !plainWord(args[0])) {
        std::fputs("usage: spindle-cli read [--events] ADDRESS FILE   (the readcd line of CD to ISO file)\n", stderr);
        return 2;
    }
    if (!haveTool("readcd"))
        return 1;
    return runJob(disc::readCommand(args[0], absolute(args[1])), platform::spindleFolder(), events);
}

int cdImage(const QStringList &argsIn)
{
    QStringList args = argsIn;
    bool events = false;
    QHash<QString, QString> opts;
    if (!takeOptions(args, &events, &opts) || args.size() != 2 || args[0].isEmpty()) {
        std::fputs("usage: spindle-cli cdimage [--events] DEVICE FILE   (the dd line of Make CD image)\n", stderr);
        return 2;
    }
    if (!haveTool("dd"))
        return 1;
    return runJob(tools::readDriveCommand(args[0], absolute(args[1])), tools::jobFolder(), events,
                  platform::deviceSize(args[0]));
}

int bootImage(const QStringList &argsIn)
{
    QStringList args = argsIn;
    bool events = false;
    QHash<QString, QString> opts;
    if (!takeOptions(args, &events, &opts) || args.size() != 1 || args[0].isEmpty()) {
        std::fputs("usage: spindle-cli bootimage [--events] DEVICE   (bbie of Extract boot sector from CD;\n"
                   "                              the images go to the job folder)\n",
                   stderr);
        return 2;
    }
    if (!haveTool("bbie"))
        return 1;
    std::printf("job folder: %s\n", tools::jobFolder().toUtf8().constData());
    return runJob(tools::extractBootFromDriveCommand(args[0]), tools::jobFolder(), events);
}

int burn(const QStringList &argsIn)
{
    QStringList args = argsIn;
    bool events = false;
    QHash<QString, QString> opts;
    const QStringList flags = {QStringLiteral("--simulate"), QStringLiteral("--no-fix"), QStringLiteral("--no-burnfree"),
                               QStringLiteral("--verify")};
    bool optionsOk = takeOptions(args, &events, &opts, flags, {QStringLiteral("--speed")});
    if (optionsOk && opts.contains(QStringLiteral("--speed")))
        optionsOk = disc::speedNumber(opts.value(QStringLiteral("--speed"))).has_value();
    if (!optionsOk || args.size() != 2 || !plainWord(args[0])) {
        std::fputs("usage: spindle-cli burn [--events] [--simulate] [--no-fix] [--no-burnfree] [--speed N] [--verify]\n"
                   "                       ADDRESS IMAGE\n",
                   stderr);
        return 2;
    }
    if (!haveTool("cdrecord"))
        return 1;
    disc::BurnChoice b;
    b.address = args[0];
    b.file = absolute(args[1]);
    b.simulate = opts.contains(QStringLiteral("--simulate"));
    b.dontFinalize = opts.contains(QStringLiteral("--no-fix"));
    b.burnFree = !opts.contains(QStringLiteral("--no-burnfree"));
    b.speed = disc::speedFromText(opts.value(QStringLiteral("--speed"), QStringLiteral("1")));
    // A real burn that went well is read back, as the window's Verify does:
    // the disc stays in the drive for that.
    const bool verify = !b.simulate && opts.contains(QStringLiteral("--verify"));
    b.eject = !verify;
    const int status = runJob(disc::burnCommand(b), platform::spindleFolder(), events);
    if (status != 0 || !verify)
        return status;
    return runJob(disc::verifyCommand(b.address, b.file), platform::spindleFolder(), events);
}

int verify(const QStringList &args)
{
    if (args.size() != 2 || !plainWord(args[0]) || args[1].isEmpty()) {
        std::fputs("usage: spindle-cli verify ADDRESS IMAGE   (read the disc back and compare it with the image)\n",
                   stderr);
        return 2;
    }
    const QString image = absolute(args[1]);
    const qint64 sectors = (QFileInfo(image).size() + disc::kSectorBytes - 1) / disc::kSectorBytes;
    // An emulated drive's file, or a device path, is read directly; a drive
    // at bus,target,lun through readcd, its messages kept for a failure.
    QFile file(disc::discFileOf(args[0]));
    QProcess reader;
    QIODevice *source = &file;
    qint64 group = 0;
    if (!file.fileName().isEmpty()) {
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            printLine(stdout, QStringLiteral("Verify failed: ") + platform::cannotOpenText(file.fileName(), file.errorString()));
            return 1;
        }
        // Read no further than asked: past a written track a drive may fail.
        platform::noReadAhead(int(file.handle()));
        printLine(stdout, QStringLiteral("Reading %1 back to compare it with %2").arg(file.fileName(), image));
    } else {
        const QString readcd = exec::findTool(platform::exeName(QStringLiteral("readcd")));
        if (readcd.isEmpty()) {
            printLine(stdout, QStringLiteral("Verify failed: ") +
                                  exec::missingToolMessage(platform::exeName(QStringLiteral("readcd"))));
            return 1;
        }
        const exec::CommandLine read = disc::readBackCommand(readcd, args[0], sectors);
        printLine(stdout, QStringLiteral("Reading the disc in %1 back to compare it with %2: %3")
                              .arg(args[0], image, read.display()));
        group = platform::startInOwnGroup(reader, QIODevice::ReadOnly, read.argv());
        if (group == 0) {
            printLine(stdout, QStringLiteral("Verify failed: %1 could not be started.").arg(readcd));
            return 1;
        }
        source = &reader;
    }
    std::fflush(stdout);
    int shown = -1;
    const disc::VerifyResult r = disc::verifyDisc(image, *source, [&](qint64 done, qint64 total) {
        // A line per whole percent, in the form the progress bar reads.
        const int percent = int(done * 100 / std::max<qint64>(total, 1));
        if (percent != shown) {
            std::printf("%6.2f%% done, sector %lld of %lld\n", double(done) * 100.0 / double(total),
                        qlonglong(done / disc::kSectorBytes), qlonglong(sectors));
            std::fflush(stdout);
            shown = percent;
        }
        return true;
    });
    if (group != 0) {
        // What readcd said, for the cause of a read that failed.
        reader.closeReadChannel(QProcess::StandardOutput);
        if (!reader.waitForFinished(10000))
            platform::killGroup(group);
        reader.waitForFinished(3000);
        platform::forgetJob(group);
        if (!r.matches)
            for (const QByteArray &line : reader.readAllStandardError().right(8192).split('\n'))
                if (!line.trimmed().isEmpty())
                    printLine(stdout, platform::decodePath(line.trimmed()));
    }
    // The sums say something only of the whole image.
    if (r.error.isEmpty() && r.endedAtSector < 0) {
        printLine(stdout, QStringLiteral("Image SHA-256: ") + QString::fromLatin1(r.imageSha256));
        printLine(stdout, QStringLiteral("Disc SHA-256:  ") + QString::fromLatin1(r.discSha256));
    }
    printLine(stdout, disc::verifyVerdict(r));
    return r.matches ? 0 : 1;
}

int blank(const QStringList &argsIn)
{
    QStringList args = argsIn;
    bool events = false;
    QHash<QString, QString> opts;
    if (!takeOptions(args, &events, &opts) || args.size() != 2 || !plainWord(args[0])
        || !disc::kBlankTypes.contains(args[1])) {
        std::fprintf(stderr, "usage: spindle-cli blank [--events] ADDRESS TYPE   (TYPE: %s)\n",
                     disc::kBlankTypes.join(QStringLiteral(", ")).toUtf8().constData());
        return 2;
    }
    if (!haveTool("cdrecord"))
        return 1;
    return runJob(disc::blankCommand(args[0], args[1]), platform::spindleFolder(), events);
}

int doctor(const QStringList &args)
{
    if (!args.isEmpty()) {
        std::fputs("usage: spindle-cli doctor\n", stderr);
        return 2;
    }
    std::printf("Spindle folder: %s\n", platform::spindleFolder().toUtf8().constData());
    std::puts("tools:");
    // Each tool's implementation, in its own words (a bounded version query).
    for (const QString &name : exec::toolNames()) {
        const QString path = exec::findTool(name);
        if (path.isEmpty()) {
            std::printf("  %s: missing\n", name.toUtf8().constData());
            continue;
        }
        const QString target = QFileInfo(path).canonicalFilePath();
        const QString link = target.isEmpty() || target == QFileInfo(path).absoluteFilePath() ? QString()
                                                                                              : " -> " + target;
        std::printf("  %s: %s%s: %s\n", name.toUtf8().constData(), path.toUtf8().constData(), link.toUtf8().constData(),
                    exec::describe(exec::identifyProgram(path)).toUtf8().constData());
    }
    // What cdrecord sees, then why it might see nothing.
    QStringList scan;
    if (exec::findTool(platform::exeName(QStringLiteral("cdrecord"))).isEmpty()) {
        std::puts("scan: cdrecord missing");
    } else {
        exec::TDosCommand cmd;
        QEventLoop loop;
        cmd.OnTerminated = [&](exec::TDosCommand *, quint32) {
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        };
        cmd.MaxTimeAfterBeginning = 60;
        cmd.WorkingDirectory = platform::spindleFolder();
        cmd.Execute(disc::scanCommand(platform::spindleFolder()));
        loop.exec();
        scan = cmd.Lines();
        const QList<disc::Drive> found = disc::scanDrives(scan);
        std::printf("scan: %lld drive%s\n", qlonglong(found.size()), found.size() == 1 ? "" : "s");
        for (const disc::Drive &d : found)
            std::printf("  %s\n", d.entry.toUtf8().constData());
    }
    const disc::DiagnosisSources sources = disc::systemSources();
    for (const QString &line : disc::diagnosisReport(sources, disc::diagnose(sources, scan)))
        printLine(stdout, line);
    return 0;
}

} // namespace cli
