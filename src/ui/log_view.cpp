#include "ui/log_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace ui {

namespace {
constexpr int kMargin = 4;
constexpr qint64 kSyncMs = 40;

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }
} // namespace

LogView::LogView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!m_syncing)
            m_follow = v >= verticalScrollBar()->maximum();
    });
    changeEvent(nullptr);
}

void LogView::changeEvent(QEvent *e)
{
    if (!e || e->type() == QEvent::FontChange) {
        const QFontMetrics fm(font());
        m_lineHeight = qMax(1, fm.lineSpacing());
        m_charWidth = qMax(1, fm.horizontalAdvance(QLatin1Char('0')));
        scheduleSync();
    }
    if (e)
        QAbstractScrollArea::changeEvent(e);
}

qsizetype LogView::lineEnd(qsizetype i) const
{
    return i + 1 < m_starts.size() ? m_starts[i + 1] - 1 : m_text.size();
}

QString LogView::line(qsizetype i) const
{
    if (i < 0 || i >= m_starts.size())
        return QString();
    return m_text.mid(m_starts[i], lineEnd(i) - m_starts[i]);
}

void LogView::appendLine(const QString &line)
{
    if (!m_starts.isEmpty())
        m_text += QLatin1Char('\n');
    m_starts.append(m_text.size());
    m_text += line;
    m_longest = qMax(m_longest, line.size());
    scheduleSync();
}

void LogView::replaceLastLine(const QString &line)
{
    if (m_starts.isEmpty()) {
        appendLine(line);
        return;
    }
    // An unfinished line usually grows: add only what is new, so a long
    // line reported again and again is not copied again and again.
    const qsizetype start = m_starts.last();
    const qsizetype oldLength = m_text.size() - start;
    if (line.size() >= oldLength && QStringView(m_text).mid(start, oldLength) == QStringView(line).left(oldLength)) {
        m_text += QStringView(line).mid(oldLength);
    } else {
        m_text.truncate(start);
        m_text += line;
    }
    m_longest = qMax(m_longest, line.size());
    m_anchor = qMin(m_anchor, m_text.size());
    m_cursor = qMin(m_cursor, m_text.size());
    scheduleSync();
}

void LogView::squeeze()
{
    m_text.squeeze();
    m_starts.squeeze();
}

void LogView::setPlainText(const QString &text)
{
    clear();
    if (text.isEmpty())
        return;
    m_text = text;
    m_text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_starts.append(0);
    qsizetype from = 0;
    for (qsizetype i = m_text.indexOf(QLatin1Char('\n')); i >= 0; i = m_text.indexOf(QLatin1Char('\n'), i + 1)) {
        m_longest = qMax(m_longest, i - from);
        m_starts.append(i + 1);
        from = i + 1;
    }
    m_longest = qMax(m_longest, m_text.size() - from);
    scheduleSync();
}

void LogView::clear()
{
    m_text = QString();
    m_starts = QList<qsizetype>(); // clear() would keep the room
    m_longest = 0;
    m_anchor = m_cursor = 0;
    m_follow = true;
    scheduleSync();
}

int LogView::visibleLines() const { return qMax(1, viewport()->height() / m_lineHeight); }

bool LogView::isAtBottom() const { return verticalScrollBar()->value() >= verticalScrollBar()->maximum(); }

qsizetype LogView::firstVisibleLine() const { return verticalScrollBar()->value(); }

void LogView::scheduleSync()
{
    if (m_syncQueued)
        return;
    m_syncQueued = true;
    // A flood of lines redraws the view and its scroll bars at most every
    // kSyncMs, not once per event-loop turn: the drawing would cost more
    // than the lines.
    const qint64 since = m_sinceSync.isValid() ? m_sinceSync.elapsed() : kSyncMs;
    QTimer::singleShot(int(qMax<qint64>(0, kSyncMs - since)), this, &LogView::sync);
}

void LogView::sync()
{
    m_syncQueued = false;
    m_sinceSync.start();
    m_syncing = true;
    QScrollBar *v = verticalScrollBar();
    const int page = visibleLines();
    v->setPageStep(page);
    v->setRange(0, int(qMax<qsizetype>(0, m_starts.size() - page)));
    if (m_follow)
        v->setValue(v->maximum());
    QScrollBar *h = horizontalScrollBar();
    const qint64 width = qint64(m_longest) * m_charWidth + 2 * kMargin;
    h->setPageStep(viewport()->width());
    h->setSingleStep(m_charWidth);
    h->setRange(0, int(qBound(qint64(0), width - viewport()->width(), qint64(INT_MAX))));
    m_syncing = false;
    viewport()->update();
}

void LogView::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    sync();
}

void LogView::scrollContentsBy(int, int) { viewport()->update(); }

