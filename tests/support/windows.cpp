#include "support/windows.h"

#include "app/ui/windows.h"
#include "exec/dos_command.h"

#include <QDir>

void createWindowsWith(FakeDialogs *d)
{
    app::windows().session.DebugMode = app::windows().session.Win9xMode = false;
    ui::setDialogs(d);
    exec::TDosCommand::setErrorReporter([](const QString &m) { ui::dialogs().error(nullptr, m); });
    app::createWindows();
}

void destroyWindowsOf(FakeDialogs *d)
{
    app::destroyWindows();
    ui::setDialogs(nullptr);
    delete d;
    QDir::setCurrent(QDir::tempPath());
}

bool usualTip(const QWidget *w)
{
    return !w->toolTip().isEmpty() && w->toolTip() == w->property("hint").toString();
}
