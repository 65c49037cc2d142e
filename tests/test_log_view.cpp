#include "ui/log_view.h"
#include "ui/memo_lines.h"
#include "testutil.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

class TestLogView : public QObject
{
    Q_OBJECT
    ui::LogView *m_view = nullptr;

    void addLines(int from, int to)
    {
        for (int i = from; i < to; ++i)
            m_view->appendLine(QStringLiteral("line %1").arg(i));
    }
    // The scroll bar has taken in every line added so far.
    bool synced(int lines) const
    {
        QScrollBar *v = m_view->verticalScrollBar();
        return v->maximum() == lines - v->pageStep();
    }

private slots:
    void init()
    {
        m_view = new ui::LogView;
        m_view->resize(400, 200);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view));
    }
    void cleanup() { delete m_view; }

    void textAndLines()
    {
        QCOMPARE(m_view->lineCount(), 0);
        m_view->appendLine(QString());
        m_view->appendLine("b");
        m_view->replaceLastLine("bc");
        m_view->appendLine("d");
        QCOMPARE(m_view->toPlainText(), QStringLiteral("\nbc\nd"));
        QCOMPARE(m_view->lineCount(), 3);
        QCOMPARE(m_view->line(1), QStringLiteral("bc"));
        QCOMPARE(m_view->textLength(), 5);
        m_view->replaceLastLine("d and more");
        m_view->replaceLastLine("e"); // not a continuation
        QCOMPARE(m_view->toPlainText(), QStringLiteral("\nbc\ne"));
        m_view->setPlainText("x\r\ny\rz\n");
        QCOMPARE(m_view->toPlainText(), QStringLiteral("x\ny\nz\n"));
        QCOMPARE(m_view->lineCount(), 4);
        QCOMPARE(m_view->line(3), QString());
        m_view->clear();
        QCOMPARE(m_view->lineCount(), 0);
        QVERIFY(m_view->toPlainText().isEmpty());
    }

    // New lines come into view only while the reader is at the bottom.
    void scrollingFollowsTheReader()
    {
        addLines(0, 100);
        QTRY_VERIFY(synced(100));
        QVERIFY(m_view->isAtBottom());
        m_view->verticalScrollBar()->setValue(10); // the reader scrolls up
        addLines(100, 200);
        QTRY_VERIFY(synced(200));
        QCOMPARE(m_view->firstVisibleLine(), 10);
        QVERIFY(!m_view->followsEnd());
        QTest::keyClick(m_view, Qt::Key_End, Qt::ControlModifier); // back to the bottom
        QVERIFY(m_view->isAtBottom());
        addLines(200, 300);
        QTRY_VERIFY(synced(300));
        QVERIFY(m_view->isAtBottom());
        QCOMPARE(m_view->line(m_view->firstVisibleLine() + m_view->verticalScrollBar()->pageStep() - 1),
                 QStringLiteral("line 299"));
    }

    // A selection made during a run survives new lines, and copies.
    void selectAndCopyWhileLinesArrive()
    {
        addLines(0, 50);
        QTRY_VERIFY(synced(50));
        m_view->verticalScrollBar()->setValue(0);
        // Drag from the start of the first line to the middle of the second.
        const QFontMetrics fm(m_view->font());
        const int cw = fm.horizontalAdvance('0'), lh = fm.lineSpacing();
        QWidget *vp = m_view->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(1, lh / 2));
        QTest::mouseMove(vp, QPoint(4 + 4 * cw + 1, lh + lh / 2));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(4 + 4 * cw + 1, lh + lh / 2));
        QCOMPARE(m_view->selectedText(), QStringLiteral("line 0\nline"));
        addLines(50, 60);
        QTRY_VERIFY(synced(60));
        QCOMPARE(m_view->selectedText(), QStringLiteral("line 0\nline"));
        QCOMPARE(m_view->firstVisibleLine(), 0);
        QTest::keyClick(m_view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line 0\nline"));
        QTest::keyClick(m_view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_view->selectedText(), m_view->toPlainText());
        QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(4 + 1 * cw, lh / 2));
        QCOMPARE(m_view->selectedText(), QStringLiteral("line"));
    }

    // The runner's list operations on a log view, as the console uses them.
    void memoLinesOnALogView()
    {
        QStringList seen;
        ui::MemoLines lines(m_view);
        lines.setObserver([&](const QString &t, bool entire) { seen << (entire ? "E " : "B ") + t; });
        lines.add("abc");
        lines.delivered("abc", false);
        lines.replaceLast("abcdef");
        lines.delivered("abcdef", true);
        lines.add("x");
        QCOMPARE(lines.count(), 2);
        QCOMPARE(lines.textLength(), 8);
        QCOMPARE(m_view->toPlainText(), QStringLiteral("abcdef\nx"));
        QCOMPARE(seen, (QStringList{"B abc", "E abcdef"}));
        lines.clear();
        QCOMPARE(lines.count(), 0);
    }
};

QTEST_MAIN(TestLogView)
#include "test_log_view.moc"