void LogView::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    const QPalette &pal = palette();
    p.fillRect(viewport()->rect(), pal.base());
    if (m_starts.isEmpty())
        return;
    const QFontMetrics fm(font());
    const qsizetype first = firstVisibleLine();
    const qsizetype last = qMin(m_starts.size(), first + visibleLines() + 1);
    const int scrollX = horizontalScrollBar()->value();
    const qsizetype firstCol = qMax(0, (scrollX - kMargin) / m_charWidth);
    const qsizetype columns = viewport()->width() / m_charWidth + 2;
    const int x0 = kMargin - scrollX;
    const qsizetype selFrom = qMin(m_anchor, m_cursor), selTo = qMax(m_anchor, m_cursor);
    for (qsizetype i = first; i < last; ++i) {
        const int y = int(i - first) * m_lineHeight;
        const qsizetype start = m_starts[i], end = lineEnd(i);
        const qsizetype len = end - start;
        QString text;
        if (firstCol < len)
            text = m_text.mid(start + firstCol, qMin(columns, len - firstCol)).replace(QLatin1Char('\t'), QLatin1Char(' '));
        const int textX = x0 + int(firstCol) * m_charWidth;
        p.setPen(pal.color(QPalette::Text));
        p.drawText(textX, y + fm.ascent(), text);
        // The selection, the line break counted as one more column.
        if (selFrom < selTo && selTo > start && selFrom <= end) {
            const qsizetype a = qMax(selFrom, start) - start, b = qMin(selTo, end + 1) - start;
            const QRect r(x0 + int(a) * m_charWidth, y, int(b - a) * m_charWidth, m_lineHeight);
            p.fillRect(r, pal.highlight());
            p.save();
            p.setClipRect(r);
            p.setPen(pal.color(QPalette::HighlightedText));
            p.drawText(textX, y + fm.ascent(), text);
            p.restore();
        }
    }
}

qsizetype LogView::lineAt(qsizetype offset) const
{
    const auto it = std::upper_bound(m_starts.cbegin(), m_starts.cend(), offset);
    return qMax<qsizetype>(0, (it - m_starts.cbegin()) - 1);
}

qsizetype LogView::offsetAt(const QPoint &pos) const
{
    if (m_starts.isEmpty())
        return 0;
    const qsizetype row = pos.y() < 0 ? -1 : pos.y() / m_lineHeight;
    const qsizetype i = qBound<qsizetype>(0, firstVisibleLine() + row, m_starts.size() - 1);
    const int x = pos.x() - kMargin + horizontalScrollBar()->value();
    const qsizetype col = qBound(qsizetype(0), qsizetype((x + m_charWidth / 2) / m_charWidth), lineEnd(i) - m_starts[i]);
    return m_starts[i] + col;
}

void LogView::setSelection(qsizetype anchor, qsizetype cursor)
{
    m_anchor = qBound<qsizetype>(0, anchor, m_text.size());
    m_cursor = qBound<qsizetype>(0, cursor, m_text.size());
    viewport()->update();
}

void LogView::select(qsizetype from, qsizetype to) { setSelection(from, to); }

void LogView::selectAll() { setSelection(0, m_text.size()); }

QString LogView::selectedText() const
{
    const qsizetype from = qMin(m_anchor, m_cursor), to = qMax(m_anchor, m_cursor);
    return m_text.mid(from, to - from);
}

void LogView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LogView::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(e);
        return;
    }
    const qsizetype at = offsetAt(e->position().toPoint());
    setSelection(e->modifiers() & Qt::ShiftModifier ? m_anchor : at, at);
    m_selecting = true;
}

void LogView::mouseMoveEvent(QMouseEvent *e)
{
    if (!m_selecting)
        return;
    const QPoint pos = e->position().toPoint();
    // Dragging past an edge scrolls.
    if (pos.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    setSelection(m_anchor, offsetAt(pos));
}

void LogView::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && m_selecting) {
        m_selecting = false;
        if (hasSelection() && QGuiApplication::clipboard()->supportsSelection())
            QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Selection);
    }
}

void LogView::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || m_starts.isEmpty())
        return;
    const qsizetype at = offsetAt(e->position().toPoint());
    const qsizetype i = lineAt(at);
    qsizetype from = at, to = at;
    while (from > m_starts[i] && isWordChar(m_text[from - 1]))
        --from;
    while (to < lineEnd(i) && isWordChar(m_text[to]))
        ++to;
    setSelection(from, to);
}

void LogView::keyPressEvent(QKeyEvent *e)
{
    if (e->matches(QKeySequence::Copy)) {
        copy();
    } else if (e->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (e->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
    } else if (e->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    e->accept();
}

void LogView::contextMenuEvent(QContextMenuEvent *e)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(tr("&Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu.addAction(tr("Select &All"), this, &LogView::selectAll)->setShortcut(QKeySequence::SelectAll);
    menu.exec(e->globalPos());
}

} // namespace ui
