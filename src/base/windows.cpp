#include "windows.h"

#include <QPushButton>

#include <QPalette>
#include <QWidget>

namespace base {

Windows &windows()
{
    static Windows w;
    return w;
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

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

} // namespace base
