// The runner under a flood of output and under silence:
//  1. a child printing 1,000,000 short lines, time to OnTerminated with a
//     string-list sink, against the same child writing to /dev/null;
//  2. the same through the console window, shown (offscreen), from the
//     start to the console closing, with the longest event-loop turn seen
//     meanwhile, against the string-list sink of step 1;
//  3. a child silent for 10 s: CPU time Spindle's process used meanwhile.
#include "bench_util.h"
#include "bench_dialogs.h"
#include "exec/ui/console_capture.h"
#include "exec/dos_command.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

static QString child() { return QCoreApplication::applicationDirPath() + "/spindle-testchild"; }

static double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs a command line to its end; returns seconds, and the longest gap
// between two 10 ms ticks (the longest event-loop turn) in *maxTurnMs.
static double runToEnd(exec::TDosCommand &c, const QString &cl, double *maxTurnMs = nullptr)
{
    QEventLoop loop;
    c.OnTerminated = [&](exec::TDosCommand *, quint32) { loop.quit(); };
    c.CommandLine = cl;
    QElapsedTimer gap;
    double worst = 0;
    QTimer ticker; // only while turns are measured: it costs CPU itself
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worst = std::max(worst, double(gap.nsecsElapsed()) / 1e6 - 10.0);
        gap.restart();
    });
    const double s = nowSeconds();
    gap.start();
    if (maxTurnMs)
        ticker.start();
    c.Execute();
    loop.exec();
    if (maxTurnMs)
        *maxTurnMs = std::max(0.0, worst);
    return nowSeconds() - s;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString lines = QStringLiteral("\"%1\" lines 1000000").arg(child());

    const double devnull = timeMedian(3, [&] {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(child(), {"lines", "1000000"});
        p.waitForFinished(-1);
    });
    exec::TDosCommand c;
    base::StringListLines list;
    c.setOutputLines(&list);
    const double toList = timeMedian(3, [&] {
        list.clear();
        runToEnd(c, lines);
    });
    std::printf("1,000,000 lines: string-list sink %.3f s, child to /dev/null %.3f s, ratio %.2f (target <= 3)\n",
                toList, devnull, toList / devnull);
    if (list.count() != 1000000) {
        std::printf("wrong line count: %lld\n", (long long)list.count());
        return 1;
    }

    // The console's own runner, its own flow: the box at the end is answered
    // at once, and the console closes.
    SilentDialogs silent;
    ui::setDialogs(&silent);
    base::Session session;
    Tconsole console(session);
    QElapsedTimer gap;
    double worstTurn = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        worstTurn = std::max(worstTurn, double(gap.nsecsElapsed()) / 1e6 - 10.0);
        gap.restart();
    });
    gap.start();
    ticker.start();
    const double s0 = nowSeconds();
    console.run(lines);
    const double toConsole = nowSeconds() - s0;
    ticker.stop();
    ui::setDialogs(nullptr);
    // The command line it ran, then the child's lines.
    if (console.Memo1->lineCount() != 1000001 || !console.resultLine().isEmpty()) {
        std::printf("console holds %lld lines, result \"%s\"\n", (long long)console.Memo1->lineCount(),
                    console.resultLine().toUtf8().constData());
        return 1;
    }
    std::printf("1,000,000 lines through the console (shown, offscreen): %.3f s, longest event-loop turn %.0f ms "
                "(targets <= 1 s, <= 50 ms); %.2f times the string-list sink\n",
                toConsole, std::max(0.0, worstTurn), toConsole / toList);

    c.setOutputLines(nullptr);
    const double cpu0 = cpuSeconds();
    const double wall = runToEnd(c, QStringLiteral("\"%1\" sleep 10000").arg(child()));
    const double cpu = cpuSeconds() - cpu0;
    std::printf("silent child: %.2f s wall, %.4f s CPU, %.3f%% of wall (target < 1%%)\n", wall, cpu,
                100.0 * cpu / wall);
    return 0;
}
