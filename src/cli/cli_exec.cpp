#include "cli_commands.h"

#include "exec/batch.h"
#include "exec/dos_command.h"
#include "exec/progress.h"
#include "exec/tools.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace cli {

int tools()
{
    for (const QString &name : exec::toolNames()) {
        const QString path = exec::findTool(name);
        std::printf("%s %s\n", name.toUtf8().constData(),
                    path.isEmpty() ? "missing" : path.toUtf8().constData());
    }
    return 0;
}

int runBat(const QStringList &args)
{
    if (args.isEmpty()) {
        std::fputs("usage: spindle-cli run-bat FILE\n", stderr);
        return 2;
    }
    return exec::runBatchFile(args.first());
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
    cmd.CommandLine = args.join(QLatin1Char(' '));
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
    cmd.OnNewLine = [&](exec::TDosCommand *, const QString &line, exec::TOutputType t) {
        if (events) {
            std::printf("%c %s\n", t == exec::otEntireLine ? 'E' : 'B', line.toUtf8().constData());
            progress.feed(line, t == exec::otEntireLine);
            const int p = progress.percent();
            if (p >= 0 && p != shownPercent)
                std::printf("P %d\n", p);
            shownPercent = p;
        } else if (t == exec::otEntireLine) {
            std::printf("%s\n", line.toUtf8().constData());
        }
        unfinished = t == exec::otBeginningOfLine ? line : QString();
        std::fflush(stdout);
    };
    cmd.OnTerminated = [&](exec::TDosCommand *, quint32 code) {
        if (events)
            std::printf("T %u\n", code);
        else if (!unfinished.isEmpty())
            std::printf("%s", unfinished.toUtf8().constData());
        std::fflush(stdout);
        status = int(code & 0xff);
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
    };
    exec::TDosCommand::setErrorReporter([](const QString &msg) {
        std::fprintf(stderr, "%s\n", msg.toUtf8().constData());
    });

    // Standard input, line by line, goes to the child.
    std::thread([&cmd] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString text = QString::fromStdString(line);
            QMetaObject::invokeMethod(&cmd, [&cmd, text] { cmd.SendLine(text, true); },
                                      Qt::QueuedConnection);
        }
    }).detach();

    cmd.Execute();
    QCoreApplication::exec();
    switch (cmd.lastRunEnd()) {
    case exec::TDosCommand::RunEnd::NotStarted:
        return 127;
    case exec::TDosCommand::RunEnd::TimedOut:
    case exec::TDosCommand::RunEnd::Stopped:
        return 124;
    default:
        return status;
    }
}

} // namespace cli
