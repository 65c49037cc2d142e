#include "base/session.h"
#include "base/spill_file.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>

class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void switchTable_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("scratch");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<bool>("win9x");
        QTest::addColumn<bool>("check");
        QTest::addColumn<QString>("label");
        QTest::newRow("none") << QStringList{} << false << false << false << false << "Running in normal mode";
        QTest::newRow("-win98") << QStringList{"-win98"} << true << false << true << false << "Running in Win9x mode";
        QTest::newRow("-debug") << QStringList{"-debug"} << false << true << false << true << "Running in debug mode";
        QTest::newRow("-win98debug") << QStringList{"-win98debug"} << true << true << true << true
                                     << "Running in Win98 debug mode";
        QTest::newRow("capitals") << QStringList{"-WIN98"} << false << false << false << false
                                  << "Unknown switch, running in normal mode";
        QTest::newRow("second argument ignored") << QStringList{"-debug", "extra"} << false << true << false
                                                 << true << "Running in debug mode";
        QTest::newRow("only the first counts") << QStringList{"x", "-debug"} << false << false << false << false
                                               << "Unknown switch, running in normal mode";
        QTest::newRow("empty argument") << QStringList{""} << false << false << false << false
                                        << "Unknown switch, running in normal mode";
    }
    void switchTable()
    {
        QFETCH(QStringList, args);
        const base::SwitchEffect e = base::interpretSwitch(args);
        QTEST(e.createScratchFiles, "scratch");
        QTEST(e.debugMode, "debug");
        QTEST(e.win9xMode, "win9x");
        QTEST(e.checkDebugBox, "check");
        QTEST(e.label, "label");
    }

    void ddrLinesRemovedWherever()
    {
        const QStringList in{"ddr first", "keep", "has ddr inside", "DDR upper stays", "", "end ddr"};
        QCOMPARE(base::linesWithout(in, "ddr"), (QStringList{"keep", "DDR upper stays", ""}));
    }

    // Runs of three or more lines that differ only in names, paths and
    // numbers fold into their first line with a count; others stay.
    void repeatedLinesFold_data()
    {
        QTest::addColumn<QStringList>("in");
        QTest::addColumn<QStringList>("out");
        QTest::newRow("genisoimage's names") << QStringList{"Using A000.TXT;1 for  /t/a1.txt (a2.txt)",
                                                            "Using B000.TXT;1 for  /t/b1.txt (b2.txt)",
                                                            "Using C000.TXT;1 for  /t/c1.txt (c2.txt)", "Total 3"}
                                             << QStringList{"Using A000.TXT;1 for  /t/a1.txt (a2.txt)  [and 2 more "
                                                            "lines like this]",
                                                            "Total 3"};
        QTest::newRow("progress") << QStringList{" 10.00% done", " 20.00% done", " 30.00% done", " 40.00% done"}
                                  << QStringList{" 10.00% done  [and 3 more lines like this]"};
        QTest::newRow("two are kept") << QStringList{"x 1", "x 2", "y"} << QStringList{"x 1", "x 2", "y"};
        QTest::newRow("other words") << QStringList{"Writing:   Initial Padblock   Start Block 0",
                                                    "Writing:   Primary Volume Descriptor   Start Block 16",
                                                    "Writing:   Boot Volume Descriptor   Start Block 17"}
                                     << QStringList{"Writing:   Initial Padblock   Start Block 0",
                                                    "Writing:   Primary Volume Descriptor   Start Block 16",
                                                    "Writing:   Boot Volume Descriptor   Start Block 17"};
        QTest::newRow("blank lines") << QStringList{"", "", "", "a"} << QStringList{"", "", "", "a"};
    }
    void repeatedLinesFold()
    {
        QFETCH(QStringList, in);
        QTEST(base::foldRepeatedLines(in), "out");
    }

    // The spill moves text strictly longer than the limit, with a line end.
    void spillThreshold()
    {
        QTemporaryDir dir;
        base::SpillFile f;
        f.bind(dir.filePath("debug.tmp"));
        const QString at(64000, 'a');
        QVERIFY(!f.spillIfOver(at.size(), [&] { return at; }, nullptr));
        QVERIFY(!QFile::exists(dir.filePath("debug.tmp")));
        const QString over(64001, 'b');
        QVERIFY(f.spillIfOver(over.size(), [&] { return over; }, nullptr));
        QVERIFY(f.appendAndClose("rest", nullptr));
        QCOMPARE(readAll(dir.filePath("debug.tmp")), over.toUtf8() + "\nrest\n");
    }

    void spillUnbound()
    {
        base::SpillFile f;
        bool built = false;
        QVERIFY(!f.spillIfOver(100000, [&] { built = true; return QString(); }, nullptr));
        QVERIFY(!built);
    }

    void spillUnwritable()
    {
        base::SpillFile f;
        f.bind("/nonexistent-dir/debug.tmp");
        QString error;
        QVERIFY(!f.spillIfOver(64001, [] { return QString(64001, 'x'); }, &error));
        QVERIFY(error.startsWith("Cannot open file"));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
