#include "testutil.h"

#include <QProcess>
#include <QTest>

namespace {
struct Result
{
    int code;
    QByteArray out, err;
};

Result cli(const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(binDir() + "/spindle-cli", args);
    p.waitForStarted();
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
QString quoted(const QString &s) { return '"' + s + '"'; }
} // namespace

class TestCliExec : public QObject
{
    Q_OBJECT
private slots:
    void eventsAndExitCode()
    {
        const Result r = cli({"exec", "--events", quoted(testChild()), "write", "a\\r\\nb", "=7"});
        QCOMPARE(r.out, QByteArray("E a\nB b\nB b\nT 7\n"));
        QCOMPARE(r.code, 7);
    }
    void plainOutput()
    {
        const Result r = cli({"exec", quoted(testChild()) + " write x\\ny"});
        QCOMPARE(r.out, QByteArray("x\ny"));
        QCOMPARE(r.code, 0);
    }
    void standardInputGoesToChild()
    {
        const Result r = cli({"exec", "--events", quoted(testChild()), "echo"}, "q\n");
        QCOMPARE(r.out, QByteArray("E in:710d0a\nT 0\n"));
    }
    void limitEndsWith124()
    {
        const Result r = cli({"exec", "--max-silence", "1", quoted(testChild()), "sleep", "20000"});
        QCOMPARE(r.code, 124);
    }
    void missingProgram()
    {
        const Result r = cli({"exec", "nonexistent-tool-xyz", "-x"});
        QCOMPARE(r.code, 127);
        QCOMPARE(r.err, QByteArray("nonexistent-tool-xyz -x doesn't exist.\n"));
    }
    void toolsListsAllFive()
    {
        const Result r = cli({"tools"});
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 5);
        const QByteArrayList names{"mkisofs", "cdrecord", "readcd", "dd", "bbie"};
        for (int i = 0; i < 5; ++i)
            QVERIFY2(lines[i].startsWith(names[i] + ' '), lines[i].constData());
        // The staged stand-ins are found in Spindle's folder.
        QCOMPARE(lines[0], "mkisofs " + (binDir() + "/mkisofs").toUtf8());
    }
};

QTEST_GUILESS_MAIN(TestCliExec)
#include "test_cli_exec.moc"
