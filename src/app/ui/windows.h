#pragma once
// The program's windows: created once at start, destroyed at the end. The
// program owns them here; a window gets what it uses in its constructor.
#include "base/session.h"

class TIntegrator;
class TMkisofs_form;
class TSelectForm;
class TAbout_form;
class TComments_form;
class Trenamer_form;
class Tsorter_form;
class Tconsole;
class TCD_Operations;
class TDebug_win;
class Tother_form;

namespace app {

struct Windows
{
    base::Session session;
    TIntegrator *Integrator = nullptr;
    TMkisofs_form *Mkisofs_form = nullptr;
    TSelectForm *SelectForm = nullptr;
    TAbout_form *About_form = nullptr;
    TComments_form *Comments_form = nullptr;
    Trenamer_form *renamer_form = nullptr;
    Tsorter_form *sorter_form = nullptr;
    Tconsole *console = nullptr;
    TCD_Operations *CD_Operations = nullptr;
    TDebug_win *Debug_win = nullptr;
    Tother_form *other_form = nullptr;
};

// The set createWindows made (for the program's entry and the tests).
Windows &windows();

// Creates every window, the main window first; the others in the order
// that gives each the windows it uses.
void createWindows();
// The same in two steps, so the main window shows before the others are
// made: the main window alone, then (once, at its first activation) the
// others.
void createMainWindow();
void createOtherWindows();
// Destroys them in reverse order.
void destroyWindows();

} // namespace app
