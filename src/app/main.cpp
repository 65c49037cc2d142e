#include "ui/dialogs.h"
#include "exec/dos_command.h"
#include "app/ui/integrator.h"
#include "app/ui/termination.h"
#include "platform/process.h"
#include "platform/signals.h"
#include "app/ui/windows.h"
#include "ui/style.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    // Answered before any window exists, so it works without a display.
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Spindle %s\n", SPINDLE_VERSION);
        return 0;
    }
    QApplication a(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Spindle"));
    // The menu entry's identity and icon (found once Spindle is installed).
    QGuiApplication::setDesktopFileName(QStringLiteral(SPINDLE_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(SPINDLE_APP_ID)));
    // The debug window is a top-level window too; the program ends with the
    // main window alone.
    QApplication::setQuitOnLastWindowClosed(false);
    exec::TDosCommand::setErrorReporter([](const QString &msg) { ui::dialogs().error(nullptr, msg); });

    app::endOnTerminationSignals();

    // The main window shows first; it makes the others once it is drawn.
    app::createMainWindow();
    TIntegrator *main = app::windows().Integrator;
    QObject::connect(main, &TIntegrator::closed, &a, &QApplication::quit, Qt::QueuedConnection);
    main->show();
    const int rc = QApplication::exec();
    app::destroyWindows();
    // No job outlives Spindle.
    platform::endAllJobs();
    if (const int sig = platform::terminationSignal())
        return 128 + sig;
    return rc;
}
