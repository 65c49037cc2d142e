#pragma once
#include "output_lines.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QPlainTextEdit;

namespace base {

class SpillFile;

// The lines of a memo as a runner's output target. New lines are gathered
// and put into the memo once per event-loop turn: a flood of output then
// costs one document edit per turn instead of one per line. After each
// update it calls `changed`, the memo's change handler; clearing does not.
class MemoLines : public QObject, public OutputLines
{
public:
    MemoLines(QPlainTextEdit *memo, std::function<void()> changed = {});
    qsizetype count() const override;
    void add(const QString &line) override;
    void replaceLast(const QString &line) override;
    void setText(const QString &text) override;
    void endUpdate() override;

    // Length of the memo's text including lines not yet shown, one
    // character per line break; O(1).
    qsizetype textLength() const;
    // Puts the gathered lines into the memo now.
    void flush();
    // Empties the memo and drops the gathered lines.
    void clear();
    // The page-down scroll, done with the next flush.
    void pageDown();
    // Moves the whole text, gathered lines included, into `file` and empties
    // the memo once it has grown past the limit. False with the reason when
    // the file could not be written (the memo then keeps its text).
    bool spillInto(base::SpillFile &file, QString *error);

private:
    void scheduleFlush();
    QPlainTextEdit *m_memo;
    std::function<void()> m_changed;
    QStringList m_pending;
    qsizetype m_pendingChars = 0;
    int m_pagesDown = 0;
    bool m_flushQueued = false;
};

// Memo helpers shared by the windows.
namespace memo {
// Length of the memo's text with one character per line break; O(1).
qsizetype textLength(const QPlainTextEdit *memo);
// Appends text at the very end (CR LF, CR or LF start new lines), without
// rebuilding the whole text.
void appendText(QPlainTextEdit *memo, const QString &text);
// The vertical page-down scroll command, `times` over.
void pageDown(QPlainTextEdit *memo, int times = 1);
QStringList lines(const QPlainTextEdit *memo);
} // namespace memo

} // namespace base
