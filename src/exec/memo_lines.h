#pragma once
#include "output_lines.h"

#include <functional>

class QPlainTextEdit;

namespace exec {

// The lines of a memo as a runner's output target. After each update it calls
// `changed`, the memo's change handler; clearing the memo does not.
class MemoLines : public OutputLines
{
public:
    MemoLines(QPlainTextEdit *memo, std::function<void()> changed = {});
    qsizetype count() const override;
    void add(const QString &line) override;
    void replaceLast(const QString &line) override;
    void setText(const QString &text) override;
    void endUpdate() override;

private:
    QPlainTextEdit *m_memo;
    std::function<void()> m_changed;
};

// Memo helpers shared by the windows.
namespace memo {
// Length of the memo's text with one character per line break; O(1).
qsizetype textLength(const QPlainTextEdit *memo);
// Appends text at the very end (CR LF, CR or LF start new lines), without
// rebuilding the whole text.
void appendText(QPlainTextEdit *memo, const QString &text);
// The vertical page-down scroll command.
void pageDown(QPlainTextEdit *memo);
QStringList lines(const QPlainTextEdit *memo);
} // namespace memo

} // namespace exec
