#pragma once
#include "disc/capabilities.h"
#include "disc/diagnosis.h"
#include "exec/tool_identity.h"

#include <functional>
#include "ui/memo_lines.h"
#include "exec/dos_command.h"

#include <QDialog>

class QCheckBox;
class Tconsole;
namespace base {
class DebugLog;
}
class QComboBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The CD Operations window: picks a drive from cdrecord's scan, offers what
// its capability report allows, and runs burn, format, blank, finalize and
// read in the console.
class TCD_Operations : public QDialog
{
    Q_OBJECT
public:
    TCD_Operations(Tconsole *console, base::DebugLog &log, QWidget *parent = nullptr);
    ~TCD_Operations() override;

    QLabel *Label1, *Label4, *Label3, *Label8, *Label5, *Label6;
    QComboBox *ComboBox1, *ComboBox2;
    QPushButton *btRead, *btFinalize, *btBurn, *btFormat, *btQuickFormat, *btClose;
    QSpinBox *seSpeed;
    QCheckBox *cbSimulate, *cbDontFinalize, *cbBurnFree;
    // After a real burn, read the disc back and compare it with the image.
    QCheckBox *cbVerify;
    QPlainTextEdit *Memo1;
    exec::TDosCommand *DosCommand1; // capability query
    exec::TDosCommand *DosCommand2; // drive scan
    QFrame *DevicePanel, *ReadPanel, *BurnPanel, *RewritablePanel;
    // Why the scan found no drive, under the drive box; hidden otherwise.
    QLabel *lbDiagnosis;
    // Where the setup check looks (the system's own; tests give fake trees).
    std::function<disc::DiagnosisSources()> diagnosisSources = disc::systemSources;

    // Window state, kept for the life of the program.
    bool CdrecordFound = false;
    bool ReadcdFound = false;
    bool WritesCDR = false;
    bool WritesCDRW = false;
    QString MaxWriteSpeed;

    // The highest speed the last evaluation allowed; 0 before any.
    int speedMaximum() const { return m_speedMax; }

    // One handler per bound control event, named after control and event;
    // on Linux each is connected to the Qt signal standing for that event.
    void FormActivate();
    void DosCommand2Terminated(exec::TDosCommand *Sender, quint32 ExitCode);
    void ComboBox1Change();
    void DosCommand1Terminated(exec::TDosCommand *Sender, quint32 ExitCode);
    void seSpeedExit();
    void btCloseClick();
    void btBurnClick();
    void btFormatClick();
    void btQuickFormatClick();
    void btReadClick();
    void btFinalizeClick();

signals:
    // The scan's end has been handled (list rebuilt or message shown).
    void scanFinished();
    // A capability report has been evaluated.
    void capabilitiesEvaluated();

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    QPushButton *button(const char *name, const QString &caption);
    QCheckBox *check(const char *name, const QString &caption, bool checked);
    void buildLayout();
    // Every operation control, in the order of the window.
    QList<QWidget *> operationControls() const;
    // Disables every operation and forgets the drive's report; `reason`
    // becomes each control's tooltip.
    void withdrawOperations(const QString &reason);
    // The address of a command, or empty after telling the user there is
    // no drive: the second guard behind the disabled buttons.
    QString targetAddress();
    // The chosen drive's address, held here and shown in Label3.
    void chooseAddress(const QString &address);
    // The drive as the questions name it.
    QString driveTitle() const;
    // Runs a command line in the console and logs it (the common sequence).
    // `successText`: what the result box and the log add after a success.
    void runInConsole(const exec::CommandLine &command, const QString &successText = QString(),
                      bool logConsoleText = true);

    // Offers each blank type the recorder does, and says why not the others.
    void offerBlankTypes(const QList<std::pair<QString, QString>> &off);

    Tconsole *m_console;
    base::DebugLog &m_log;
    ui::MemoLines m_lines;
    QStringList m_addresses; // of ComboBox1's entries, row by row
    QString m_address;       // the chosen drive's, as the scan gave it
    // The program behind cdrecord, identified at activation.
    exec::Implementation m_recorder = exec::Implementation::Unknown;
    QString m_recorderText; // logged when the scan ends, after its output
    // The capability query's runs still to start, and those done.
    QList<exec::CommandLine> m_queryLeft;
    QList<disc::QueryRun> m_queryRuns;
    int m_speedMax = 0;
    bool m_queryWanted = false; // a report for the current choice is awaited
};
