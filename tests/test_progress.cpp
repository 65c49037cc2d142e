#include "exec/line_splitter.h"
#include "exec/progress.h"
#include "testutil.h"

#include <QTest>

namespace {
QByteArray transcript(const char *name) { return readAll(QStringLiteral(SPINDLE_TEST_DATA "/") + name); }

struct Played
{
    QList<int> percents; // each change of the whole percentage
    qint64 bytes = -1;
    bool active = false;
};

// Cuts the bytes into reads of `chunk` bytes and feeds the texts the runner
// would deliver, beginnings included.
Played play(const QByteArray &bytes, qsizetype chunk, qint64 total = 0)
{
    exec::ProgressParser p;
    p.setTotalBytes(total);
    exec::LineSplitter splitter;
    Played out;
    int last = -1;
    auto sink = [&](QByteArrayView v, exec::TOutputType t) {
        p.feed(QString::fromUtf8(v), t == exec::otEntireLine);
        if (p.percent() >= 0 && p.percent() != last)
            out.percents << p.percent();
        last = p.percent();
    };
    for (qsizetype i = 0; i < bytes.size(); i += chunk)
        splitter.feed(bytes.constData() + i, qMin(chunk, bytes.size() - i), sink);
    splitter.finish(sink);
    out.bytes = p.bytesDone();
    out.active = p.active();
    return out;
}
} // namespace

