#include "exec/ui/console_capture.h"

#include "ui/dialogs.h"
#include "base/session.h"
#include "platform/platform.h"
#include "exec/tools.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLocale>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace {
const QString kCaption = QStringLiteral("Console capture");
}

Tconsole::Tconsole(const base::Session &session, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint),
      Memo1(new ui::LogView(this)), DosCommand1(new exec::TDosCommand(this)),
      ProgressPanel1(new exec::ProgressPanel(this)), StopBT(new QPushButton(QStringLiteral("Stop"), this)),
      CloseBT(new QPushButton(QStringLiteral("Close"), this)), m_session(session), m_lines(Memo1, [this] { Memo1Change(); })
{
    setObjectName(QStringLiteral("console"));
    setWindowTitle(kCaption);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ProgressPanel1->setObjectName(QStringLiteral("ProgressPanel1"));
    StopBT->setObjectName(QStringLiteral("StopBT"));
    CloseBT->setObjectName(QStringLiteral("CloseBT"));
    StopBT->setAutoDefault(false);
    CloseBT->setAutoDefault(false);
    CloseBT->hide();
    DosCommand1->setObjectName(QStringLiteral("DosCommand1"));
    DosCommand1->InputToOutput = false;
    DosCommand1->MaxTimeAfterBeginning = 0;
    DosCommand1->MaxTimeAfterLastOutput = 0;
    DosCommand1->ShowWindow = exec::swHIDE;
    DosCommand1->CreationFlag = exec::fCREATE_NEW_CONSOLE;
    DosCommand1->ReturnCode = exec::rcCRLF;
    DosCommand1->KeepLines = false; // the memo holds the output
    DosCommand1->OnTerminated = [this](exec::TDosCommand *s, quint32 code) { DosCommand1Terminated(s, code); };
    m_lines.setObserver([this](const QString &text, bool entire) {
        ProgressPanel1->feed(text, entire);
        if (!m_cause)
            m_cause.emplace(DosCommand1->command());
        if (entire)
            m_cause->feed(text);
    });
    connect(ProgressPanel1, &exec::ProgressPanel::percentChanged, this, &Tconsole::showPercent);
    connect(StopBT, &QPushButton::clicked, this, &Tconsole::StopBTClick);
    connect(CloseBT, &QPushButton::clicked, this, &Tconsole::CloseBTClick);

    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(6, 6, 6, 6);
    auto *top = new QHBoxLayout;
    top->addWidget(ProgressPanel1, 1);
    top->addWidget(StopBT);
    top->addWidget(CloseBT);
    l->addLayout(top);
    l->addWidget(Memo1, 1);
    resize(665, 360);
}

void Tconsole::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormActivate(); // a modal console is active as soon as it shows
    startWatching();
}

void Tconsole::startWatching()
{
    // Callers start the runner, then show the console; no output has been
    // handed over yet, since that needs the console's own event loop.
    m_watching = DosCommand1->isRunning();
    showPercent(-1);
    if (!m_watching) {
        // Shown after its run ended (a start that failed at once): only the
        // result is left to see.
        StopBT->setVisible(m_result.isEmpty());
        StopBT->setEnabled(false);
        CloseBT->setVisible(!m_result.isEmpty());
        m_totalBytes = 0;
        return;
    }
    m_result.clear();
    StopBT->setVisible(true);
    StopBT->setEnabled(true);
    CloseBT->hide();
    ProgressPanel1->start(m_totalBytes);
    m_totalBytes = 0;
}

void Tconsole::showPercent(int percent)
{
    setWindowTitle(percent >= 0 ? QStringLiteral("%1% - ").arg(percent) + kCaption : kCaption);
}

void Tconsole::FormActivate()
{
    if (m_session.Win9xMode) {
        m_captureFile.bind(platform::scratchFolder() + base::kCaptureFile);
    }
}

void Tconsole::Memo1Change()
{
    if (m_session.Win9xMode) {
        // Errors here happen inside a line event and are dropped with it.
        m_lines.spillInto(m_captureFile, nullptr);
    }
    // The memo keeps the newest output in view while the reader is at the
    // bottom and stays where the reader scrolled to otherwise.
}

