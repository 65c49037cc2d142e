#include "ui/memo_lines.h"

#include "ui/log_view.h"
#include "base/spill_file.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

namespace ui {

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

MemoLines::MemoLines(LogView *view, std::function<void()> changed) : m_view(view), m_changed(std::move(changed)) {}

qsizetype MemoLines::count() const
{
    if (m_view)
        return m_view->lineCount();
    const QTextDocument *d = m_memo->document();
    return (isEmptyMemo(d) ? 0 : d->blockCount()) + m_pending.size();
}

qsizetype MemoLines::textLength() const
{
    if (m_view)
        return m_view->textLength();
    const qsizetype shown = memo::textLength(m_memo);
    if (m_pending.isEmpty())
        return shown;
    // Each gathered line adds its text and, but for the very first line
    // of an empty memo, a line break before it.
    return shown + m_pendingChars + m_pending.size() - (shown == 0 && isEmptyMemo(m_memo->document()) ? 1 : 0);
}

void MemoLines::add(const QString &line)
{
    if (m_view) {
        m_view->appendLine(line);
        return;
    }
    m_pending.append(line);
    m_pendingChars += line.size();
    scheduleFlush();
}

void MemoLines::replaceLast(const QString &line)
{
    if (m_view) {
        m_view->replaceLastLine(line);
        return;
    }
    if (!m_pending.isEmpty()) {
        m_pendingChars += line.size() - m_pending.last().size();
        m_pending.last() = line;
        return;
    }
    QTextCursor c(m_memo->document()->lastBlock());
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.insertText(line);
}

void MemoLines::setText(const QString &text)
{
    if (m_view) {
        m_view->setPlainText(text);
        return;
    }
    m_pending.clear();
    m_pendingChars = 0;
    m_memo->setPlainText(normalised(text));
}

void MemoLines::endUpdate()
{
    if (m_changed)
        m_changed();
}

void MemoLines::delivered(const QString &text, bool entireLine)
{
    if (m_observer)
        m_observer(text, entireLine);
}

void MemoLines::scheduleFlush()
{
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QTimer::singleShot(0, this, &MemoLines::flush);
}

void MemoLines::pageDown()
{
    if (m_view)
        return;
    ++m_pagesDown;
    scheduleFlush();
}

void MemoLines::flush()
{
    m_flushQueued = false;
    if (m_view)
        return;
    if (!m_pending.isEmpty()) {
        QTextDocument *d = m_memo->document();
        QString text = m_pending.join(QLatin1Char('\n'));
        if (!isEmptyMemo(d))
            text.prepend(QLatin1Char('\n'));
        QTextCursor c(d);
        c.movePosition(QTextCursor::End);
        c.insertText(text);
        m_pending.clear();
        m_pendingChars = 0;
    }
    if (m_pagesDown) {
        memo::pageDown(m_memo, m_pagesDown);
        m_pagesDown = 0;
    }
}

bool MemoLines::spillInto(base::SpillFile &file, QString *error)
{
    QString why;
    auto wholeText = [this] {
        flush();
        return m_view ? m_view->toPlainText() : m_memo->toPlainText();
    };
    if (file.spillIfOver(textLength(), wholeText, &why)) {
        clear();
        return true;
    }
    if (why.isEmpty())
        return true;
    if (error)
        *error = why;
    return false;
}

void MemoLines::clear()
{
    m_pending.clear();
    m_pendingChars = 0;
    if (m_view)
        m_view->clear();
    else
        m_memo->clear();
}

namespace memo {

qsizetype textLength(const QPlainTextEdit *memo) { return memo->document()->characterCount() - 1; }

void appendText(QPlainTextEdit *memo, const QString &text)
{
    QTextCursor c(memo->document());
    c.movePosition(QTextCursor::End);
    c.insertText(normalised(text));
}

void pageDown(QPlainTextEdit *memo, int times)
{
    QScrollBar *bar = memo->verticalScrollBar();
    const qint64 target = qint64(bar->value()) + qint64(times) * bar->pageStep();
    bar->setValue(int(qMin<qint64>(target, bar->maximum())));
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
} // namespace ui
