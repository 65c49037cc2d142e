#include "testutil.h"

#include <QProcess>
#include <QTemporaryDir>
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
    // "P N" follows the line that moved the whole percentage, and only then.
    void progressEvents()
    {
        const QString data = QStringLiteral(SPINDLE_TEST_DATA "/");
        Result r = cli({"exec", "--events", quoted(testChild()), "play", quoted(data + "wodim_progress.txt")});
        QList<QByteArray> lines = r.out.split('\n');
        const qsizetype first = lines.indexOf("P 0");
        QVERIFY(first > 0);
        QCOMPARE(lines[first - 1].left(20), QByteArray("E Track 01:    0 of "));
        QList<QByteArray> percents;
        for (const QByteArray &l : lines)
            if (l.startsWith("P "))
                percents << l;
        QCOMPARE(percents, (QList<QByteArray>{"P 0", "P 1", "P 20", "P 49", "P 50", "P 74", "P 100"}));

        r = cli({"exec", "--events", "--total", "300000000", quoted(testChild()), "play",
                 quoted(data + "dd_progress.txt")});
        // The percentage follows the line that moved it at once.
        lines = r.out.split('\n');
        auto after = [&](const QByteArray &text) {
            for (qsizetype i = 0; i + 1 < lines.size(); ++i)
                if (lines[i].mid(2).startsWith(text))
                    return lines[i + 1];
            return QByteArray();
        };
        QCOMPARE(after("60030976 bytes"), QByteArray("P 20"));
        QCOMPARE(after("240058368 bytes"), QByteArray("P 80"));
        QVERIFY(r.out.endsWith("P 100\nE 4577+1 records in\nE 4577+1 records out\n"
                               "E 300000000 bytes (300 MB, 286 MiB) copied, 6.35686 s, 47.2 MB/s\nT 0\n"));
        r = cli({"exec", "--events", quoted(testChild()), "play", quoted(data + "dd_progress.txt")});
        QVERIFY(!r.out.contains("\nP "));
        QCOMPARE(cli({"exec", "--total", "x", "true"}).code, 2);
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
    // Endless input while the child exits at once: the reader belongs to the
    // run and ends with it. Many runs, as the fault showed in about half.
    void endlessInputAtExit()
    {
        for (int i = 0; i < 20; ++i) {
            QProcess yes, cliProc;
            yes.setStandardOutputProcess(&cliProc);
            yes.start("yes", QStringList{});
            cliProc.start(binDir() + "/spindle-cli", {"exec", quoted(testChild()) + " exit 0"});
            QVERIFY(cliProc.waitForFinished(30000));
            QCOMPARE(cliProc.exitStatus(), QProcess::NormalExit);
            QCOMPARE(cliProc.exitCode(), 0);
            yes.kill();
            yes.waitForFinished(5000);
        }
    }

    // A child that never reads its input while input keeps coming: the run
    // still ends normally with the child's output.
    void inputToAChildThatNeverReads()
    {
        QProcess yes, cliProc;
        yes.setStandardOutputProcess(&cliProc);
        yes.start("yes", QStringList{});
        cliProc.start(binDir() + "/spindle-cli", {"exec", quoted(testChild()) + " write started\\n @1500"});
        QVERIFY(cliProc.waitForFinished(30000));
        QCOMPARE(cliProc.exitCode(), 0);
        QCOMPARE(cliProc.readAllStandardOutput(), QByteArray("started\n"));
        yes.kill();
        yes.waitForFinished(5000);
    }

    void runBatStatuses()
    {
        QTemporaryDir dir;
        const QString bat = dir.filePath("t.bat");
        writeAll(bat, "@echo off\r\nno-such-program-xyz a b\r\n");
        Result r = cli({"run-bat", bat});
        QCOMPARE(r.code, 127);
        QVERIFY(r.err.startsWith("'no-such-program-xyz' is not recognized"));
        writeAll(bat, ("@echo off\r\n\"" + testChild() + "\" exit 5\r\n").toUtf8());
        r = cli({"run-bat", bat});
        QCOMPARE(r.code, 5);
        r = cli({"run-bat", dir.filePath("missing.bat")});
        QCOMPARE(r.code, 1);
    }

    // A pause with nothing to answer it (the input at its end) prints no
    // prompt; a line that answers it shows the prompt it answered.
    void pausePromptsOnlyWhenAnswered()
    {
        QTemporaryDir dir;
        const QString bat = dir.filePath("p.bat");
        writeAll(bat, "@echo off\r\necho before\r\npause\r\necho after\r\n");
        Result r = cli({"run-bat", bat});
        QCOMPARE(r.out, QByteArray("before\nafter\n"));
        r = cli({"run-bat", bat}, "\n");
        QCOMPARE(r.out, QByteArray("before\nPress any key to continue . . . \nafter\n"));
    }

    // No value may bring a line break (a second command in build.bat, a
    // second line in a list): refused as bad usage, nothing run or written.
    void controlCharactersRefused()
    {
        QTemporaryDir dir;
        const QString t = dir.filePath("t.mkiso");
        writeAll(t, "[Make_ISO template file]\r\nversion=2\r\n");
        Result r = cli({"batch", t, "--mkisofs", "/bin/mkisofs\r\ndel x", "--write", dir.path()});
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err, QByteArray("spindle-cli: argument 3 of batch holds a control character (such as a line "
                                   "break); no value may hold one\n"));
        QVERIFY(!QFile::exists(dir.filePath("build.bat")));
        r = cli({"exec", quoted(testChild()) + " exit 0\n" + quoted(testChild()) + " exit 3"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("argument 1 of exec holds a control character"));
        r = cli({"run-bat", dir.filePath("a\x1b.bat")});
        QCOMPARE(r.code, 2);
        r = cli({"sortlist", "sort", dir.filePath("in.lst"), dir.filePath("out\n.lst")});
        QCOMPARE(r.code, 2);
        // A tab is a value's own character, as in templates.
        r = cli({"exec", quoted(testChild()) + "\texit 4"});
        QCOMPARE(r.code, 4);
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
        // The staged stand-ins are found in Spindle's folder, named by what they say they are.
        QVERIFY2(lines[0].startsWith("mkisofs " + (binDir() + "/mkisofs").toUtf8() + ": genisoimage (genisoimage 1."),
                 lines[0].constData());
    }
};

QTEST_GUILESS_MAIN(TestCliExec)
#include "test_cli_exec.moc"
