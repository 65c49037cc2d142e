#include "console_capture.h"

#include "base/dialogs.h"
#include "base/session.h"
#include "platform/platform.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

Tconsole::Tconsole(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      Memo1(new QPlainTextEdit(this)), DosCommand1(new exec::TDosCommand(this)),
      m_lines(Memo1, [this] { Memo1Change(); })
{
    setObjectName(QStringLiteral("console"));
    setWindowTitle(QStringLiteral("Console capture"));
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DosCommand1->setObjectName(QStringLiteral("DosCommand1"));
    DosCommand1->InputToOutput = false;
    DosCommand1->MaxTimeAfterBeginning = 0;
    DosCommand1->MaxTimeAfterLastOutput = 0;
    DosCommand1->ShowWindow = exec::swHIDE;
    DosCommand1->CreationFlag = exec::fCREATE_NEW_CONSOLE;
    DosCommand1->ReturnCode = exec::rcCRLF;
    DosCommand1->OnTerminated = [this](exec::TDosCommand *s, quint32 code) { DosCommand1Terminated(s, code); };
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(Memo1);
    setFixedSize(665, 297);
}

void Tconsole::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    FormActivate(); // a modal console is active as soon as it shows
}

void Tconsole::FormActivate()
{
    if (base::Win9xMode) {
        platform::setCurrentDir(platform::spindleFolder());
        m_captureFile.bind(base::kCaptureFile);
    }
}

void Tconsole::Memo1Change()
{
    if (base::Win9xMode) {
        // Errors here happen inside a line event and are dropped with it.
        m_lines.spillInto(m_captureFile, nullptr);
    }
    m_lines.pageDown();
}

void Tconsole::DosCommand1Terminated(exec::TDosCommand *, quint32)
{
    m_lines.flush();
    base::dialogs().message(this, QStringLiteral("Process finished!"), QStringLiteral("Info"),
                           base::Dialogs::Icon::Information);
    close();
}

void Tconsole::FormCloseQuery()
{
    m_lines.flush();
    if (base::Win9xMode) {
        QString error;
        if (!m_captureFile.appendAndClose(Memo1->toPlainText(), &error))
            base::dialogs().error(this, error);
    }
    DosCommand1->Stop();
}

void Tconsole::done(int r)
{
    // Every way of closing (the console itself, the close-window key,
    // Escape) passes here, so a running command is always stopped.
    if (isVisible())
        FormCloseQuery();
    QDialog::done(r);
}

void Tconsole::run(const QString &commandLine, const QStringList &input)
{
    m_lines.clear();
    DosCommand1->setOutputLines(&m_lines);
    DosCommand1->CommandLine = commandLine;
    DosCommand1->Execute();
    for (const QString &line : input)
        DosCommand1->SendLine(line, true);
    exec();
}
