#include "windows.h"

#include "about.h"
#include "hints.h"
#include "base/comments.h"
#include "base/debug_unit.h"
#include "base/selector.h"
#include "base/windows.h"
#include "disc/cd_operations.h"
#include "exec/console_capture.h"
#include "integrator.h"
#include "iso/mkiso_form.h"
#include "iso/order_report.h"
#include "tools/other_form.h"
#include "tree/renamer_form.h"
#include "tree/sorter_form.h"

#include <QApplication>

namespace app {

void createWindows()
{
    QApplication::setPalette(base::readablePalette(QApplication::palette()));
    base::Windows &w = base::windows();
    w.Integrator = new TIntegrator;
    w.Mkisofs_form = new TMkisofs_form;
    w.SelectForm = new TSelectForm;
    w.About_form = new TAbout_form;
    w.Comments_form = new TComments_form;
    w.renamer_form = new Trenamer_form;
    w.sorter_form = new Tsorter_form;
    Tsorter_form::setOrderReader([](const QString &image, const QList<QPair<QString, QString>> &rows, QString *text,
                                    QString *error) {
        const iso::OrderReport r = iso::orderReport(image, rows);
        *text = r.text;
        *error = r.error;
        return r.ok;
    });
    w.console = new Tconsole;
    w.CD_Operations = new TCD_Operations;
    w.Debug_win = new TDebug_win;
    w.other_form = new Tother_form;
    applyHints();
    applyKeys();
}

void destroyWindows()
{
    base::Windows &w = base::windows();
    delete w.other_form;
    delete w.Debug_win;
    delete w.CD_Operations;
    delete w.console;
    delete w.sorter_form;
    delete w.renamer_form;
    delete w.Comments_form;
    delete w.About_form;
    delete w.SelectForm;
    delete w.Mkisofs_form;
    delete w.Integrator;
    w = base::Windows{};
}

} // namespace app
