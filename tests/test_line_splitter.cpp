#include "exec/line_splitter.h"

#include <QTest>

using namespace exec;

namespace {
struct Event
{
    QByteArray text;
    TOutputType type;
    TReturnCode rc;
    bool operator==(const Event &o) const { return text == o.text && type == o.type && rc == o.rc; }
};

// Feeds the chunks as separate reads, then ends the run.
QList<Event> split(const QList<QByteArray> &chunks)
{
    LineSplitter s;
    QList<Event> out;
    auto sink = [&](QByteArrayView v, TOutputType t) { out << Event{v.toByteArray(), t, s.outputReturnCode()}; };
    for (const QByteArray &c : chunks)
        s.feed(c.constData(), c.size(), sink);
    s.finish(sink);
    return out;
}

QString show(const QList<Event> &events)
{
    QStringList parts;
    for (const Event &e : events)
        parts << QStringLiteral("%1%2/%3").arg(e.type == otEntireLine ? "E:" : "B:",
                                               QString::fromLatin1(e.text.toPercentEncoding()),
                                               e.rc == rcCRLF ? "crlf" : "lf");
    return parts.join(QLatin1Char(' '));
}
} // namespace

class TestLineSplitter : public QObject
{
    Q_OBJECT
private slots:
    void cases_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QString>("expected");
        QTest::newRow("crlf then lf in one read") << QList<QByteArray>{"a\r\nb\n"} << "E:a/crlf E:b/lf";
        QTest::newRow("beginning then rest")
            << QList<QByteArray>{"abc", "def\n"} << "B:abc/crlf E:abcdef/lf";
        QTest::newRow("cr ends read, lf starts next")
            << QList<QByteArray>{"x\r", "\ny\n"} << "E:x/lf E:y/lf";
        QTest::newRow("lone cr progress")
            << QList<QByteArray>{"10%\r20%\r"} << "E:10%25/lf E:20%25/lf";
        QTest::newRow("two lf make an empty line") << QList<QByteArray>{"a\n\nb\n"} << "E:a/lf E:/lf E:b/lf";
        QTest::newRow("zero bytes dropped") << QList<QByteArray>{QByteArray("a\0b\n\0", 5)} << "E:ab/lf";
        QTest::newRow("unfinished last line twice, never entire")
            << QList<QByteArray>{"a\nlast"} << "E:a/lf B:last/lf B:last/lf";
        QTest::newRow("cr not at end of read: a second lf is a line")
            << QList<QByteArray>{"x\r", "y\n"} << "E:x/lf E:y/lf";
        QTest::newRow("lf at start without earlier cr") << QList<QByteArray>{"x", "\ny"}
                                                        << "B:x/crlf E:x/lf B:y/lf B:y/lf";
        QTest::newRow("zero before lf after a cr read")
            << QList<QByteArray>{"x\r", QByteArray("\0\n", 2)} << "E:x/lf E:/lf";
        QTest::newRow("cr lf split with text after")
            << QList<QByteArray>{"a\r", "\nb\r\n"} << "E:a/lf E:b/crlf";
        QTest::newRow("long line across reads")
            << QList<QByteArray>{QByteArray(40, 'x'), QByteArray(40, 'y') + "\r\n"}
            << "B:" + QString(40, 'x') + "/crlf E:" + QString(40, 'x') + QString(40, 'y') + "/crlf";
    }
    void cases()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QString, expected);
        QCOMPARE(show(split(chunks)), expected);
    }

    // The vector scan must agree with a byte-at-a-time reading wherever the
    // special bytes fall relative to 16-byte blocks.
    void specialBytesAtEveryOffset()
    {
        for (int pos = 0; pos < 40; ++pos) {
            for (char special : {'\n', '\r', '\0'}) {
                QByteArray data(40, 'a');
                data[pos] = special;
                data += '\n';
                const QList<Event> ev = split({data});
                QByteArray joined;
                for (const Event &e : ev)
                    if (e.type == otEntireLine)
                        joined += e.text + '|';
                QByteArray expect;
                if (special == '\0')
                    expect = QByteArray(39, 'a') + '|';
                else if (pos == 39 && special == '\r')
                    expect = QByteArray(39, 'a') + '|'; // CR LF at the end is one break
                else
                    expect = QByteArray(pos, 'a') + '|' + QByteArray(39 - pos, 'a') + '|';
                QVERIFY2(joined == expect, qPrintable(QStringLiteral("pos %1 byte %2").arg(pos).arg(int(special))));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLineSplitter)
#include "test_line_splitter.moc"
