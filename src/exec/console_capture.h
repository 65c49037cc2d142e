#pragma once
#include "base/spill_file.h"
#include "dos_command.h"
#include "base/memo_lines.h"

#include <QDialog>

class QPlainTextEdit;

// The shared modal window in which long tool runs are watched. It closes
// itself when the run ends, after telling the user so.
class Tconsole : public QDialog
{
    Q_OBJECT
public:
    explicit Tconsole(QWidget *parent = nullptr);

    QPlainTextEdit *Memo1;
    exec::TDosCommand *DosCommand1;
    // The memo's lines, for callers to hand to DosCommand1.
    base::MemoLines *memoLines() { return &m_lines; }

    void FormActivate();
    void Memo1Change();
    void DosCommand1Terminated(exec::TDosCommand *Sender, quint32 ExitCode);
    void FormCloseQuery();

    // The caller's whole sequence: clear the memo, point the runner at it,
    // set the command line, Execute, queue the input lines, show modally.
    void run(const QString &commandLine, const QStringList &input = {});

protected:
    void showEvent(QShowEvent *e) override;
    void done(int r) override;

private:
    base::MemoLines m_lines;
    base::SpillFile m_captureFile;
};
