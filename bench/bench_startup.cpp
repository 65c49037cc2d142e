// Start-up time from main to the main window shown, against a bare Qt
// window, each measured in fresh processes in the same run. A second
// baseline adds one label to the bare window: the first text a process
// draws loads the font database, which no window with a caption avoids.
#include "app/ui/integrator.h"
#include "app/ui/windows.h"
#include "ui/style.h"
#include "bench_dialogs.h"
#include "bench_util.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QLabel>
#include <QWidget>

#include <cstring>

namespace {
// Child mode: measure one start, print nanoseconds.
enum class Mode { Bare, Label, Spindle };
int measure(int argc, char **argv, Mode mode)
{
    QElapsedTimer t;
    t.start();
    QApplication a(argc, argv);
    QWidget *shown = nullptr;
    SilentDialogs silent; // the start-up check may ask something
    if (mode == Mode::Spindle) {
        QApplication::setApplicationName(QStringLiteral("Spindle"));
        ui::setDialogs(&silent);
        app::createWindows();
        shown = app::windows().Integrator;
    } else {
        shown = new QWidget;
        shown->resize(570, 161);
        if (mode == Mode::Label)
            new QLabel(QStringLiteral("Spindle"), shown);
    }
    shown->show();
    QCoreApplication::processEvents();
    std::printf("%lld\n", (long long)t.nsecsElapsed());
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

    auto once = [&](const char *mode) {
        QProcess p;
        p.start(QString::fromLocal8Bit(argv[0]), {QString::fromLatin1(mode)});
        p.waitForFinished(-1);
        return p.readAllStandardOutput().trimmed().toDouble() / 1e9;
    };
    int dummy = 1;
    QCoreApplication core(dummy, argv);
    std::vector<double> bare, label, spindle;
    for (int i = 0; i < 15; ++i) {
        bare.push_back(once("--bare"));
        label.push_back(once("--label"));
        spindle.push_back(once("--spindle"));
    }
    const double b = median(bare), l = median(label), s = median(spindle);
    std::printf("start-up to main window shown: spindle %.1f ms, bare Qt window %.1f ms, ratio %.2f (target <= 1.5)\n",
                s * 1e3, b * 1e3, s / b);
    std::printf("against a bare window with one label: %.1f ms, ratio %.2f\n", l * 1e3, s / l);
    return s > 0 && b > 0 ? 0 : 1;
}
