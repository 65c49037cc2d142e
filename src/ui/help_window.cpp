#include "ui/help_window.h"

#include "ui/style.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Spindle Help"));
    // Gone when closed: the main window, started only to show the help of
    // a missing tool, ends with it.
    setAttribute(Qt::WA_DeleteOnClose);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    BackBT = ui::button(this, "BackBT", QStringLiteral("&Back"), QStringLiteral("The page shown before"));
    ContentsBT = ui::button(this, "ContentsBT", QStringLiteral("C&ontents"), QStringLiteral("The help's first page"));
    CloseBT = ui::button(this, "CloseBT", QStringLiteral("&Close"), QStringLiteral("Close the help"));
    BackBT->setEnabled(false);
    connect(Browser, &QTextBrowser::backwardAvailable, BackBT, &QPushButton::setEnabled);
    connect(BackBT, &QPushButton::clicked, this, &THelpWindow::BackBTClick);
    connect(ContentsBT, &QPushButton::clicked, this, &THelpWindow::ContentsBTClick);
    connect(CloseBT, &QPushButton::clicked, this, &THelpWindow::CloseBTClick);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BackBT);
    buttons->addWidget(ContentsBT);
    buttons->addStretch(1);
    buttons->addWidget(CloseBT);
    auto *l = new QVBoxLayout(this);
    l->addLayout(buttons);
    l->addWidget(Browser, 1);
    resize(720, 560);
}

void THelpWindow::showIndex(const QString &indexPath)
{
    m_index = QUrl::fromLocalFile(indexPath);
    Browser->setSource(m_index);
    show();
    raise();
    activateWindow();
}

void THelpWindow::BackBTClick() { Browser->backward(); }

void THelpWindow::ContentsBTClick() { Browser->setSource(m_index); }

void THelpWindow::CloseBTClick() { close(); }

void THelpWindow::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

namespace ui {
THelpWindow *helpWindow()
{
    // Lives until the program ends, like the other windows.
    static QPointer<THelpWindow> window;
    if (!window)
        window = new THelpWindow;
    return window;
}
} // namespace ui
