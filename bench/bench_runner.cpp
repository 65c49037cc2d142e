// The runner under a flood of output and under silence:
//  1. a child printing 1,000,000 short lines, time to OnTerminated with a
//     string-list sink, against the same child writing to /dev/null;
//  2. the same through the console window, shown (offscreen), from the
//     start to the console closing, with the longest event-loop turn seen
//     meanwhile, against the string-list sink of step 1, and the heap the
//     console holds afterwards per line beyond the lines' text;
//  3. a child silent for 10 s: CPU time Spindle's process used meanwhile.
// Times are the best of three runs: on a shared machine the noise only
// ever adds.
#include "bench_util.h"
#include "bench_dialogs.h"
#include "exec/ui/console_capture.h"
#include "exec/dos_command.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>

static QString child() { return QCoreApplication::applicationDirPath() + "/spindle-testchild"; }

static double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Bytes the heap holds now, mapped chunks included.
static double heapBytes()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks) + double(m.hblkhd);
}

// The best of `runs` wall times of f(), and the CPU time `who` used in
// that run (Spindle's process, or its children).
struct Timing
{
    double wall = 1e9, cpu = 0;
};
template <class F>
static Timing best(int runs, int who, F &&f)
{
    Timing t;
    for (int i = 0; i < runs; ++i) {
        const double cpu0 = cpuSeconds(who);
        const double wall = f();
        if (wall < t.wall)
            t = {wall, cpuSeconds(who) - cpu0};
    }
    return t;
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
    constexpr int kRuns = 3;

    const Timing devnull = best(kRuns, RUSAGE_CHILDREN, [&] {
        const double s = nowSeconds();
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(child(), {"lines", "1000000"});
        p.waitForFinished(-1);
        return nowSeconds() - s;
    });
    exec::TDosCommand c;
    base::StringListLines list;
    c.setOutputLines(&list);
    c.KeepLines = false; // the list holds the lines, as the console's memo does
    const Timing toList = best(kRuns, RUSAGE_SELF, [&] {
        list.clear();
        return runToEnd(c, lines);
    });
    reportLine("1,000,000 lines: string-list sink %.3f s, child to /dev/null %.3f s, ratio %.2f (target <= 1.5)\n",
           toList.wall, devnull.wall, toList.wall / devnull.wall);
    if (list.count() != 1000000) {
        std::printf("wrong line count: %lld\n", (long long)list.count());
        return 1;
    }
    list.clear();

    // The console's own runner, its own flow: the box at the end is answered
    // at once, and the console closes.
    SilentDialogs silent;
    ui::setDialogs(&silent);
    base::Session session;
    Tconsole console(session);
    double worstTurn = 0, held = 0, textBytes = 0;
    const Timing toConsole = best(kRuns, RUSAGE_SELF, [&] {
        console.memoLines()->clear();
        const double before = heapBytes();
        QElapsedTimer gap;
        double worst = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            worst = std::max(worst, double(gap.nsecsElapsed()) / 1e6 - 10.0);
            gap.restart();
        });
        gap.start();
        ticker.start();
        const double s0 = nowSeconds();
        console.run(lines);
        const double t = nowSeconds() - s0;
        ticker.stop();
        held = heapBytes() - before;
        textBytes = double(console.Memo1->textLength() - (console.Memo1->lineCount() - 1));
        worstTurn = std::max(worstTurn, worst);
        return t;
    });
    ui::setDialogs(nullptr);
    // The command line it ran, then the child's lines.
    const qsizetype count = console.Memo1->lineCount();
    if (count != 1000001 || !console.resultLine().isEmpty()) {
        std::printf("console holds %lld lines, result \"%s\"\n", (long long)count,
                    console.resultLine().toUtf8().constData());
        return 1;
    }
    reportLine("1,000,000 lines through the console (shown, offscreen): %.3f s, longest event-loop turn %.0f ms "
           "(targets <= 1 s, <= 50 ms); ratio to the string-list sink %.2f (target <= 1.5)\n",
           toConsole.wall, std::max(0.0, worstTurn), toConsole.wall / toList.wall);
    // What the load does not change: the work each side does.
    reportLine("CPU time: child to /dev/null %.3f s; Spindle's side with the string-list sink %.3f s, with the console "
           "%.3f s (%.2f times the sink's)\n",
           devnull.cpu, toList.cpu, toConsole.cpu, toConsole.cpu / toList.cpu);
    reportLine("console memory: %.1f bytes held per line for %.1f bytes of text, %.1f beyond the text (target <= 40)\n",
           held / double(count), textBytes / double(count), (held - textBytes) / double(count));

    c.setOutputLines(nullptr);
    const double cpu0 = cpuSeconds();
    const double wall = runToEnd(c, QStringLiteral("\"%1\" sleep 10000").arg(child()));
    const double cpu = cpuSeconds() - cpu0;
    reportLine("silent child: %.2f s wall, %.4f s CPU, %.3f%% of wall (target < 1%%)\n", wall, cpu, 100.0 * cpu / wall);
    return 0;
}
