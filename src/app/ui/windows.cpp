#include "app/ui/windows.h"

#include "app/ui/about.h"
#include "app/ui/hints.h"
#include "ui/comments.h"
#include "app/ui/debug_unit.h"
#include "ui/selector.h"
#include "ui/style.h"
#include "disc/ui/cd_operations.h"
#include "exec/ui/console_capture.h"
#include "app/ui/integrator.h"
#include "iso/ui/mkiso_form.h"
#include "tools/ui/other_form.h"
#include "tree/ui/renamer_form.h"
#include "tree/ui/sorter_form.h"

#include <QApplication>

namespace app {

Windows &windows()
{
    static Windows w;
    return w;
}

void createWindows()
{
    createMainWindow();
    createOtherWindows();
}

void createMainWindow()
{
    QApplication::setPalette(ui::readablePalette(QApplication::palette()));
    Windows &w = windows();
    w = Windows{};
    // The main window shows the others when asked, so it may come first.
    w.Integrator = new TIntegrator(w);
    applyHints();
    applyKeys();
}

void createOtherWindows()
{
    Windows &w = windows();
    if (w.Debug_win)
        return;
    w.Debug_win = new TDebug_win(w.session);
    w.console = new Tconsole(w.session);
    w.SelectForm = new TSelectForm;
    w.About_form = new TAbout_form;
    w.Comments_form = new TComments_form;
    w.Mkisofs_form = new TMkisofs_form({w.console, w.Comments_form, w.SelectForm, w.Debug_win, {w.Comments_form, w.Debug_win}});
    w.renamer_form = new Trenamer_form(*w.Debug_win);
    w.sorter_form = new Tsorter_form;
    w.CD_Operations = new TCD_Operations(w.console, *w.Debug_win);
    w.other_form = new Tother_form(*w.Debug_win);
    applyHints();
    applyKeys();
}

void destroyWindows()
{
    Windows &w = windows();
    delete w.other_form;
    delete w.CD_Operations;
    delete w.sorter_form;
    delete w.renamer_form;
    delete w.Mkisofs_form;
    delete w.Comments_form;
    delete w.About_form;
    delete w.SelectForm;
    delete w.console;
    delete w.Debug_win;
    delete w.Integrator;
    w = Windows{};
}

} // namespace app
