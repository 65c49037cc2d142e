#include "exec/command_line.h"
#include "platform/path_codec.h"

#include <QTest>

namespace {
// The byte rules, read and written as text.
QStringList splitCommandLine(const QString &text)
{
    QStringList out;
    for (const QByteArray &w : exec::splitCommandLine(platform::encodePath(text)))
        out << platform::decodePath(w);
    return out;
}
QString quoteArgument(const QString &v) { return platform::decodePath(exec::quoteArgument(platform::encodePath(v))); }
QString quoteProgram(const QString &p) { return platform::decodePath(exec::quoteProgram(platform::encodePath(p))); }
} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void split_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("plain") << "cdrecord -scanbus" << QStringList{"cdrecord", "-scanbus"};
        QTest::newRow("quoted program with blanks")
            << R"("/opt/my tools/mkisofs" -J)" << QStringList{"/opt/my tools/mkisofs", "-J"};
        QTest::newRow("program keeps backslashes")
            << R"(C:\tools\mkisofs.exe -r)" << QStringList{R"(C:\tools\mkisofs.exe)", "-r"};
        QTest::newRow("quoted argument") << R"(mkisofs -o "D:/iso/cd.iso" -volid "DATA")"
                                         << QStringList{"mkisofs", "-o", "D:/iso/cd.iso", "-volid", "DATA"};
        QTest::newRow("quote glued inside a word") << R"(dd if=/dev/sr0 of="my cd.img")"
                                                   << QStringList{"dd", "if=/dev/sr0", "of=my cd.img"};
        QTest::newRow("escaped quote") << R"(p a\"b)" << QStringList{"p", "a\"b"};
        QTest::newRow("two backslashes then quote") << R"(p "a\\" b)" << QStringList{"p", "a\\", "b"};
        QTest::newRow("backslashes without quote are literal") << R"(p a\\b\)" << QStringList{"p", R"(a\\b\)"};
        QTest::newRow("doubled quote inside quotes") << R"(p "a""b")" << QStringList{"p", "a\"b"};
        QTest::newRow("empty quoted argument") << R"(p "" x)" << QStringList{"p", "", "x"};
        QTest::newRow("tabs and runs of blanks") << "p\t a  \tb " << QStringList{"p", "a", "b"};
        QTest::newRow("empty") << "   " << QStringList{};
        QTest::newRow("shell characters stay text")
            << R"x(p "a;b|c" $(id) `id` && %PATH% *.iso)x"
            << QStringList{"p", "a;b|c", "$(id)", "`id`", "&&", "%PATH%", "*.iso"};
    }
    void split()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, words);
        QCOMPARE(splitCommandLine(line), words);
    }

    // Quoting is the exact inverse of splitting, alone and between others.
    void quoteRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        const char *const values[] = {"", " ", "plain", "two words", "\"", "\"\"", "a\"b", "My \"Disc\"",
                                      "tail\\", "tail\\\\", "\\", "\\\\\\", "a\\\"b", "a\\\\\"b",
                                      "\\\"", "C:\\dir\\", "%PATH%", "100%", "\t tab", "dir/ \"x\" \\",
                                      "\"\"\"", "a\"\"b", "\\a\\"};
        for (const char *v : values)
            QTest::newRow(v) << QString::fromUtf8(v);
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße \u00e9t\u00e9 \u65e5\u672c\\");
    }
    void quoteRoundTrip()
    {
        QFETCH(QString, value);
        const QString line = QStringLiteral("prog ") + quoteArgument(value) + QStringLiteral(" next ")
                             + quoteArgument(value) + QStringLiteral(" -x");
        QCOMPARE(splitCommandLine(line), (QStringList{"prog", value, "next", value, "-x"}));
        QCOMPARE(splitCommandLine(QStringLiteral("prog -o=") + quoteArgument(value)),
                 (QStringList{"prog", "-o=" + value}));
    }

    void quoteRoundTripGenerated()
    {
        // Every string of length 1..5 over the characters that matter.
        const QString alphabet = QStringLiteral("a\\\" ");
        QList<QString> level{QString()};
        for (int len = 1; len <= 5; ++len) {
            QList<QString> next;
            for (const QString &s : level)
                for (QChar c : alphabet)
                    next << s + c;
            for (const QString &v : next)
                QCOMPARE(splitCommandLine(QStringLiteral("p ") + quoteArgument(v)), (QStringList{"p", v}));
            level = next;
        }
    }

    void quoteKeepsPlainValues()
    {
        QCOMPARE(quoteArgument(QStringLiteral("D:/iso/cd.iso")), QStringLiteral("\"D:/iso/cd.iso\""));
        QCOMPARE(quoteArgument(QStringLiteral("C:\\a\\b.iso")), QStringLiteral("\"C:\\a\\b.iso\""));
        QCOMPARE(quoteArgument(QStringLiteral("My Disc")), QStringLiteral("\"My Disc\""));
    }

    // Rendered and read back, every command is itself, whatever its words
    // hold and however they ask to be shown; plain words look as written.
    void renderParsesBack()
    {
        const QList<QByteArray> values{"", " ", "plain", "a\"b", "tail\\", "\\\"", "caf\xe9", "\xff\x80 x",
                                       "\t tab", "-o", "of=\"x\""};
        for (const QByteArray &v : values) {
            exec::CommandLine c(QStringLiteral("/opt/my tools/mk"), exec::Shown::Quoted);
            c.add(v).add(v, exec::Shown::Quoted).quoted("of=", platform::decodePath(v)).add(QByteArray("-J"));
            QCOMPARE(exec::parseCommandLine(c.render()), c);
            QCOMPARE(exec::parseCommandLine(c.render()).render(), c.render());
        }
        exec::CommandLine dd(QStringLiteral("dd"));
        dd.quoted("if=", QStringLiteral("/a b.img")).arg(QStringLiteral("of=/dev/fd0")).quoted(QStringLiteral("x"));
        QCOMPARE(dd.render(), QByteArray(R"(dd if="/a b.img" of=/dev/fd0 "x")"));
        QVERIFY(exec::CommandLine(QStringLiteral("/a\"b")).render().isEmpty());
    }

    void quoteProgramWord()
    {
        for (const QString &p : {QStringLiteral("/opt/my tools/mkisofs"), QStringLiteral("C:\\tools\\"),
                                 QStringLiteral("/a\\b c")})
            QCOMPARE(splitCommandLine(quoteProgram(p) + QStringLiteral(" -x")), (QStringList{p, "-x"}));
        QVERIFY(quoteProgram(QStringLiteral("/a\"b")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
