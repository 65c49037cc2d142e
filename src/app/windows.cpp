#include "windows.h"

#include "about.h"
#include "comments.h"
#include "debug_unit.h"
#include "exec/console_capture.h"
#include "integrator.h"
#include "iso/mkiso_form.h"
#include "selector.h"

#include <QPalette>

namespace app {

Windows &windows()
{
    static Windows w;
    return w;
}

void createWindows()
{
    Windows &w = windows();
    w.Integrator = new TIntegrator;
    w.Mkisofs_form = new TMkisofs_form;
    w.SelectForm = new TSelectForm;
    w.About_form = new TAbout_form;
    w.Comments_form = new TComments_form;
    w.console = new Tconsole;
    w.Debug_win = new TDebug_win;
}

void destroyWindows()
{
    Windows &w = windows();
    delete w.Debug_win;
    delete w.console;
    delete w.Comments_form;
    delete w.About_form;
    delete w.SelectForm;
    delete w.Mkisofs_form;
    delete w.Integrator;
    w = Windows{};
}

void setUpWindow(QWidget *w, const char *objectName, const QString &caption)
{
    w->setObjectName(QLatin1String(objectName));
    w->setWindowTitle(caption);
    paintSkyBlue(w);
}

void paintSkyBlue(QWidget *w)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, QColor(166, 202, 240));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

} // namespace app
