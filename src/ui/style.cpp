#include "ui/style.h"

#include <QPushButton>

#include <QPalette>
#include <QVariant>
#include <QWidget>

#include <cmath>

namespace ui {

namespace {
const QColor kSkyBlue(166, 202, 240);

double channel(double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

// `a` moved towards `b` by `t` (0..1).
QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}
} // namespace

double luminance(const QColor &c)
{
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void setUpWindow(QWidget *w, const char *objectName, const QString &caption)
{
    w->setObjectName(QLatin1String(objectName));
    w->setWindowTitle(caption);
    paintSkyBlue(w);
}

QPalette readablePalette(QPalette p)
{
    // The desktop's disabled text is often faint (light grey on grey, dark
    // grey on a dark theme). Each role gets a shade between the desktop's
    // own text and its background: visibly off, yet 4.5:1 against it.
    const struct
    {
        QPalette::ColorRole text, background;
    } pairs[] = {{QPalette::WindowText, QPalette::Window},
                 {QPalette::Text, QPalette::Base},
                 {QPalette::ButtonText, QPalette::Button}};
    for (const auto &pair : pairs) {
        const QColor text = p.color(QPalette::Active, pair.text);
        const QColor background = p.color(QPalette::Disabled, pair.background);
        QColor shade = text;
        for (double t = 0.5; t > 0; t -= 0.05) {
            shade = mix(text, background, t);
            if (contrast(shade, background) >= 4.5)
                break;
        }
        if (contrast(shade, background) < 4.5)
            shade = text;
        p.setColor(QPalette::Disabled, pair.text, shade);
    }
    return p;
}

QPalette skyBluePalette()
{
    // Every colour a window needs, so none comes from the desktop: a dark
    // theme's white text on sky blue or black fields would not read. Each
    // text has at least 4.5:1 against what it is drawn on; an off control
    // has a pale face and slate text, so it looks off at a glance.
    const QColor black(0, 0, 0), white(255, 255, 255);
    const QColor offText(0x3F, 0x4A, 0x55); // 5.3:1 on sky blue, 6.3:1 on the off face
    QPalette p(black, kSkyBlue);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = g == QPalette::Disabled;
        p.setColor(g, QPalette::Window, kSkyBlue);
        p.setColor(g, QPalette::WindowText, off ? offText : black);
        p.setColor(g, QPalette::Base, off ? QColor(0xE4, 0xEC, 0xF4) : white);
        p.setColor(g, QPalette::AlternateBase, QColor(0xEE, 0xF4, 0xFB));
        p.setColor(g, QPalette::Text, off ? offText : black);
        p.setColor(g, QPalette::PlaceholderText, QColor(0x5F, 0x5F, 0x5F));
        p.setColor(g, QPalette::Button, off ? QColor(0xC4, 0xDA, 0xF0) : QColor(0xF0, 0xF0, 0xF0));
        p.setColor(g, QPalette::ButtonText, off ? offText : black);
        p.setColor(g, QPalette::BrightText, white);
        p.setColor(g, QPalette::Light, white);
        p.setColor(g, QPalette::Midlight, QColor(0xE3, 0xE9, 0xF0));
        p.setColor(g, QPalette::Mid, QColor(0xA0, 0xA8, 0xB4));
        p.setColor(g, QPalette::Dark, QColor(0x6E, 0x77, 0x84));
        p.setColor(g, QPalette::Shadow, QColor(0x3C, 0x44, 0x50));
        p.setColor(g, QPalette::Highlight, off ? QColor(0x6E, 0x77, 0x84) : QColor(0x1F, 0x5F, 0xA8));
        p.setColor(g, QPalette::HighlightedText, white);
        p.setColor(g, QPalette::Link, QColor(0x00, 0x00, 0xEE));
        p.setColor(g, QPalette::LinkVisited, QColor(0x55, 0x1A, 0x8B));
        p.setColor(g, QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
        p.setColor(g, QPalette::ToolTipText, black);
    }
    return p;
}

void paintSkyBlue(QWidget *w)
{
    w->setPalette(skyBluePalette());
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
