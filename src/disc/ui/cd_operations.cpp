#include "disc/ui/cd_operations.h"

#include "base/debug_log.h"

#include "ui/dialogs.h"
#include "base/session.h"
#include "ui/style.h"
#include "disc/commands.h"
#include "disc/offers.h"
#include "disc/scan.h"
#include "disc/verify.h"
#include "exec/ui/console_capture.h"
#include "exec/tool_errors.h"
#include "exec/tools.h"
#include "platform/bounded_read.h"
#include "platform/platform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The session's console capture copied into the debug log: far more than
// any read prints, never the whole memory.
constexpr qint64 kCaptureLimit = qint64(256) << 20;
// The spin field's own upper bound; the drive's maximum is enforced on
// leaving the field.
constexpr int kSpeedCeiling = 99999;

QFrame *panel(QWidget *parent, const char *name)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::Panel);
    f->setFrameShadow(QFrame::Raised);
    return f;
}
} // namespace

TCD_Operations::TCD_Operations(Tconsole *console, base::DebugLog &log, QWidget *parent)
    : QDialog(parent, Qt::Dialog | ui::kToolWindowFlags), Memo1(new QPlainTextEdit(this)), m_console(console),
      m_log(log), m_lines(Memo1)
{
    ui::setUpWindow(this, "CD_Operations", QStringLiteral("CD Operations"));
    auto label = [this](const char *name, const QString &caption) {
        auto *l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Select Device"));
    lbDiagnosis = label("lbDiagnosis", QString());
    lbDiagnosis->setWordWrap(true);
    lbDiagnosis->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbDiagnosis->hide();
    // A refused drive in the console's result says how to get access.
    exec::setPermissionAdvice([] { return disc::diagnose(disc::systemSources()).summary; });
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(false);
    Label4 = label("Label4", QStringLiteral("Device ID:"));
    Label3 = label("Label3", QString());
    Label8 = label("Label8", QStringLiteral("Max write speed:"));
    Label5 = label("Label5", QString());
    btRead = button("btRead", QStringLiteral("CD to ISO file"));
    btFinalize = button("btFinalize", QStringLiteral("Finalize CD"));
    btBurn = button("btBurn", QStringLiteral("Burn ISO file"));
    seSpeed = new QSpinBox(this);
    seSpeed->setObjectName(QStringLiteral("seSpeed"));
    seSpeed->setRange(1, kSpeedCeiling);
    seSpeed->setValue(1);
    seSpeed->setEnabled(false);
    seSpeed->installEventFilter(this);
    Label6 = label("Label6", QStringLiteral("Writing speed"));
    cbSimulate = check("cbSimulate", QStringLiteral("Simulate writing"), true);
    cbDontFinalize = check("cbDontFinalize", QStringLiteral("Don't Finalize"), false);
    cbBurnFree = check("cbBurnFree", QStringLiteral("BurnFree (if available)"), true);
    cbVerify = check("cbVerify", QStringLiteral("Verify"), true);
    btFormat = button("btFormat", QStringLiteral("Format CD-RW"));
    btQuickFormat = button("btQuickFormat", QStringLiteral("Blank CD-RW"));
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setEditable(true);
    ComboBox2->addItems(disc::kBlankTypes);
    ComboBox2->setCurrentIndex(0);
    ComboBox2->setEnabled(false);
    btClose = button("btClose", QStringLiteral("Close"));
    btClose->setEnabled(true);

    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setReadOnly(true);
    Memo1->hide();

    // Both runners keep the runner's defaults: no input echo, no time limit,
    // hidden, CR LF line ends.
    DosCommand1 = new exec::TDosCommand(this);
    DosCommand1->setObjectName(QStringLiteral("DosCommand1"));
    DosCommand2 = new exec::TDosCommand(this);
    DosCommand2->setObjectName(QStringLiteral("DosCommand2"));
    DosCommand1->OnTerminated = [this](exec::TDosCommand *s, quint32 code) { DosCommand1Terminated(s, code); };
    DosCommand2->OnTerminated = [this](exec::TDosCommand *s, quint32 code) { DosCommand2Terminated(s, code); };

    connect(ComboBox1, &QComboBox::activated, this, &TCD_Operations::ComboBox1Change);
    connect(btClose, &QPushButton::clicked, this, &TCD_Operations::btCloseClick);
    connect(btBurn, &QPushButton::clicked, this, &TCD_Operations::btBurnClick);
    connect(btFormat, &QPushButton::clicked, this, &TCD_Operations::btFormatClick);
    connect(btQuickFormat, &QPushButton::clicked, this, &TCD_Operations::btQuickFormatClick);
    connect(btRead, &QPushButton::clicked, this, &TCD_Operations::btReadClick);
    connect(btFinalize, &QPushButton::clicked, this, &TCD_Operations::btFinalizeClick);

    withdrawOperations(disc::kNoDriveSelected);
    buildLayout();
    resize(458, 314);
}

TCD_Operations::~TCD_Operations()
{
    // The runners end their runs before the memo lines they write to go.
    delete DosCommand1;
    delete DosCommand2;
}

QPushButton *TCD_Operations::button(const char *name, const QString &caption)
{
    auto *b = ui::button(this, name, caption);
    b->setEnabled(false);
    return b;
}

QCheckBox *TCD_Operations::check(const char *name, const QString &caption, bool checked)
{
    auto *c = new QCheckBox(caption, this);
    c->setObjectName(QLatin1String(name));
    c->setChecked(checked);
    c->setEnabled(false);
    return c;
}

void TCD_Operations::buildLayout()
{
    DevicePanel = panel(this, "DevicePanel");
    auto *device = new QHBoxLayout(DevicePanel);
    device->addWidget(Label4);
    device->addWidget(Label3, 1);
    device->addWidget(Label8);
    device->addWidget(Label5, 1);

    ReadPanel = panel(this, "ReadPanel");
    auto *read = new QHBoxLayout(ReadPanel);
    read->addWidget(btRead);
    read->addWidget(btFinalize);
    read->addStretch();

    BurnPanel = panel(this, "BurnPanel");
    auto *burn = new QGridLayout(BurnPanel);
    burn->addWidget(btBurn, 0, 0);
    burn->addWidget(cbVerify, 0, 1);
    auto *speed = new QHBoxLayout;
    speed->addWidget(Label6, 1, Qt::AlignRight);
    speed->addWidget(seSpeed);
    burn->addLayout(speed, 0, 2);
    burn->addWidget(cbSimulate, 1, 0);
    burn->addWidget(cbDontFinalize, 1, 1);
    burn->addWidget(cbBurnFree, 1, 2);

    RewritablePanel = panel(this, "RewritablePanel");
    auto *rw = new QHBoxLayout(RewritablePanel);
    rw->addWidget(btFormat);
    rw->addWidget(btQuickFormat);
    rw->addWidget(ComboBox2, 1);

    auto *top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(ComboBox1, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btClose);

    auto *all = new QVBoxLayout(this);
    all->setContentsMargins(8, 6, 8, 6);
    all->setSpacing(4);
    all->addLayout(top);
    all->addWidget(lbDiagnosis);
    for (QFrame *f : {DevicePanel, ReadPanel, BurnPanel, RewritablePanel})
        all->addWidget(f);
    all->addLayout(bottom);
}

void TCD_Operations::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    // After the window is on screen, so the messages come on top of it.
    QTimer::singleShot(0, this, &TCD_Operations::FormActivate);
}

