#pragma once
// The program-wide window instances, created once at start in a fixed order
// and reachable from every window.
class TIntegrator;
class TMkisofs_form;
class TSelectForm;
class TAbout_form;
class TComments_form;
class Tconsole;
class TDebug_win;
class QWidget;
class QColor;

namespace app {

struct Windows
{
    TIntegrator *Integrator = nullptr;
    TMkisofs_form *Mkisofs_form = nullptr;
    TSelectForm *SelectForm = nullptr;
    TAbout_form *About_form = nullptr;
    TComments_form *Comments_form = nullptr;
    Tconsole *console = nullptr;
    TDebug_win *Debug_win = nullptr;
};

Windows &windows();
// Creates every window in the creation order; the main window first.
void createWindows();
// Destroys them in reverse order.
void destroyWindows();

// The sky-blue background of Spindle's windows.
void paintSkyBlue(QWidget *w);

} // namespace app
