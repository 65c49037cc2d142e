#define SPINDLE_UI_TESTS
#include "app/ui/windows.h"
#include "ui/style.h"
#include "testutil.h"
#include "tree/ui/sorter_form.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// Show order in the Layout Sorter, through the window and its dialogs.
class TestShowOrder : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;
    FakeDialogs *m_dialogs = nullptr;
    Tsorter_form *f = nullptr;
    QString m_iso;
    QString tmp(const QString &n) const { return m_tmp.filePath(n); }

    QStringList orderLines() const
    {
        return f->orderText() ? f->orderText()->toPlainText().split('\n') : QStringList();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const QString root = tmp("src");
        QDir().mkpath(root + "/docs");
        QVERIFY(writeAll(root + "/first.bin", QByteArray(5000, 'a')));
        QVERIFY(writeAll(root + "/second.bin", QByteArray(6000, 'b')));
        QVERIFY(writeAll(root + "/docs/read me.txt", QByteArray(700, 'c')));
        QVERIFY(writeAll(tmp("build.sort"), (root + "/first.bin 30\n" + root + "/second.bin 20\n" + root + "/docs 10\n").toUtf8()));
        m_iso = tmp("cd.iso");
        QProcess p;
        p.start(binDir() + "/mkisofs", {"-quiet", "-r", "-sort", tmp("build.sort"), "-o", m_iso, root});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
    }
    void init()
    {
        m_dialogs = new FakeDialogs;
        createWindowsWith(m_dialogs);
        f = app::windows().sorter_form;
        QVERIFY(f);
        QCOMPARE(f->ShowOrderBT->objectName(), QStringLiteral("ShowOrderBT"));
        QCOMPARE(f->ShowOrderBT->text(), QStringLiteral("Show order"));
    }
    void cleanup()
    {
        destroyWindowsOf(m_dialogs);
        m_dialogs = nullptr;
        f = nullptr;
    }

    // The list weighs the files the other way round from the build: the
    // box marks the two that lie after a lighter one.
    void listAgainstImage()
    {
        const QString root = tmp("src");
        f->sortList()->insertEntries({{root + "/first.bin", "1"}, {root + "/second.bin", "5"}, {root + "/docs", "9"},
                                      {root + "/other.bin", "x"}});
        m_dialogs->fileAnswers << m_iso;
        f->ShowOrderBT->click();
        QCOMPARE(m_dialogs->log, QStringList{"open:ISO images|*.iso|All files|*"});
        QCOMPARE(m_dialogs->fileOptions.first().caption, QStringLiteral("Show order"));
        QVERIFY(f->orderBox() && f->orderBox()->isVisible());
        QVERIFY(f->orderText()->isReadOnly());
        const QStringList lines = orderLines();
        QVERIFY2(lines.contains("Image: " + m_iso + " (Rock Ridge names, 3 files)"), qPrintable(lines.join('\n')));
        QVERIFY(lines.contains("Row 4: weight 'x' is not an integer; left out"));
        QVERIFY(lines.contains("Root folder: " + root + " (from the list)"));
        QVERIFY(lines.contains("3 of 3 rows match; 2 of 3 files out of order"));
        QStringList files;
        for (const QString &l : lines)
            if (l.contains(".bin") || l.contains(".txt"))
                files << l.simplified().section(' ', 2);
        QCOMPARE(files, QStringList({"1 first.bin", "5 second.bin out of order", "9 docs/read me.txt out of order"}));

        // Again with the list sorted as the build had it: nothing marked,
        // in the same box.
        QDialog *box = f->orderBox();
        f->sortList()->clear();
        f->sortList()->insertEntries({{root + "/first.bin", "30"}, {root + "/second.bin", "20"}});
        m_dialogs->fileAnswers << m_iso;
        f->ShowOrderBT->click();
        QCOMPARE(f->orderBox(), box);
        QVERIFY(orderLines().contains("2 of 2 rows match; 0 of 3 files out of order"));
        for (const QString &l : orderLines())
            QVERIFY2(!l.endsWith("  out of order"), qPrintable(l));
    }

    // An empty list gives the plain listing; a cancelled dialog nothing; an
    // unreadable image its reason.
    void listingCancelAndErrors()
    {
        m_dialogs->fileAnswers << m_iso;
        f->ShowOrderBT->click();
        const QString text = f->orderText()->toPlainText();
        QVERIFY(!text.contains("Weight"));
        QVERIFY(text.contains("  5000  first.bin\n"));
        QVERIFY(text.contains("   700  docs/read me.txt\n"));
        f->orderBox()->hide();

        m_dialogs->log.clear();
        f->ShowOrderBT->click();
        QCOMPARE(m_dialogs->log, QStringList{"open:ISO images|*.iso|All files|*"});
        QVERIFY(!f->orderBox()->isVisible());

        QVERIFY(writeAll(tmp("bad.iso"), QByteArray(50000, 0)));
        m_dialogs->fileAnswers << tmp("bad.iso") << tmp("missing.iso");
        f->ShowOrderBT->click();
        f->ShowOrderBT->click();
        QCOMPARE(m_dialogs->log.mid(1), QStringList({"open:ISO images|*.iso|All files|*",
                                                     "error:Cannot read the image \"" + tmp("bad.iso") +
                                                         "\": no volume descriptor at sector 16 (no \"CD001\")",
                                                     "open:ISO images|*.iso|All files|*",
                                                     "error:Cannot read the image \"" + tmp("missing.iso") +
                                                         "\": No such file or directory"}));
    }
};

QTEST_MAIN(TestShowOrder)
#include "test_show_order.moc"
