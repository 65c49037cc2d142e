// Start-up time from main to the main window drawn (its first paint),
// against a bare Qt window, each measured in fresh processes in the same
// run. A second baseline adds one label to the bare window: the first text
// a process draws loads the font database, which no window with a caption
// avoids. For Spindle also the time until every other window exists and
// the start-up checks have run (done after the main window is drawn).
#include "app/ui/integrator.h"
#include "app/ui/windows.h"
#include "ui/style.h"
#include "bench_dialogs.h"
#include "bench_util.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QProcess>
#include <QLabel>
#include <QWidget>

#include <cstring>

namespace {
// Quits `loop` at the first paint of the watched window.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QEventLoop *loop) : m_loop(loop) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            m_loop->quit();
        return false;
    }

private:
    QEventLoop *m_loop;
};

// Child mode: measure one start, print nanoseconds to the first paint and,
// for Spindle, to every window made.
enum class Mode { Bare, Label, Spindle };
int measure(int argc, char **argv, Mode mode)
{
    QElapsedTimer t;
    t.start();
    QApplication a(argc, argv);
    QWidget *shown = nullptr;
    SilentDialogs silent; // the start-up check may ask something
    if (mode == Mode::Spindle) {
        // As the program's entry does.
        QApplication::setApplicationName(QStringLiteral("Spindle"));
        ui::setDialogs(&silent);
        app::createMainWindow();
        shown = app::windows().Integrator;
    } else {
        shown = new QWidget;
        shown->resize(570, 161);
        if (mode == Mode::Label)
            new QLabel(QStringLiteral("Spindle"), shown);
    }
    QEventLoop loop;
    FirstPaint painted(&loop);
    shown->installEventFilter(&painted);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    shown->show();
    loop.exec();
    const qint64 drawn = t.nsecsElapsed();
    qint64 all = drawn;
    if (mode == Mode::Spindle) {
        while (!app::windows().other_form && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        all = t.nsecsElapsed();
    }
    std::printf("%lld %lld\n", (long long)drawn, (long long)all);
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && !std::strcmp(argv[1], "--spindle"))
        return measure(argc, argv, Mode::Spindle);
    if (argc > 1 && !std::strcmp(argv[1], "--bare"))
        return measure(argc, argv, Mode::Bare);
    if (argc > 1 && !std::strcmp(argv[1], "--label"))
        return measure(argc, argv, Mode::Label);

    std::vector<double> allWindows;
    auto once = [&](const char *mode) {
        QProcess p;
        p.start(QString::fromLocal8Bit(argv[0]), {QString::fromLatin1(mode)});
        p.waitForFinished(-1);
        const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
        if (!std::strcmp(mode, "--spindle") && f.size() > 1)
            allWindows.push_back(f[1].toDouble() / 1e9);
        return f.value(0).toDouble() / 1e9;
    };
    int dummy = 1;
    QCoreApplication core(dummy, argv);
    std::vector<double> bare, label, spindle;
    for (int i = 0; i < 15; ++i) {
        bare.push_back(once("--bare"));
        label.push_back(once("--label"));
        spindle.push_back(once("--spindle"));
    }
    const double b = median(bare), l = median(label), s = median(spindle), all = median(allWindows);
    reportLine("start-up to main window drawn: spindle %.1f ms, bare Qt window %.1f ms, ratio %.2f\n", s * 1e3, b * 1e3,
           s / b);
    reportLine("against a bare window with one label: %.1f ms, ratio %.2f (target <= 1.5)\n", l * 1e3, s / l);
    reportLine("every window made and the start-up checks done: %.1f ms after start (%.2f times the label window)\n",
           all * 1e3, all / l);
    return s > 0 && b > 0 ? 0 : 1;
}
