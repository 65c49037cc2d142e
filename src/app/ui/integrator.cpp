#include "app/ui/integrator.h"

#include "app/ui/about.h"
#include "app/ui/debug_unit.h"
#include "ui/dialogs.h"
#include "exec/tools.h"
#include "disc/ui/cd_operations.h"
#include "iso/ui/mkiso_form.h"
#include "tools/ui/other_form.h"
#include "tree/ui/renamer_form.h"
#include "tree/ui/sorter_form.h"
#include "platform/platform.h"
#include "base/session.h"
#include "app/ui/windows.h"
#include "ui/style.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
constexpr int kUnpaintedStartMs = 250;

QToolButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QString &hint)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setAutoRaise(true); // flat
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (!hint.isEmpty()) {
        b->setToolTip(hint);
        b->setCursor(Qt::PointingHandCursor);
    }
    return b;
}
} // namespace

TIntegrator::TIntegrator(app::Windows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window | ui::kToolWindowFlags), m_windows(windows)
{
    ui::setUpWindow(this, "Integrator", QStringLiteral("Spindle v2"));
    m_args = QCoreApplication::arguments().mid(1);

    SpeedButton1 = makeButton(this, "SpeedButton1", QStringLiteral("Case and Attributes"),
                              QStringLiteral("Case and Attributes"));
    SpeedButton3 = makeButton(this, "SpeedButton3", QStringLiteral("Layout Sorter"),
                              QStringLiteral("Layout Sorter"));
    SpeedButton5 = makeButton(this, "SpeedButton5", QStringLiteral("Make ISO"), QStringLiteral("Make ISO"));
    SpeedButton6 = makeButton(this, "SpeedButton6", QStringLiteral("CD operations"), QStringLiteral("Burn CD"));
    SpeedButton2 = makeButton(this, "SpeedButton2", QStringLiteral("Other"), QString());
    SpeedButton4 = makeButton(this, "SpeedButton4", QStringLiteral("Help"), QStringLiteral("Help"));
    SpeedButton8 = makeButton(this, "SpeedButton8", QStringLiteral("About"), QStringLiteral("About"));
    SpeedButton7 = makeButton(this, "SpeedButton7", QStringLiteral("Exit"), QStringLiteral("Exit"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    cbDebug = new QCheckBox(QStringLiteral("Debug this session"), this);
    cbDebug->setObjectName(QStringLiteral("cbDebug"));

    auto *grid = new QGridLayout;
    grid->addWidget(SpeedButton1, 0, 0);
    grid->addWidget(SpeedButton3, 0, 1);
    grid->addWidget(SpeedButton5, 0, 2);
    grid->addWidget(SpeedButton6, 0, 3);
    grid->addWidget(SpeedButton2, 1, 0);
    grid->addWidget(SpeedButton4, 1, 1);
    grid->addWidget(SpeedButton8, 1, 2);
    grid->addWidget(SpeedButton7, 1, 3);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Label1, 1);
    bottom->addWidget(cbDebug);
    auto *v = new QVBoxLayout(this);
    v->addLayout(grid, 1);
    v->addLayout(bottom);
    resize(570, 161);

    connect(SpeedButton1, &QToolButton::clicked, this, &TIntegrator::SpeedButton1Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TIntegrator::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TIntegrator::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TIntegrator::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TIntegrator::SpeedButton6Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TIntegrator::SpeedButton2Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TIntegrator::SpeedButton7Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &TIntegrator::SpeedButton8Click);
    connect(cbDebug, &QCheckBox::toggled, this, &TIntegrator::cbDebugClick);
}

void TIntegrator::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    // The start-up work waits until the window is on the screen (its first
    // paint); a window the desktop does not draw yet starts it soon anyway.
    if (!m_started)
        QTimer::singleShot(kUnpaintedStartMs, this, &TIntegrator::FormActivate);
}

void TIntegrator::paintEvent(QPaintEvent *e)
{
    QWidget::paintEvent(e);
    if (!m_started)
        QTimer::singleShot(0, this, &TIntegrator::FormActivate);
}

