#pragma once
#include "ui/log_view.h"
#include "ui/memo_lines.h"
#include "base/session.h"
#include "base/spill_file.h"
#include "exec/dos_command.h"
#include "exec/ui/progress_panel.h"
#include "exec/tool_errors.h"

#include <QDialog>

#include <optional>

class QPushButton;

// The shared modal window in which long tool runs are watched, with the
// run's progress, a Stop button and an honest result. A run that succeeds
// closes it after telling the user so; one that failed or was stopped
// leaves it open with its output until the user closes it.
class Tconsole : public QDialog
{
    Q_OBJECT
public:
    explicit Tconsole(const base::Session &session, QWidget *parent = nullptr);

    ui::LogView *Memo1;
    exec::TDosCommand *DosCommand1;
    exec::ProgressPanel *ProgressPanel1;
    QPushButton *StopBT;
    QPushButton *CloseBT;
    // The memo's lines, for callers to hand to DosCommand1.
    ui::MemoLines *memoLines() { return &m_lines; }

    void FormActivate();
    void Memo1Change();
    void DosCommand1Terminated(exec::TDosCommand *Sender, quint32 ExitCode);
    void FormCloseQuery();
    void StopBTClick();
    void CloseBTClick();

    // The caller's whole sequence: clear the memo, point the runner at it,
    // set the command line, Execute, queue the input lines, show modally.
    // `totalBytes`: what a dd run copies, when the caller knows it, for the
    // progress bar. The tool runs in `workingDirectory`, Spindle's folder
    // when empty.
    void run(const exec::CommandLine &command, const QStringList &input = {}, qint64 totalBytes = 0,
             const QString &workingDirectory = QString());
    // A command line given as text (read into words as the runner reads it).
    void run(const QString &commandLine, const QStringList &input = {}, qint64 totalBytes = 0,
             const QString &workingDirectory = QString());
    // Before showing the console for a run started by hand.
    void setProgressTotal(qint64 bytes) { m_totalBytes = bytes; }
    // A line the next run's success box adds under "Process finished!"
    // ("Disc written"); used for that run only.
    void setSuccessText(const QString &text) { m_successText = text.isEmpty() ? text : QLatin1Char('\n') + text; }
    // The file the next run() writes (an image), absolute. When that run
    // fails or is stopped and the file did not exist before it, the user is
    // asked whether to delete what it left; after a success the result box
    // names the file and its size. Each run() takes it and clears it.
    void setOutputFile(const QString &path) { m_nextOutputFile = path; }

    // Empty after a run that ended with exit code 0; otherwise the line that
    // says why it did not ("The command failed with exit code 2.").
    const QString &resultLine() const { return m_result; }
    // The memo's whole text and, after a run that failed or was stopped, the
    // result line on a line of its own: what the debug log keeps of a run.
    QString capturedText() const;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void done(int r) override;

private:
    void startWatching();
    void showPercent(int percent);
    void offerToDeleteOutput();
    const base::Session &m_session;
    QString m_nextOutputFile;
    QString m_outputFile;        // of the current run
    bool m_outputExisted = false; // before the current run started
    ui::MemoLines m_lines;
    base::SpillFile m_captureFile;
    QString m_result;
    QString m_successText;
    qint64 m_totalBytes = 0;
    bool m_watching = false; // from the show of a run to its end
    bool m_ended = false;    // the run of run() has ended
    // The run's first known error message, for the cause line.
    std::optional<exec::CauseFinder> m_cause;
};