bool TCD_Operations::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == seSpeed && e->type() == QEvent::FocusOut)
        seSpeedExit();
    return QDialog::eventFilter(watched, e);
}

QList<QWidget *> TCD_Operations::operationControls() const
{
    return {btRead,     btFinalize, btBurn,   seSpeed,       cbSimulate, cbDontFinalize,
            cbBurnFree, cbVerify,   btFormat, btQuickFormat, ComboBox2};
}

void TCD_Operations::withdrawOperations(const QString &reason)
{
    for (QWidget *w : operationControls()) {
        w->setEnabled(false);
        ui::setReason(w, reason);
    }
    Label5->clear();
    WritesCDR = WritesCDRW = false;
    MaxWriteSpeed.clear();
    m_speedMax = 0;
}

void TCD_Operations::FormActivate()
{
    // Nothing is offered until a drive is picked and its report read: a
    // panel left from an earlier opening would act on no drive.
    m_queryWanted = false;
    DosCommand1->Stop();
    ComboBox1->setCurrentIndex(-1);
    chooseAddress(QString());
    withdrawOperations(disc::kNoDriveSelected);
    m_log.entry(QStringLiteral("entering CD operations module"));
    DosCommand2->WorkingDirectory = platform::spindleFolder();
    CdrecordFound = ReadcdFound = false;
    const QString cdrecord = platform::exeName(QStringLiteral("cdrecord"));
    const QString readcd = platform::exeName(QStringLiteral("readcd"));
    if (!exec::findTool(cdrecord).isEmpty()) {
        CdrecordFound = true;
        // Which recorder it is decides the capability query and the offers.
        const exec::ToolIdentity recorder = exec::identifyTool(cdrecord);
        m_recorder = recorder.implementation;
        m_recorderText = exec::describe(recorder);
    } else {
        ui::dialogs().plain(this, exec::missingToolMessage(cdrecord));
    }
    if (!exec::findTool(readcd).isEmpty())
        ReadcdFound = true;
    else
        ui::dialogs().plain(this, exec::missingToolMessage(readcd));
    if (CdrecordFound) {
        m_lines.clear();
        const exec::CommandLine command = disc::scanCommand(platform::spindleFolder());
        m_log.entry(command.display());
        // The scan's output always lands in the debug memo.
        DosCommand2->setOutputLines(m_log.lines());
        DosCommand2->Execute(command);
    }
    if (!CdrecordFound && !ReadcdFound)
        close();
}

