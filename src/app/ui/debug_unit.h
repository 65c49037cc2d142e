#pragma once
#include "base/debug_log.h"
#include "base/session.h"
#include "base/spill_file.h"
#include "ui/memo_lines.h"

#include <QWidget>

class QPlainTextEdit;

// The debug log: a memo docked along the bottom of the screen, on top.
class TDebug_win : public QWidget, public base::DebugLog
{
    Q_OBJECT
public:
    explicit TDebug_win(const base::Session &session, QWidget *parent = nullptr);

    // The log as windows write it: kept while debug mode is on.
    void entry(const QString &text) override;
    void text(const QString &text) override;
    bool enabled() const override { return m_session.DebugMode; }
    base::OutputLines *lines() override { return m_lines; }

    QPlainTextEdit *Memo1;

    void FormActivate();
    // After every change a writer makes. Returns false with the reason when
    // the debug file could not be written.
    bool Memo1Change(QString *error = nullptr);

    // Appends a log entry: line end, "*****  ", the text, line end. Errors
    // on the debug file go to the error box, as for any writer.
    void addEntry(const QString &text);
    // Appends text (a command's captured output), runs of lines that say
    // the same folded into one line with a count.
    void addText(const QString &text);
    // Removes the "ddr" lines, then asks for a file and writes the log.
    void saveLog();
    // The memo's lines, for a runner whose output goes straight into the
    // log; errors on the debug file are dropped with the line event.
    ui::MemoLines *memoLines() { return m_lines; }

protected:
    void showEvent(QShowEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void dock();
    const base::Session &m_session;
    base::SpillFile m_debugFile;
    ui::MemoLines *m_lines;
};