void Tconsole::DosCommand1Terminated(exec::TDosCommand *Sender, quint32 ExitCode)
{
    // A "Stop the running command?" still open asks about a run that is over.
    ui::dialogs().closeQuestions(this);
    const bool watched = m_watching;
    const QString success = std::exchange(m_successText, QString());
    m_watching = false;
    const std::optional<exec::CauseFinder> cause = std::exchange(m_cause, std::nullopt);
    m_ended = true;
    Memo1->squeeze();
    switch (Sender->lastRunEnd()) {
    case exec::TDosCommand::RunEnd::Exited:
        // A tool that ignored part of the job did not do it, exit code 0 or not.
        m_result = exec::failureLine(ExitCode, cause ? *cause : exec::CauseFinder(QString(), {}));
        break;
    case exec::TDosCommand::RunEnd::NotStarted:
        m_result = QStringLiteral("The command could not be started.");
        break;
    default:
        m_result = QStringLiteral("The command was stopped.");
        break;
    }
    ProgressPanel1->finish(m_result.isEmpty());
    showPercent(-1);
    StopBT->setEnabled(false);
    if (m_result.isEmpty()) {
        QString text = QStringLiteral("Process finished!") + success;
        const QFileInfo output(m_outputFile);
        if (!m_outputFile.isEmpty() && output.isFile())
            text += QStringLiteral("\n%1: %2 (%3 bytes)")
                        .arg(m_outputFile, QLocale::c().formattedDataSize(output.size()))
                        .arg(output.size());
        m_outputFile.clear();
        ui::dialogs().message(this, text, QStringLiteral("Info"), ui::Dialogs::Icon::Information);
        close();
        return;
    }
    ui::dialogs().message(this, QStringLiteral("Process finished!\n") + m_result, QStringLiteral("Warning"),
                           ui::Dialogs::Icon::Warning);
    offerToDeleteOutput();
    if (!watched || !isVisible())
        return;
    // The output stays for the user to read and copy.
    StopBT->hide();
    CloseBT->show();
    CloseBT->setDefault(true);
    CloseBT->setFocus();
}

void Tconsole::offerToDeleteOutput()
{
    const QString path = std::exchange(m_outputFile, QString());
    if (path.isEmpty() || m_outputExisted)
        return; // a file that was there before the run is never deleted
    // Only a plain file the run made; a link or folder that appeared is
    // not the tool's image.
    const QFileInfo fi(path);
    if (fi.isSymLink() || !fi.isFile())
        return;
    if (!ui::dialogs().confirmYesDefault(this, QStringLiteral("Delete the incomplete image %1?").arg(path)))
        return;
    if (!platform::removeFile(path))
        ui::dialogs().error(this, QStringLiteral("Cannot delete file \"%1\". %2").arg(path, platform::lastErrorText()));
}

void Tconsole::StopBTClick()
{
    if (!m_watching || !DosCommand1->isRunning())
        return;
    if (exec::writesToDisc(DosCommand1->command())
        && !ui::dialogs().confirm(this, QStringLiteral("Stop the running command?")))
        return;
    if (!DosCommand1->isRunning())
        return; // it ended while the question was open
    StopBT->setEnabled(false);
    DosCommand1->Stop();
}

void Tconsole::CloseBTClick() { close(); }

void Tconsole::FormCloseQuery()
{
    m_lines.flush();
    if (m_session.Win9xMode) {
        QString error;
        if (!m_captureFile.appendAndClose(Memo1->toPlainText(), &error))
            ui::dialogs().error(this, error);
    }
    DosCommand1->Stop();
}

QString Tconsole::capturedText() const
{
    const QString text = Memo1->toPlainText();
    if (m_result.isEmpty())
        return text;
    return text.isEmpty() ? m_result : text + QLatin1Char('\n') + m_result;
}

void Tconsole::closeEvent(QCloseEvent *e)
{
    if (m_watching) {
        // The close-window key stops the run, as the Stop button does.
        e->ignore();
        StopBTClick();
        return;
    }
    QDialog::closeEvent(e);
}

void Tconsole::done(int r)
{
    if (m_watching) {
        // Escape during a run stops it; the console stays to show the result.
        StopBTClick();
        return;
    }
    // Every other way of closing passes here.
    if (isVisible())
        FormCloseQuery();
    QDialog::done(r);
}

void Tconsole::run(const QString &commandLine, const QStringList &input, qint64 totalBytes,
                   const QString &workingDirectory)
{
    run(exec::parseCommandLine(platform::encodePath(commandLine)), input, totalBytes, workingDirectory);
}

void Tconsole::run(const exec::CommandLine &command, const QStringList &input, qint64 totalBytes,
                   const QString &workingDirectory)
{
    m_ended = false;
    m_result.clear();
    m_lines.clear();
    const QString folder = workingDirectory.isEmpty() ? platform::spindleFolder() : workingDirectory;
    // The first line is what runs, where, as a terminal shows it: the user
    // can read and copy exactly that.
    QString prompt = folder;
    while (prompt.size() > 1 && prompt.endsWith(QLatin1Char('/')))
        prompt.chop(1);
    m_lines.add(prompt + QLatin1Char('>') + command.display());
    m_outputFile = std::exchange(m_nextOutputFile, QString());
    {
        const QFileInfo output(m_outputFile);
        m_outputExisted = !m_outputFile.isEmpty() && (output.exists() || output.isSymLink());
    }
    // Which program runs is known before its first line arrives.
    m_cause.emplace(command);
    DosCommand1->setOutputLines(&m_lines);
    DosCommand1->WorkingDirectory = folder;
    DosCommand1->Execute(command);
    for (const QString &line : input)
        DosCommand1->SendLine(line, true);
    m_totalBytes = totalBytes;
    // A run that ended inside Execute has told its result already; after a
    // success there is nothing left to show.
    if (!DosCommand1->isRunning() && m_ended && m_result.isEmpty())
        return;
    exec();
}
