#include "tools/ui/other_form.h"

#include "ui/dialogs.h"
#include "ui/style.h"
#include "exec/tools.h"
#include "tools/other_jobs.h"
#include "platform/platform.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
ui::FileDialogOptions openDialog1()
{
    ui::FileDialogOptions o;
    o.filter = QStringLiteral("ISO files|*.iso|RAW files|*.raw|All Files|*.*");
    return o;
}

ui::FileDialogOptions openDialog2()
{
    ui::FileDialogOptions o;
    o.filter = QStringLiteral("Floppy images (*.img, *.ima, *.144)|*.img; *.ima;*.144|All Files|*.*");
    o.defaultExt = QStringLiteral("img");
    return o;
}

ui::FileDialogOptions saveDialog(const QString &filter, const QString &ext)
{
    ui::FileDialogOptions o;
    o.filter = filter;
    o.defaultExt = ext;
    o.overwritePrompt = true;
    return o;
}

ui::FileDialogOptions saveDialog1()
{
    return saveDialog(QStringLiteral("Floppy images (*.img)|*.img"), QStringLiteral("img"));
}

ui::FileDialogOptions saveDialog2()
{
    return saveDialog(QStringLiteral("ISO files (*.iso)|*.iso"), QStringLiteral("iso"));
}

QComboBox *driveList(QWidget *parent, const char *name)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setEditable(false); // choose only; typing jumps to a matching entry
    return c;
}
} // namespace

