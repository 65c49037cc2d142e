#pragma once
#include "base/output_lines.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QPlainTextEdit;

namespace base {
class SpillFile;
}

namespace ui {

class LogView;

// The lines of a memo as a runner's output target. For a plain text memo,
// new lines are gathered and put into the memo once per event-loop turn: a
// flood of output then costs one document edit per turn instead of one per
// line. A log view takes each line at once at constant cost. After each
// update it calls `changed`, the memo's change handler; clearing does not.
class MemoLines : public QObject, public base::OutputLines
{
public:
    MemoLines(QPlainTextEdit *memo, std::function<void()> changed = {});
    MemoLines(LogView *view, std::function<void()> changed = {});
    qsizetype count() const override;
    void add(const QString &line) override;
    void replaceLast(const QString &line) override;
    void setText(const QString &text) override;
    void endUpdate() override;
    void delivered(const QString &text, bool entireLine) override;

    // Sees every text the runner delivers, as it arrives.
    void setObserver(std::function<void(const QString &text, bool entireLine)> observer)
    {
        m_observer = std::move(observer);
    }

    // Length of the memo's text including lines not yet shown, one
    // character per line break; O(1).
    qsizetype textLength() const;
    // Puts the gathered lines into the memo now.
    void flush();
    // Empties the memo and drops the gathered lines.
    void clear();
    // The page-down scroll, done with the next flush. A log view needs
    // none: it follows the end by itself while the reader is at the bottom.
    void pageDown();
    // Moves the whole text, gathered lines included, into `file` and empties
    // the memo once it has grown past the limit. False with the reason when
    // the file could not be written (the memo then keeps its text).
    bool spillInto(base::SpillFile &file, QString *error);

private:
    void scheduleFlush();
    QPlainTextEdit *m_memo = nullptr;
    LogView *m_view = nullptr;
    std::function<void()> m_changed;
    std::function<void(const QString &, bool)> m_observer;
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

} // namespace ui
