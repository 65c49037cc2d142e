#include "exec/command_line.h"

#include <QTest>

using exec::splitCommandLine;

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
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