bool TIntegrator::createScratchFiles()
{
    // One session at a time owns a folder's scratch files; a second one
    // must neither empty nor delete them.
    QString taken, reason;
    if (!platform::claimSessionScratch(&taken, &reason)) {
        ui::dialogs().error(this, platform::cannotCreateText(platform::workFolder() + base::kCaptureFile, reason));
        return false;
    }
    if (!taken.isEmpty())
        ui::dialogs().info(this, QStringLiteral("Another Spindle session uses the scratch files in %1, so this "
                                                  "session keeps its own in %2.")
                                       .arg(taken, platform::scratchFolder()));
    for (const QString &name : {base::kCaptureFile, base::kDebugFile}) {
        const QString path = platform::scratchFolder() + name;
        if (!platform::createScratchFile(path, &reason)) {
            ui::dialogs().error(this, platform::cannotCreateText(path, reason));
            return false;
        }
    }
    return true;
}

void TIntegrator::FormActivate()
{
    if (m_started)
        return;
    m_started = true;
    // The tool windows are made now, after the main window has shown.
    app::createOtherWindows();

    const base::SwitchEffect e = base::interpretSwitch(m_args);
    if (e.createScratchFiles && !createScratchFiles())
        return; // the rest of the start-up is skipped; the window stays open
    m_windows.session.DebugMode = e.debugMode;
    m_windows.session.Win9xMode = e.win9xMode;
    if (e.checkDebugBox)
        cbDebug->setChecked(true);
    Label1->setText(e.label);

    QStringList missing;
    for (const QString &tool : exec::toolNames())
        if (exec::findTool(tool, platform::startDirectory()).isEmpty())
            missing << tool; // every tool is searched, even after a miss
    if (!missing.isEmpty()) {
        ui::dialogs().plain(this, missingToolsText(missing));
        // The help the message promises: a help window of Spindle's own
        // would end with Spindle, so Spindle ends when that window closes.
        QWidget *help = ui::openHelp();
        if (help) {
            hide();
            connect(help, &QObject::destroyed, this, [this] { close(); });
        } else {
            close();
        }
    }
}

QString TIntegrator::missingToolsText(const QStringList &files)
{
    QStringList folders{platform::startDirectory()};
    if (platform::spindleFolder() != folders.first())
        folders << platform::spindleFolder();
    return QStringLiteral("Needed file is missing: %1 (looked for in %2). Please read help file about how to install Spindle")
        .arg(files.join(QStringLiteral(", ")), folders.join(QStringLiteral(" and ")));
}

void TIntegrator::cbDebugClick()
{
    TDebug_win *dbg = m_windows.Debug_win;
    if (cbDebug->isChecked()) {
        m_windows.session.DebugMode = true;
        if (dbg) {
            dbg->memoLines()->clear();
            dbg->show();
        }
    } else {
        m_windows.session.DebugMode = false;
        if (dbg)
            dbg->hide();
    }
}

bool TIntegrator::FormCloseQuery()
{
    TDebug_win *dbg = m_windows.Debug_win;
    if (cbDebug->isChecked()
        && ui::dialogs().confirm(this, QStringLiteral("Debug session was selected, do you want to save the log file? "))) {
        if (dbg)
            dbg->saveLog();
    }
    platform::removeScratchFiles({base::kCaptureFile, base::kDebugFile});
    return true;
}

void TIntegrator::closeEvent(QCloseEvent *e)
{
    if (FormCloseQuery()) {
        e->accept();
        emit closed();
    } else {
        e->ignore();
    }
}

void TIntegrator::SpeedButton1Click()
{
    if (Trenamer_form *f = m_windows.renamer_form)
        f->exec();
}

void TIntegrator::SpeedButton3Click()
{
    if (Tsorter_form *f = m_windows.sorter_form)
        f->exec();
}

void TIntegrator::SpeedButton4Click() { ui::openHelp(); }

void TIntegrator::SpeedButton5Click()
{
    if (TMkisofs_form *f = m_windows.Mkisofs_form)
        f->exec();
}

void TIntegrator::SpeedButton2Click()
{
    if (Tother_form *f = m_windows.other_form)
        f->exec();
}

void TIntegrator::SpeedButton6Click()
{
    if (TCD_Operations *f = m_windows.CD_Operations)
        f->exec();
}

void TIntegrator::SpeedButton7Click() { close(); }

void TIntegrator::SpeedButton8Click()
{
    if (TAbout_form *about = m_windows.About_form)
        about->exec();
}