class TestProgress : public QObject
{
    Q_OBJECT
private slots:
    void transcripts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QList<int>>("percents");
        QTest::addColumn<qint64>("bytes");
        QTest::newRow("genisoimage") << "genisoimage_progress.txt" << qint64(0)
                                     << QList<int>{3,  6,  10, 13, 17, 20, 23, 27, 30, 34, 37, 40, 44, 47, 51,
                                                   54, 57, 61, 64, 68, 71, 75, 78, 81, 85, 88, 92, 95, 98}
                                     << qint64(-1);
        QTest::newRow("xorrisofs") << "xorrisofs_progress.txt" << qint64(0)
                                   << QList<int>{5, 16, 27, 39, 50, 61, 69, 80, 92} << qint64(-1);
        QTest::newRow("wodim") << "wodim_progress.txt" << qint64(0) << QList<int>{0, 1, 20, 49, 50, 74, 100}
                               << qint64(700) * 1024 * 1024;
        // cdrskin's own output of a 28 MB burn to an emulated drive, its last
        // progress line cut as when the burn ends between two of them.
        QTest::newRow("cdrskin") << "cdrskin_progress.txt" << qint64(0)
                                 << QList<int>{10, 25, 42, 57, 60, 64, 71, 75, 78, 85, 92, 100} << qint64(30361600);
        // Without a total only the track's summary says how far it got: all of it.
        QTest::newRow("wodim unknown size") << "wodim_unknown_size.txt" << qint64(0) << QList<int>{100}
                                            << qint64(40) * 1024 * 1024;
        QTest::newRow("wodim total 0") << "wodim_zero_total.txt" << qint64(0) << QList<int>{100}
                                       << qint64(7) * 1024 * 1024;
        QTest::newRow("readom") << "readom_progress.txt" << qint64(0) << QList<int>{0, 25, 50, 75, 99, 100}
                                << qint64(146659) * 2048;
        QTest::newRow("dd with total") << "dd_progress.txt" << qint64(300000000) << QList<int>{20, 40, 60, 80, 100}
                                       << qint64(300000000);
        QTest::newRow("dd without total") << "dd_progress.txt" << qint64(0) << QList<int>{} << qint64(300000000);
    }
    // Whole reads, short reads that cut lines and numbers, single bytes:
    // the same percentages every time.
    void transcripts()
    {
        QFETCH(QString, file);
        QFETCH(qint64, total);
        QFETCH(QList<int>, percents);
        QFETCH(qint64, bytes);
        const QByteArray data = transcript(file.toUtf8().constData());
        QVERIFY(!data.isEmpty());
        for (qsizetype chunk : {data.size(), qsizetype(7), qsizetype(1)}) {
            const Played p = play(data, chunk, total);
            QCOMPARE(p.percents, percents);
            QCOMPARE(p.bytes, bytes);
            QVERIFY(p.active);
        }
    }

    void partialLinesAreNotRead()
    {
        exec::ProgressParser p;
        QVERIFY(!p.feed(u"Track 01:   12 of  7", false));
        QVERIFY(!p.feed(u" 12.3", false));
        QVERIFY(!p.feed(u"end:    14", false)); // the rest of the number may follow
        QVERIFY(!p.feed(u"addr:     10", false));
        QVERIFY(!p.feed(u"30003 byt", false));
        QCOMPARE(p.percent(), -1);
        QVERIFY(!p.active());
        QVERIFY(p.feed(u"Track 01:   12 of  700 MB written", false)); // complete enough
        QCOMPARE(p.percent(), 1);
    }

    void garbageLeavesTheStateAlone()
    {
        exec::ProgressParser p;
        QVERIFY(p.feed(u" 42.00% done, estimate finish Tue Dec  8 11:20:32 2026", true));
        for (const char16_t *line :
             {u"", u"   ", u"Total translation table size: 0", u"146659 extents written (286 MB)",
              u"Track 01: Total bytes read/written: 0/0 (0 sectors).", u"4583+1 records in",
              u"99999999999999999999% done", u"12.% done", u"Track xx:   1 of 2 MB written", u"end: 12 blocks",
              u"end: -5", u"addr: x cnt: 1", u"7 bytes (unclosed copied,", u"Time total: 61.204sec",
              u"\u0663\u0664% done"}) {
            QVERIFY2(!p.feed(line, true), QString::fromUtf16(line).toUtf8().constData());
            QCOMPARE(p.percent(), 42);
        }
    }

    void readerWithoutEndHasNoPercentage()
    {
        exec::ProgressParser p;
        QVERIFY(p.feed(u"addr:     1024 cnt: 1024", true));
        QCOMPARE(p.percent(), -1);
        QCOMPARE(p.bytesDone(), 1024 * 2048);
        QVERIFY(p.feed(u"end:     4096", true));
        QVERIFY(p.feed(u"addr:     2048 cnt: 1024", true));
        QCOMPARE(p.percent(), 50);
    }

    void readerFinalAddressEndsAt100()
    {
        // readom ends with the address alone once everything was read; cut
        // by a read it is no progress yet.
        exec::ProgressParser p;
        QVERIFY(p.feed(u"end:      1043", true));
        QVERIFY(p.feed(u"addr:     1024 cnt: 19", true));
        QCOMPARE(p.percent(), 98);
        QVERIFY(!p.feed(u"addr:     10", false));
        QCOMPARE(p.percent(), 98);
        QVERIFY(!p.feed(u"addr:     1043 blocks", true));
        QVERIFY(p.feed(u"addr:     1043", true));
        QCOMPARE(p.percent(), 100);
        QCOMPARE(p.bytesDone(), 1043 * 2048);
    }

    void ddBeyondTheGivenTotalStopsAt100()
    {
        exec::ProgressParser p;
        p.setTotalBytes(1000);
        QVERIFY(p.feed(u"1 byte copied, 1 s, 1 B/s", false));
        QCOMPARE(p.percent(), 0);
        QVERIFY(p.feed(u"5000 bytes (5.0 kB, 4.9 KiB) copied, 2 s, 2.5 kB/s", true));
        QCOMPARE(p.percent(), 100);
        p.reset();
        QCOMPARE(p.percent(), -1);
        QCOMPARE(p.totalBytes(), 1000);
    }

    void estimate()
    {
        exec::ProgressEstimate e;
        e.sample(500, 0.10, 1000000);
        QCOMPARE(e.bytesPerSecond(), -1.0); // one sample says nothing yet
        QCOMPARE(e.secondsLeft(), -1);
        e.sample(1000, 0.12, 1500000);
        QCOMPARE(e.secondsLeft(), -1); // under a second of samples
        e.sample(2500, 0.30, 3000000);
        QCOMPARE(e.bytesPerSecond(), 1000000.0);
        QCOMPARE(e.secondsLeft(), 7);
        e.sample(3500, 0.30, -1); // a busy tool that says nothing new
        QCOMPARE(e.secondsLeft(), 11); // 3 s for 20 %: 10.5 s for the 70 % left, rounded up
        exec::ProgressEstimate none;
        none.sample(0, -1, -1);
        none.sample(5000, -1, -1);
        QCOMPARE(none.bytesPerSecond(), -1.0);
        QCOMPARE(none.secondsLeft(), -1);
    }

    void statusTexts()
    {
        QCOMPARE(exec::formatDuration(0), QStringLiteral("0:00"));
        QCOMPARE(exec::formatDuration(42), QStringLiteral("0:42"));
        QCOMPARE(exec::formatDuration(3599), QStringLiteral("59:59"));
        QCOMPARE(exec::formatDuration(3723), QStringLiteral("1:02:03"));
        QCOMPARE(exec::formatRate(512), QStringLiteral("512 B/s"));
        QCOMPARE(exec::formatRate(1500), QStringLiteral("1.5 kB/s"));
        QCOMPARE(exec::formatRate(12.34e6), QStringLiteral("12.3 MB/s"));
        QCOMPARE(exec::progressStatus(42, -1, -1), QStringLiteral("Elapsed 0:42"));
        QCOMPARE(exec::progressStatus(65, 2.5e6, 125), QStringLiteral("Elapsed 1:05   2.5 MB/s   2:05 left"));
    }
};

QTEST_GUILESS_MAIN(TestProgress)
#include "test_progress.moc"
