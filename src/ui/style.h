#pragma once
// What every window of Spindle shares: its look and its buttons.
class QWidget;
class QColor;
class QPalette;
class QPushButton;

#include <QString>
#include <Qt>

namespace ui {

// The desktop's palette `p` with disabled text that still reads (4.5:1)
// yet looks off, for the windows that keep the desktop's colours.
QPalette readablePalette(QPalette p);
// The whole palette of Spindle's sky-blue windows, whatever the desktop's.
QPalette skyBluePalette();
// Gives a window the sky-blue palette.
void paintSkyBlue(QWidget *w);
// WCAG relative luminance and contrast ratio (1 to 21).
double luminance(const QColor &c);
double contrast(const QColor &a, const QColor &b);

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
