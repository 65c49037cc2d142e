#pragma once
#include "ui/memo_lines.h"
#include "base/debug_log.h"
#include "exec/dos_command.h"
#include "exec/ui/progress_panel.h"
#include "platform/drives.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The Other tools window: boot images from a CD or an image file with bbie,
// CD and floppy images with dd, and an image written back to a floppy.
// Each job is one command line whose output fills the memo.
class Tother_form : public QDialog
{
    Q_OBJECT
public:
    // Each job goes into the debug log: its command line, then its output.
    explicit Tother_form(base::DebugLog &log, QWidget *parent = nullptr);

    QLabel *Label1, *Label2;
    QComboBox *cboxFloppy, *cboxCDROM;
    QPushButton *btExBS, *btExBSF, *btISO, *btFIMG, *btWriteIMG, *btClose;
    exec::ProgressPanel *ProgressPanel1;
    QPushButton *StopBT; // ends the running job and everything it started
    QPlainTextEdit *Memo1;
    exec::TDosCommand *DosCommand1;

    // Where the drive lists come from; the system's drives unless replaced.
    void setDriveSource(std::function<platform::DriveLists()> source) { m_driveSource = std::move(source); }
    ui::MemoLines *memoLines() { return &m_lines; }

    void FormActivate();
    void btExBSClick();
    void btExBSFClick();
    void btISOClick();
    void btFIMGClick();
    void btWriteIMGClick();
    void DosCommand1Terminated(exec::TDosCommand *Sender, quint32 ExitCode);
    void btCloseClick();
    void StopBTClick();

    bool isJobRunning() const { return m_jobRunning; }

signals:
    // A job's command line has been handed to the runner.
    void jobStarted(const QString &commandLine);
    // The job has ended and the buttons are enabled again.
    void jobFinished();

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;

private:
    QPushButton *button(const char *name, const QString &caption);
    // `totalBytes`: what a dd job copies, when known, for the progress bar;
    // `writesDevice`: the job overwrites a drive.
    void startJob(const exec::CommandLine &command, qint64 totalBytes = 0, bool writesDevice = false);
    // Each button is live when its tool was found, its drive list has an
    // entry and no job runs; otherwise its tooltip says why not.
    void updateButtons();
    // Whether `list` names a drive; says `missing` when it does not.
    bool haveDrive(const QComboBox *list, const QString &missing);

    base::DebugLog &m_log;
    ui::MemoLines m_lines;
    std::function<platform::DriveLists()> m_driveSource;
    bool m_haveBbie = false;
    bool m_haveDd = false;
    bool m_jobRunning = false;
    bool m_jobWritesDevice = false; // the job overwrites a drive: ask before stopping it
};