void TCD_Operations::DosCommand2Terminated(exec::TDosCommand *Sender, quint32)
{
    if (Sender->isRunning())
        return; // the end of a scan that a newer one replaced
    const QList<disc::Drive> drives = disc::scanDrives(Sender->Lines());
    QStringList entries;
    entries.reserve(drives.size());
    m_addresses.clear();
    m_addresses.reserve(drives.size());
    for (const disc::Drive &d : drives) {
        entries << d.entry;
        m_addresses << d.address();
    }
    ComboBox1->clear();
    ComboBox1->addItems(entries);
    // A new list: no entry is chosen, so no drive is.
    ComboBox1->setCurrentIndex(-1);
    chooseAddress(QString());
    if (ComboBox1->count() == 0)
        ui::dialogs().plain(this, disc::kNoDevices);
    // Why, in words, after the message; also when the scan could not open
    // a drive it may have left out.
    const bool why = ComboBox1->count() == 0 || disc::scanRefused(Sender->Lines(), Sender->command());
    lbDiagnosis->setVisible(why);
    lbDiagnosis->setText(why ? disc::diagnose(diagnosisSources(), Sender->Lines()).summary : QString());
    if (why)
        m_log.entry((ComboBox1->count() == 0 ? QStringLiteral("no CD drive found: ")
                                              : QStringLiteral("a CD drive could not be opened: "))
                    + lbDiagnosis->text());
    if (!m_recorderText.isEmpty())
        m_log.entry(QStringLiteral("cdrecord is ") + m_recorderText);
    emit scanFinished();
}

void TCD_Operations::ComboBox1Change()
{
    const int index = ComboBox1->currentIndex();
    if (index < 0 || index >= m_addresses.size())
        return;
    // The address the scan line gave, not one cut again from the entry: a
    // drive name may hold a comma.
    const QString address = m_addresses.at(index);
    DosCommand1->WorkingDirectory = platform::spindleFolder();
    m_lines.clear();
    DosCommand1->setOutputLines(&m_lines);
    // What the last drive could do says nothing about this one.
    m_queryLeft = disc::capabilityCommands(address, m_recorder);
    m_queryRuns.clear();
    m_queryWanted = false;
    DosCommand1->Stop();
    if (m_queryLeft.isEmpty()) {
        chooseAddress(QString());
        withdrawOperations(disc::kNoDriveSelected);
        return;
    }
    withdrawOperations(disc::kQueryRunning);
    m_queryWanted = true;
    DosCommand1->Execute(m_queryLeft.takeFirst());
    chooseAddress(address);
}

void TCD_Operations::chooseAddress(const QString &address)
{
    m_address = address;
    Label3->setText(address); // shown only; commands take m_address
}

