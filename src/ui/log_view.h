#pragma once
#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QList>
#include <QString>

namespace ui {

// A read-only memo for a tool's output, however long it grows. The text is
// kept as one string of lines joined by line feeds, so adding a line costs
// the same at the millionth line as at the first and the whole text is
// always at hand; only the lines in view are drawn. Selection and copy
// work while lines arrive. It follows the end while the reader is at the
// bottom and stays where the reader scrolled to otherwise.
class LogView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);

    // The whole text, lines joined by line feeds.
    QString toPlainText() const { return m_text; }
    // Replaces the text; CR LF, CR and LF start new lines.
    void setPlainText(const QString &text);
    void clear();
    qsizetype lineCount() const { return m_starts.size(); }
    QString line(qsizetype i) const;
    // Characters of the whole text, one per line break.
    qsizetype textLength() const { return m_text.size(); }
    void appendLine(const QString &line);
    void replaceLastLine(const QString &line);
    // Gives back the room kept for more lines (once a run has ended).
    void squeeze();

    bool isAtBottom() const;
    // Whether new lines scroll into view (the reader is at the bottom).
    bool followsEnd() const { return m_follow; }
    // The first line in view.
    qsizetype firstVisibleLine() const;

    bool hasSelection() const { return m_anchor != m_cursor; }
    QString selectedText() const;
    // Selects from one offset of the whole text to another.
    void select(qsizetype from, qsizetype to);
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    qsizetype lineEnd(qsizetype i) const;
    qsizetype lineAt(qsizetype offset) const;
    qsizetype offsetAt(const QPoint &viewportPos) const;
    int visibleLines() const;
    void scheduleSync();
    // Brings the scroll bars up to date and keeps the end in view while
    // following; once per event-loop turn however many lines arrived.
    void sync();
    void setSelection(qsizetype anchor, qsizetype cursor);

    QString m_text;
    QList<qsizetype> m_starts; // offset of each line in m_text
    QElapsedTimer m_sinceSync;
    qsizetype m_longest = 0;   // characters of the longest line seen
    qsizetype m_anchor = 0, m_cursor = 0;
    bool m_follow = true;
    bool m_syncQueued = false;
    bool m_syncing = false;
    bool m_selecting = false;
    int m_lineHeight = 1;
    int m_charWidth = 1;
};

} // namespace ui