Tother_form::Tother_form(base::DebugLog &log, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      ProgressPanel1(new exec::ProgressPanel(this)), Memo1(new QPlainTextEdit(this)),
      DosCommand1(new exec::TDosCommand(this)), m_log(log),
      m_lines(Memo1, [this] { m_lines.pageDown(); }),
      m_driveSource([] { return platform::listDrives(); })
{
    ui::setUpWindow(this, "other_form", QStringLiteral("Other tools"));

    Label1 = new QLabel(QStringLiteral("Floppy Drives"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    cboxFloppy = driveList(this, "cboxFloppy");
    Label2 = new QLabel(QStringLiteral("CD/DVD Drives"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    cboxCDROM = driveList(this, "cboxCDROM");
    btExBS = button("btExBS", QStringLiteral("Extract boot sector from CD"));
    btExBSF = button("btExBSF", QStringLiteral("Extract boot sec. from  ISO"));
    btISO = button("btISO", QStringLiteral("Make CD image"));
    btFIMG = button("btFIMG", QStringLiteral("Make floppy image"));
    btWriteIMG = button("btWriteIMG", QStringLiteral("Write image to floppy"));
    btClose = button("btClose", QStringLiteral("Close"));
    StopBT = ui::button(this, "StopBT", QStringLiteral("Stop"));
    StopBT->setEnabled(false);

    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The tools align their reports in columns.
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    // The runner's defaults are this window's settings: no input echo, no
    // time limit (a CD image takes minutes), hidden, CR LF line ends.
    ProgressPanel1->setObjectName(QStringLiteral("ProgressPanel1"));
    m_lines.setObserver([this](const QString &text, bool entire) { ProgressPanel1->feed(text, entire); });

    DosCommand1->setObjectName(QStringLiteral("DosCommand1"));
    DosCommand1->OnTerminated = [this](exec::TDosCommand *s, quint32 code) { DosCommand1Terminated(s, code); };
    DosCommand1->KeepLines = false; // the memo holds the output

    connect(btExBS, &QPushButton::clicked, this, &Tother_form::btExBSClick);
    connect(btExBSF, &QPushButton::clicked, this, &Tother_form::btExBSFClick);
    connect(btISO, &QPushButton::clicked, this, &Tother_form::btISOClick);
    connect(btFIMG, &QPushButton::clicked, this, &Tother_form::btFIMGClick);
    connect(btWriteIMG, &QPushButton::clicked, this, &Tother_form::btWriteIMGClick);
    connect(btClose, &QPushButton::clicked, this, &Tother_form::btCloseClick);
    connect(StopBT, &QPushButton::clicked, this, &Tother_form::StopBTClick);

    auto *left = new QVBoxLayout;
    left->addWidget(Label1);
    left->addWidget(cboxFloppy);
    left->addWidget(Label2);
    left->addWidget(cboxCDROM);
    left->addSpacing(8);
    for (QPushButton *b : {btExBS, btExBSF, btISO, btFIMG, btWriteIMG})
        left->addWidget(b);
    left->addStretch(1);
    left->addWidget(btClose);
    auto *progress = new QHBoxLayout;
    progress->addWidget(ProgressPanel1, 1);
    progress->addWidget(StopBT);
    auto *right = new QVBoxLayout;
    right->addLayout(progress);
    right->addWidget(Memo1, 1);
    auto *row = new QHBoxLayout(this);
    row->addLayout(left);
    row->addLayout(right, 1);
    updateButtons();
    resize(570, 369);
}

QPushButton *Tother_form::button(const char *name, const QString &caption)
{
    auto *b = ui::button(this, name, caption);
    b->setFixedWidth(190);
    return b;
}

void Tother_form::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    // After the window is on screen, so the missing-tool messages come on top.
    QTimer::singleShot(0, this, &Tother_form::FormActivate);
}

void Tother_form::FormActivate()
{
    cboxFloppy->clear();
    cboxCDROM->clear();
    const platform::DriveLists drives = m_driveSource();
    // Each list keeps itself in drive order, whatever the source gives.
    QStringList removable = drives.removable, cdrom = drives.cdrom;
    platform::sortDrives(removable);
    platform::sortDrives(cdrom);
    cboxFloppy->addItems(removable);
    cboxCDROM->addItems(cdrom);

    const bool haveBbie = !exec::findTool(platform::exeName(QStringLiteral("bbie"))).isEmpty();
    if (!haveBbie)
        ui::dialogs().plain(this, tools::missingBbieText());
    const bool haveDd = !exec::findTool(platform::exeName(QStringLiteral("dd"))).isEmpty();
    if (!haveDd)
        ui::dialogs().plain(this, tools::missingDdText());

    if (cboxFloppy->count() > 0)
        cboxFloppy->setCurrentIndex(0);
    if (cboxCDROM->count() > 0)
        cboxCDROM->setCurrentIndex(0);

    // Each opening decides afresh: a tool or drive gone since is not offered.
    m_haveBbie = haveBbie;
    m_haveDd = haveDd;
    updateButtons();
}

bool Tother_form::haveDrive(const QComboBox *list, const QString &missing)
{
    // Behind the disabled buttons: a job never runs against no drive.
    if (!list->currentText().isEmpty())
        return true;
    ui::dialogs().plain(this, missing);
    return false;
}

void Tother_form::btExBSClick()
{
    if (haveDrive(cboxCDROM, tools::noCdDriveText()))
        startJob(tools::extractBootFromDriveCommand(cboxCDROM->currentText()));
}

void Tother_form::btExBSFClick()
{
    const QString file = ui::dialogs().openFile(this, openDialog1());
    if (!file.isEmpty())
        startJob(tools::extractBootFromFileCommand(file));
}

void Tother_form::btISOClick()
{
    if (!haveDrive(cboxCDROM, tools::noCdDriveText()))
        return;
    const QString file = ui::dialogs().saveFile(this, saveDialog2());
    if (!file.isEmpty())
        startJob(tools::readDriveCommand(cboxCDROM->currentText(), file),
                 platform::deviceSize(cboxCDROM->currentText()));
}

void Tother_form::btFIMGClick()
{
    if (!haveDrive(cboxFloppy, tools::noFloppyDriveText()))
        return;
    const QString file = ui::dialogs().saveFile(this, saveDialog1());
    if (!file.isEmpty())
        startJob(tools::readDriveCommand(cboxFloppy->currentText(), file),
                 platform::deviceSize(cboxFloppy->currentText()));
}

void Tother_form::btWriteIMGClick()
{
    if (!haveDrive(cboxFloppy, tools::noFloppyDriveText()))
        return;
    const QString file = ui::dialogs().openFile(this, openDialog2());
    if (file.isEmpty())
        return;
    QString reason;
    switch (tools::checkFloppyImage(file, &reason)) {
    case tools::ImageCheck::CannotOpen:
        ui::dialogs().error(this, platform::cannotOpenText(file, reason));
        return;
    case tools::ImageCheck::TooLarge:
        ui::dialogs().plain(this, tools::tooLargeText());
        return;
    case tools::ImageCheck::Fits:
        break;
    }
    // The list holds USB sticks and card readers as well as floppies:
    // whatever is on the drive is gone after this.
    const QString drive = cboxFloppy->currentText();
    if (!ui::dialogs().confirm(this, tools::overwriteQuestion(drive)))
        return;
    startJob(tools::writeDriveCommand(file, drive), QFileInfo(file).size(), true);
}

void Tother_form::startJob(const exec::CommandLine &command, qint64 totalBytes, bool writesDevice)
{
    DosCommand1->WorkingDirectory = tools::jobFolder();
    m_lines.clear();
    m_lines.setText(tools::jobHeader());
    DosCommand1->setOutputLines(&m_lines);
    // Disabled before the start: a run that cannot start ends at once and
    // its end handler enables them again.
    m_jobRunning = true;
    m_jobWritesDevice = writesDevice;
    updateButtons();
    ProgressPanel1->start(totalBytes);
    emit jobStarted(command.display());
    DosCommand1->Execute(command);
}

void Tother_form::DosCommand1Terminated(exec::TDosCommand *Sender, quint32 ExitCode)
{
    m_lines.flush();
    if (Sender->lastRunEnd() == exec::TDosCommand::RunEnd::Stopped) {
        m_lines.add(tools::stoppedText());
        m_lines.flush();
    }
    const bool exited = Sender->lastRunEnd() == exec::TDosCommand::RunEnd::Exited;
    ProgressPanel1->finish(exited && ExitCode == 0);
    // The job and all it printed, as Make ISO logs its batch run.
    m_log.entry(Sender->CommandLine);
    QString output = Memo1->toPlainText();
    if (exited && ExitCode != 0)
        output += QStringLiteral("\nThe command failed with exit code %1.").arg(ExitCode);
    m_log.text(output);
    m_jobRunning = m_jobWritesDevice = false;
    updateButtons();
    emit jobFinished();
}

void Tother_form::updateButtons()
{
    const QString noCd = cboxCDROM->count() == 0 ? tools::noCdDriveText() : QString();
    const QString noFloppy = cboxFloppy->count() == 0 ? tools::noFloppyDriveText() : QString();
    const QString noBbie = m_haveBbie ? QString() : tools::missingBbieText();
    const QString noDd = m_haveDd ? QString() : tools::missingDdText();
    auto set = [this](QPushButton *b, std::initializer_list<QString> reasons) {
        QString why = m_jobRunning ? tools::jobRunningText() : QString();
        for (const QString &r : reasons)
            if (why.isEmpty())
                why = r;
        b->setEnabled(why.isEmpty());
        ui::setReason(b, why);
    };
    set(btExBS, {noBbie, noCd});
    set(btExBSF, {noBbie});
    set(btISO, {noDd, noCd});
    set(btFIMG, {noDd, noFloppy});
    set(btWriteIMG, {noDd, noFloppy});
    set(btClose, {});
    StopBT->setEnabled(m_jobRunning);
}

void Tother_form::btCloseClick() { close(); }

void Tother_form::StopBTClick()
{
    if (!m_jobRunning || !DosCommand1->isRunning())
        return;
    // A drive half overwritten is worse than one finished: ask first.
    if (m_jobWritesDevice && !ui::dialogs().confirm(this, tools::stopQuestion()))
        return;
    if (!DosCommand1->isRunning())
        return; // it ended while the question was open
    StopBT->setEnabled(false);
    DosCommand1->Stop();
}

void Tother_form::closeEvent(QCloseEvent *e)
{
    if (m_jobRunning) {
        // The close-window key stops the job, as Stop does; the window
        // stays to show how it ended.
        e->ignore();
        StopBTClick();
        return;
    }
    QDialog::closeEvent(e);
}

void Tother_form::reject()
{
    // Escape while a tool runs stops it instead of hiding it while it
    // goes on writing unseen.
    if (m_jobRunning) {
        StopBTClick();
        return;
    }
    QDialog::reject();
}