void TCD_Operations::DosCommand1Terminated(exec::TDosCommand *Sender, quint32 ExitCode)
{
    // A query for another drive has started, or the window was opened
    // again: that report decides, or none.
    if (Sender->isRunning() || !m_queryWanted)
        return;
    m_queryRuns.append({Sender->Lines(), ExitCode});
    if (!m_queryLeft.isEmpty()) {
        DosCommand1->Execute(m_queryLeft.takeFirst());
        return;
    }
    m_queryWanted = false;
    const disc::Capabilities c = disc::evaluateQuery(m_queryRuns, m_recorder);
    WritesCDR = c.writesCDR;
    WritesCDRW = c.writesCDRW;
    MaxWriteSpeed = c.maxWriteSpeed;
    const disc::Offers o = disc::offersFor(c, CdrecordFound, ReadcdFound, m_recorder);
    // Everything is withdrawn while the query runs; a control left off
    // says why in its tooltip.
    auto offer = [](QWidget *w, bool on, const QString &reason) {
        w->setEnabled(on);
        ui::setReason(w, on ? QString() : reason);
    };
    const bool burn = o.burnPanel.value_or(false);
    for (QWidget *w : std::initializer_list<QWidget *>{btBurn, cbSimulate, cbBurnFree, cbVerify})
        offer(w, burn, o.burnReason);
    offer(seSpeed, burn && o.speedReason.isEmpty(), burn ? o.speedReason : o.burnReason);
    offer(cbDontFinalize, burn && o.dontFinalizeReason.isEmpty(), burn ? o.dontFinalizeReason : o.burnReason);
    const bool rewritable = o.rewritablePanel.value_or(false);
    for (QWidget *w : std::initializer_list<QWidget *>{btQuickFormat, ComboBox2})
        offer(w, rewritable, o.rewritableReason);
    offer(btFormat, rewritable && o.formatReason.isEmpty(), rewritable ? o.formatReason : o.rewritableReason);
    offerBlankTypes(o.blankTypesOff);
    offer(btFinalize, o.finalize.value_or(false), o.finalizeReason);
    offer(btRead, o.read.value_or(false), o.readReason);
    if (o.speedLabel)
        Label5->setText(*o.speedLabel);
    if (o.maxSpeed) {
        m_speedMax = std::min(*o.maxSpeed, kSpeedCeiling);
        seSpeed->setValue(m_speedMax);
    }
    update();
    emit capabilitiesEvaluated();
}

void TCD_Operations::offerBlankTypes(const QList<std::pair<QString, QString>> &off)
{
    auto *model = qobject_cast<QStandardItemModel *>(ComboBox2->model());
    if (!model)
        return;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStandardItem *item = model->item(row);
        QString reason;
        for (const auto &[type, why] : off)
            if (type == item->text())
                reason = why;
        item->setEnabled(reason.isEmpty());
        item->setToolTip(reason);
    }
    // A type the recorder does not do is not left chosen.
    const int current = ComboBox2->findText(ComboBox2->currentText());
    if (current >= 0 && !model->item(current)->isEnabled())
        ComboBox2->setCurrentIndex(0);
}

void TCD_Operations::seSpeedExit()
{
    const int clamped = disc::clampSpeed(disc::speedFromText(seSpeed->cleanText()), m_speedMax);
    if (clamped != seSpeed->value() || seSpeed->cleanText() != QString::number(clamped))
        seSpeed->setValue(clamped);
}

void TCD_Operations::btCloseClick() { close(); }

QString TCD_Operations::targetAddress()
{
    if (disc::usableAddress(m_address))
        return m_address;
    ui::dialogs().plain(this, disc::kNoDriveSelected);
    return QString();
}

QString TCD_Operations::driveTitle() const
{
    const QString entry = ComboBox1->currentText();
    return entry.isEmpty() ? QLatin1Char('[') + m_address + QLatin1Char(']') : disc::driveTitle(entry);
}

void TCD_Operations::runInConsole(const exec::CommandLine &command, const QString &successText, bool logConsoleText)
{
    if (command.isEmpty())
        return; // the builders refuse a missing drive; targetAddress has said so
    m_console->setSuccessText(successText);
    m_console->run(command);
    if (logConsoleText) {
        m_log.entry(command.display());
        QString text = m_console->capturedText();
        if (m_console->resultLine().isEmpty() && !successText.isEmpty())
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + successText;
        m_log.text(text);
    }
}

