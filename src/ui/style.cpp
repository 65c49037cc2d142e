#include "ui/style.h"

#include <QPushButton>

#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace ui {

void setUpWindow(QWidget *w, const char *objectName, const QString &caption)
{
    w->setObjectName(QLatin1String(objectName));
    w->setWindowTitle(caption);
    paintSkyBlue(w);
}

QPalette readablePalette(QPalette p)
{
    // The style's light grey for disabled text vanishes on sky blue and is
    // faint on grey; this grey keeps a contrast of 4.5:1 against both and
    // still reads as disabled next to black.
    const QColor disabledText(80, 80, 80);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    return p;
}

void paintSkyBlue(QWidget *w)
{
    QPalette p = readablePalette(w->palette());
    p.setColor(QPalette::Window, QColor(166, 202, 240));
    p.setColor(QPalette::Disabled, QPalette::Window, QColor(166, 202, 240));
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

void setReason(QWidget *w, const QString &reason)
{
    w->setToolTip(reason.isEmpty() ? w->property("hint").toString() : reason);
}

} // namespace ui
