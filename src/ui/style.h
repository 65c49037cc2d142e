#pragma once
// The program-wide window instances, created once at start in a fixed order
// and reachable from every window.
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
class QWidget;
class QColor;
class QPalette;
class QPushButton;

#include <QString>
#include <Qt>

namespace ui {

struct Windows
{
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

Windows &windows();

// `p` with disabled text that stays readable on Spindle's backgrounds.
QPalette readablePalette(QPalette p);
// The sky-blue background of Spindle's windows.
void paintSkyBlue(QWidget *w);

// A window with a title bar, system menu, minimise and maximise buttons
// (plus the close box), as the tool windows and small dialogs have. Every
// window can be resized; its layout lets the fields grow.
constexpr Qt::WindowFlags kToolWindowFlags = Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                             | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                                             | Qt::WindowCloseButtonHint;
// Names a window and gives it its caption and background.
void setUpWindow(QWidget *w, const char *objectName, const QString &caption);

// A push button named `name` (object name), never the dialog's default
// button, with an optional tooltip.
QPushButton *button(QWidget *parent, const char *name, const QString &caption,
                    const QString &hint = {});

// Shows why a control is off in its tooltip; an empty reason gives it its
// usual tooltip back (the "hint" property the program's hint table sets).
void setReason(QWidget *w, const QString &reason);

} // namespace ui