void TCD_Operations::btBurnClick()
{
    const QString address = targetAddress();
    if (address.isEmpty())
        return;
    ui::FileDialogOptions o;
    o.filter = disc::kImageFilter;
    o.defaultExt = QStringLiteral("iso");
    const QString file = ui::dialogs().openFile(this, o);
    if (file.isEmpty())
        return;
    disc::BurnChoice b;
    b.address = address;
    b.simulate = cbSimulate->isChecked();
    // An option the recorder does not do is off, whatever its tick.
    b.dontFinalize = cbDontFinalize->isChecked() && cbDontFinalize->isEnabled();
    b.burnFree = cbBurnFree->isChecked();
    b.speed = disc::speedFromText(seSpeed->cleanText());
    b.file = file;
    // A disc to be read back stays in the drive.
    const bool verify = !b.simulate && cbVerify->isChecked();
    b.eject = !verify;
    if (!b.simulate) {
        const QFileInfo image(file);
        const QString question =
            disc::burnQuestion(image.fileName(), image.exists() ? image.size() : -1, driveTitle());
        if (!ui::dialogs().confirm(this, question))
            return;
    }
    runInConsole(disc::burnCommand(b), b.simulate ? disc::kSimulationFinished : disc::kDiscWritten);
    // A real burn that went well is read back and compared with the image.
    if (verify && m_console->resultLine().isEmpty())
        runInConsole(disc::verifyCommand(address, file), disc::kDiscVerified);
}

void TCD_Operations::btFormatClick()
{
    const QString address = targetAddress();
    if (address.isEmpty() || !ui::dialogs().confirm(this, disc::formatQuestion(driveTitle())))
        return;
    runInConsole(disc::formatCommand(address), disc::kDiscFormatted);
}

void TCD_Operations::btQuickFormatClick()
{
    const QString address = targetAddress();
    const QString blankType = ComboBox2->currentText();
    if (address.isEmpty() || !ui::dialogs().confirm(this, disc::blankQuestion(driveTitle(), blankType)))
        return;
    runInConsole(disc::blankCommand(address, blankType), disc::kDiscBlanked);
}

void TCD_Operations::btReadClick()
{
    ui::FileDialogOptions o;
    o.filter = disc::kImageFilter;
    o.defaultExt = QStringLiteral("iso");
    o.overwritePrompt = true;
    const QString address = targetAddress();
    if (address.isEmpty())
        return;
    const QString file = ui::dialogs().saveFile(this, o);
    if (file.isEmpty())
        return;
    const exec::CommandLine command = disc::readCommand(address, file);
    // A read that fails or is stopped offers to delete the image it began.
    m_console->setOutputFile(file);
    runInConsole(command, QString(), false);
    if (!m_log.enabled())
        return;
    // The log gets the session's whole console capture, which exists only
    // in the Win9x modes.
    const QString capturePath = platform::scratchFolder() + base::kCaptureFile;
    const platform::BoundedRead capture = platform::readBounded(capturePath, kCaptureLimit);
    if (!capture.ok()) {
        ui::dialogs().error(this, platform::cannotOpenText(capturePath, capture.reason));
        return;
    }
    m_log.entry(command.display());
    QString text;
    const QByteArray &all = capture.data;
    for (qsizetype from = 0; from < all.size();) {
        qsizetype end = all.indexOf('\n', from);
        if (end < 0)
            end = all.size();
        QByteArrayView line(all.constData() + from, end - from);
        from = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        text += QString::fromUtf8(line) + QStringLiteral("\r\n");
    }
    const QString result = m_console->resultLine();
    if (!result.isEmpty())
        text += result + QStringLiteral("\r\n");
    m_log.text(text);
}

void TCD_Operations::btFinalizeClick()
{
    const QString address = targetAddress();
    if (address.isEmpty() || !ui::dialogs().confirm(this, disc::finalizeQuestion(driveTitle())))
        return;
    runInConsole(disc::finalizeCommand(address), disc::kDiscFinalized);
}
