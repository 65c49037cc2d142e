#include "app/ui/windows.h"

#include "app/ui/about.h"
#include "app/ui/hints.h"
#include "ui/comments.h"
#include "ui/debug_unit.h"
#include "ui/selector.h"
#include "ui/style.h"
#include "disc/ui/cd_operations.h"
#include "exec/ui/console_capture.h"
#include "app/ui/integrator.h"
#include "iso/ui/mkiso_form.h"
#include "iso/order_report.h"
#include "tools/ui/other_form.h"
#include "tree/ui/renamer_form.h"
#include "tree/ui/sorter_form.h"

#include <QApplication>

namespace app {

void createWindows()
{
    QApplication::setPalette(ui::readablePalette(QApplication::palette()));
    ui::Windows &w = ui::windows();
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
    ui::Windows &w = ui::windows();
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
    w = ui::Windows{};
}

} // namespace app
