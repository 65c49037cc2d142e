#include "base/dialogs.h"
#include "exec/dos_command.h"
#include "integrator.h"
#include "app/windows.h"
#include "base/windows.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication a(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Spindle"));
    // The debug window is a top-level window too; the program ends with the
    // main window alone.
    QApplication::setQuitOnLastWindowClosed(false);
    exec::TDosCommand::setErrorReporter([](const QString &msg) { base::dialogs().error(nullptr, msg); });

    app::createWindows();
    TIntegrator *main = base::windows().Integrator;
    QObject::connect(main, &TIntegrator::closed, &a, &QApplication::quit, Qt::QueuedConnection);
    main->show();
    const int rc = QApplication::exec();
    app::destroyWindows();
    return rc;
}
