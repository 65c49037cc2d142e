#include "memo_lines.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace exec {

namespace {
bool isEmptyMemo(const QTextDocument *d)
{
    return d->blockCount() == 1 && d->firstBlock().length() <= 1;
}

QString normalised(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}
} // namespace

MemoLines::MemoLines(QPlainTextEdit *memo, std::function<void()> changed)
    : m_memo(memo), m_changed(std::move(changed))
{
}

qsizetype MemoLines::count() const
{
    const QTextDocument *d = m_memo->document();
    return isEmptyMemo(d) ? 0 : d->blockCount();
}

void MemoLines::add(const QString &line)
{
    QTextDocument *d = m_memo->document();
    QTextCursor c(d);
    c.movePosition(QTextCursor::End);
    if (!isEmptyMemo(d))
        c.insertBlock();
    c.insertText(line);
}

void MemoLines::replaceLast(const QString &line)
{
    QTextCursor c(m_memo->document()->lastBlock());
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(line);
}

void MemoLines::setText(const QString &text) { m_memo->setPlainText(normalised(text)); }

void MemoLines::endUpdate()
{
    if (m_changed)
        m_changed();
}

namespace memo {

qsizetype textLength(const QPlainTextEdit *memo) { return memo->document()->characterCount() - 1; }

void appendText(QPlainTextEdit *memo, const QString &text)
{
    QTextCursor c(memo->document());
    c.movePosition(QTextCursor::End);
    c.insertText(normalised(text));
}

void pageDown(QPlainTextEdit *memo)
{
    memo->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
}

QStringList lines(const QPlainTextEdit *memo)
{
    QStringList out;
    const QTextDocument *d = memo->document();
    if (isEmptyMemo(d))
        return out;
    for (QTextBlock b = d->firstBlock(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

} // namespace memo
} // namespace exec
