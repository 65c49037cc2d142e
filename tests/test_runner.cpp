#include "exec/dos_command.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "testutil.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace exec;
using base::StringListLines;

namespace {
QString child(const QString &args) { return QStringLiteral("\"%1\" %2").arg(testChild(), args); }

// Records every event of a runner.
struct Recorder
{
    QStringList events; // "E:text:rc", "B:text", "T:code"
    QStringList errors;
    int terminated = 0;
    quint32 code = 0;
    void attach(TDosCommand &c)
    {
        c.OnNewLine = [this](TDosCommand *s, const QString &line, TOutputType t) {
            events << (t == otEntireLine ? QStringLiteral("E:%1:%2").arg(line, s->OutputReturnCode() == rcCRLF ? "crlf" : "lf")
                                         : QStringLiteral("B:") + line);
        };
        c.OnTerminated = [this](TDosCommand *, quint32 exitCode) {
            events << QStringLiteral("T:%1").arg(exitCode);
            ++terminated;
            code = exitCode;
        };
        TDosCommand::setErrorReporter([this](const QString &m) { events << QStringLiteral("error:") + m; });
    }
};

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT
private slots:
    void lineEventsAndReturnCodes()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = child("write a\\r\\nb\\n");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QCOMPARE(r.events, (QStringList{"E:a:crlf", "E:b:lf", "T:0"}));
        QCOMPARE(c.Lines(), (QStringList{"a", "b"}));
    }

    void beginningUpdatedInPlace()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        StringListLines out;
        c.setOutputLines(&out);
        c.CommandLine = child("write abc @300 def\\n\\x20second @300 third");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QCOMPARE(r.events, (QStringList{"B:abc", "E:abcdef:lf", "B: second", "B: secondthird",
                                        "B: secondthird", "T:0"}));
        QCOMPARE(out.lines(), (QStringList{"abcdef", " secondthird"}));
        // An unfinished line keeps one item in Lines, its latest text.
        QCOMPARE(c.Lines(), (QStringList{"abc", "abcdef", " secondthird"}));
    }

    // 8 MB without a line end: a handful of reports, not one per read, and
    // one copy of the line in Lines.
    void longUnbrokenLine()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        int beginnings = 0;
        qsizetype lastSize = 0;
        c.OnNewLine = [&](TDosCommand *, const QString &line, TOutputType t) {
            QCOMPARE(t, otBeginningOfLine);
            ++beginnings;
            lastSize = line.size();
        };
        const int size = 8 << 20;
        c.CommandLine = child(QStringLiteral("blob %1").arg(size));
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 60000);
        QCOMPARE(r.code, 0u);
        QCOMPARE(lastSize, qsizetype(size));
        QCOMPARE(c.Lines().size(), 1);
        QCOMPARE(c.Lines().first().size(), qsizetype(size));
        // Doubling from 64 KiB gives 8 reports; time-driven ones add at
        // most four a second. Per read it would be over 500.
        QVERIFY2(beginnings < 100, qPrintable(QString::number(beginnings)));
    }

    void exitCodes()
    {
        // Exit codes are 8 bits here, so no child can claim the "still
        // active" value; the end comes from the process itself in any case.
        for (int code : {0, 3, 255}) {
            TDosCommand c;
            Recorder r;
            r.attach(c);
            c.CommandLine = child(QStringLiteral("exit %1").arg(code));
            c.Execute();
            QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
            QCOMPARE(r.code, quint32(code));
            QCOMPARE(c.lastRunEnd(), TDosCommand::RunEnd::Exited);
        }
    }

    void emptyCommandLineDoesNothing()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = child("write x\\n");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        c.CommandLine.clear();
        c.Execute();
        QCOMPARE(c.Lines(), QStringList{"x"});
        c.Stop(); // after a run that ended by itself: nothing
        // Whatever either call might have queued would arrive before the
        // events of the next run.
        c.CommandLine = child("write y\\n");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 2, 10000);
        QCOMPARE(r.events, (QStringList{"E:x:lf", "T:0", "E:y:lf", "T:0"}));
    }

    void sendLine()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.SendLine("before", true); // no run: dropped
        c.CommandLine = child("echo");
        c.Execute();
        c.SendLine("", true); // CR LF answers a pause
        QTRY_VERIFY_WITH_TIMEOUT(r.events.contains("E:in:0d0a:lf"), 10000);
        c.ReturnCode = rcLF;
        c.SendLine("q", true);
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QCOMPARE(r.events, (QStringList{"E:in:0d0a:lf", "E:in:710a:lf", "T:0"}));
        c.SendLine("after", true); // ended: dropped, nothing happens
        c.CommandLine = child("exit 0");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 2, 10000);
        QCOMPARE(r.events, (QStringList{"E:in:0d0a:lf", "E:in:710a:lf", "T:0", "T:0"}));
    }

    void inputEcho()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.InputToOutput = true;
        StringListLines out;
        c.setOutputLines(&out);
        c.CommandLine = child("echo");
        c.Execute();
        c.SendLine("q", true);
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QCOMPARE(r.events.first(), QStringLiteral("E:q\r\n:crlf"));
        QVERIFY(r.events.contains("E:in:710d0a:lf"));
    }

    void silenceLimit()
    {
        // Prints every 300 ms: a 2-second silence limit never fires.
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.MaxTimeAfterLastOutput = 2;
        c.CommandLine = child("ticks 8 300");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 30000);
        QCOMPARE(r.code, 0u);
        QCOMPARE(c.Lines().size(), 8);

        // Silent after one line: killed once two whole seconds have passed
        // since that line (the limit is strict), however the line fell
        // between timer ticks.
        c.MaxTimeAfterLastOutput = 1;
        QElapsedTimer sinceLine;
        c.OnNewLine = [&](TDosCommand *, const QString &, TOutputType) { sinceLine.start(); };
        qint64 silence = -1;
        c.OnTerminated = [&](TDosCommand *, quint32 code) {
            silence = sinceLine.isValid() ? sinceLine.elapsed() : -1;
            r.code = code;
            ++r.terminated;
        };
        c.CommandLine = child("write @600 line\\n @20000");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 2, 30000);
        QCOMPARE(r.code, kStillActive);
        QCOMPARE(c.lastRunEnd(), TDosCommand::RunEnd::TimedOut);
        QVERIFY2(silence >= 2000, qPrintable(QString::number(silence)));
    }

    void totalTimeLimit()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.MaxTimeAfterBeginning = 2;
        QElapsedTimer t;
        t.start();
        c.CommandLine = child("ticks 100 200");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 30000);
        QCOMPARE(r.code, kStillActive);
        QCOMPARE(c.lastRunEnd(), TDosCommand::RunEnd::TimedOut);
        // Never before three whole seconds; the clock started before the run.
        QVERIFY2(t.elapsed() >= 3000, qPrintable(QString::number(t.elapsed())));
    }

    void stopKillsGrandchild()
    {
        QTemporaryDir dir;
        TDosCommand c;
        Recorder r;
        r.attach(c);
        const QString pidFile = dir.filePath("pid");
        c.CommandLine = child("grandchild " + pidFile);
        c.Execute();
        QTRY_VERIFY_WITH_TIMEOUT(!c.Lines().isEmpty(), 10000);
        const qint64 grandchild = readAll(pidFile).trimmed().toLongLong();
        QVERIFY(grandchild > 0);
        QVERIFY(!processGone(grandchild));
        c.Stop();
        QVERIFY(!c.isRunning());
        QCOMPARE(r.terminated, 0); // reported later, never inside Stop
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 5000);
        QCOMPARE(r.code, kStillActive);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(grandchild), 5000);
    }

    // Stop asks the job's whole group to end (SIGTERM) and returns; what
    // ignores that is killed after the grace time, in the background.
    void stopAsksThenForces()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("term.log");
        const QByteArray marker = newMarker();
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = child("family " + marker + " stubborn \"" + log + "\"");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(c.Lines(), QStringList{"ready"}, 30000);
        QCOMPARE(jobProcesses(marker).size(), 3);
        c.Stop();
        QVERIFY(!c.isRunning());
        // Stop did not wait for the end: the three still run, asked once.
        QCOMPARE(jobProcesses(marker).size(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QCOMPARE(r.code, kStillActive);
        QTRY_COMPARE_WITH_TIMEOUT(leftOf(marker, 0), QStringList(), 30000);
        QCOMPARE(readAll(log).count("T "), 3);
    }

    // Stopping a batch file ends the programs it runs, each in a group of
    // its own below the interpreter's, the ones that ignore SIGTERM too.
    void stopEndsABatchFilesPrograms_data()
    {
        QTest::addColumn<bool>("stubborn");
        QTest::newRow("programs that end when asked") << false;
        QTest::newRow("programs that ignore SIGTERM") << true;
    }
    void stopEndsABatchFilesPrograms()
    {
        QFETCH(bool, stubborn);
        QTemporaryDir dir;
        const QString log = dir.filePath("term.log");
        const QByteArray marker = newMarker();
        writeAll(dir.filePath("build.bat"), "@echo off\r\n\"" + testChild().toUtf8() + "\" family " + marker
                                                + (stubborn ? " stubborn \"" + log.toUtf8() + "\"" : QByteArray())
                                                + "\r\n");
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = dir.path() + "/build.bat";
        c.Execute();
        QTRY_VERIFY_WITH_TIMEOUT(c.Lines().contains("ready"), 30000);
        QCOMPARE(jobProcesses(marker).size(), 3);
        c.Stop();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(leftOf(marker, 0), QStringList(), 30000);
        // Each was asked first; on a loaded machine the interpreter's own
        // watchdog may ask once more before the end is forced.
        if (stubborn)
            QVERIFY(readAll(log).count("T ") >= 3);
    }

    // A program that ends before what it started: its own exit code is
    // reported, and the rest of its group is ended.
    void programEndEndsItsGroup()
    {
        const QByteArray marker = newMarker();
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = child("family-exit 3 " + marker);
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 30000);
        QCOMPARE(r.events, (QStringList{"E:ready:lf", "T:3"}));
        QCOMPARE(c.lastRunEnd(), TDosCommand::RunEnd::Exited);
        QTRY_COMPARE_WITH_TIMEOUT(leftOf(marker, 0), QStringList(), 30000);
    }

    // A process that left the job's group and session (setsid, setsid -f)
    // ends with the job: on Stop, and when the program itself ends first.
    void detachedEndsWithTheJob_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("stop");
        for (const char *option : {"-", "-f"}) {
            QTest::addRow("setsid %s, Stop", option) << option << true;
            QTest::addRow("setsid %s, program end", option) << option << false;
        }
    }
    void detachedEndsWithTheJob()
    {
        QFETCH(QString, option);
        QFETCH(bool, stop);
        const QByteArray marker = newMarker();
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = child("detached " + option + (stop ? " - " : " 0 ") + marker);
        c.Execute();
        if (stop) {
            QTRY_COMPARE_WITH_TIMEOUT(c.Lines(), QStringList{"ready"}, 30000);
            QCOMPARE(jobProcesses(marker).size(), 1);
            c.Stop();
        }
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 30000);
        QCOMPARE(r.code, stop ? kStillActive : 0u);
        // Ended in the background, well within the grace time.
        QTRY_COMPARE_WITH_TIMEOUT(leftOf(marker, 0), QStringList(), 2000);
    }

    void executeDuringRun()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = child("write first\\n @20000");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(c.Lines(), QStringList{"first"}, 10000);
        c.CommandLine = child("write second\\n");
        c.Execute();
        QVERIFY(c.Lines().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 2, 10000);
        QCOMPARE(r.events, (QStringList{"E:first:lf", "T:259", "E:second:lf", "T:0"}));
        QCOMPARE(c.Lines(), QStringList{"second"});
    }

    void missingProgram()
    {
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = "no-such-program-xyz -a \"b c\"";
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 5000);
        QCOMPARE(r.events, (QStringList{"T:127", "error:no-such-program-xyz -a \"b c\" doesn't exist."}));
        QCOMPARE(c.lastRunEnd(), TDosCommand::RunEnd::NotStarted);
    }

    // Nothing reaches a shell: operators, substitutions, variables and
    // wildcards arrive as literal argument text, and nothing else runs.
    void noShell()
    {
        QTemporaryDir dir;
        CurrentDirScope inDir(dir.path());
        writeAll(dir.filePath("a.iso"), "x");
        TDosCommand c;
        Recorder r;
        r.attach(c);
        c.CommandLine = child(R"x(args "x;touch pwned" "a|b" "$(touch pwned2)" "`touch pwned3`" && "%PATH%" "*.iso" ; touch pwned4)x");
        c.Execute();
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QCOMPARE(c.Lines(), (QStringList{"[x;touch pwned]", "[a|b]", "[$(touch pwned2)]", "[`touch pwned3`]",
                                         "[&&]", "[%PATH%]", "[*.iso]", "[;]", "[touch]", "[pwned4]"}));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.iso"});
    }

    void batchFileThroughInterpreter()
    {
        QTemporaryDir dir;
        CurrentDirScope inDir(dir.path());
        const QByteArray bat = "@echo off\r\necho hello there\r\n@echo on\r\n\"" + testChild().toUtf8()
                               + "\" args \"one two\"\r\n@echo off\r\nrem ---\r\npause\r\n";
        writeAll(dir.filePath("build.bat"), bat);
        TDosCommand c;
        Recorder r;
        r.attach(c);
        StringListLines out;
        c.setOutputLines(&out);
        c.CommandLine = dir.path() + "/build.bat";
        c.Execute();
        c.SendLine("", true);
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        const QString prompt = QFileInfo(dir.path()).canonicalFilePath() + ">\"" + testChild() + "\" args \"one two\"";
        QCOMPARE(out.lines(), (QStringList{"hello there", "", prompt, "[one two]",
                                           "Press any key to continue . . . "}));
        QCOMPARE(r.code, 0u);
    }

    // A word's bytes reach the program unchanged, UTF-8 or not, whether the
    // command is a value, a text or a batch file's line.
    void bytesReachTheProgram_data()
    {
        QTest::addColumn<int>("form");
        QTest::newRow("value") << 0;
        QTest::newRow("text") << 1;
        QTest::newRow("batch file") << 2;
    }
    void bytesReachTheProgram()
    {
        QFETCH(int, form);
        const QList<QByteArray> args{"caf\xe9", "\xff\xfe x", "\xc3\xa9t\xc3\xa9"};
        const QByteArray program = testChild().toUtf8();
        QByteArray text = '"' + program + "\" args";
        for (const QByteArray &a : args)
            text += " \"" + a + '"';
        QTemporaryDir dir;
        TDosCommand c;
        Recorder r;
        r.attach(c);
        if (form == 0) {
            c.Execute(CommandLine(testChild()).arg(QStringLiteral("args")).add(args));
        } else if (form == 1) {
            c.CommandLine = platform::decodePath(text);
            c.Execute();
        } else {
            writeAll(dir.filePath("b.bat"), "@echo off\r\n" + text + "\r\n");
            c.Execute(CommandLine(dir.filePath("b.bat")));
        }
        QTRY_COMPARE_WITH_TIMEOUT(r.terminated, 1, 10000);
        QByteArrayList got;
        for (const QString &l : c.Lines())
            got << platform::encodePath(l);
        QCOMPARE(got, (QByteArrayList{"[caf\xe9]", "[\xff\xfe x]", "[\xc3\xa9t\xc3\xa9]"}));
    }

    // Last: no job starts after endAllJobs. A job still being ended in the
    // background when the program ends is finished with the rest, so what
    // waits for its end (a runner's process object) is released.
    void endAllJobsFinishesBackgroundEnds()
    {
        QProcess p;
        const qint64 group = platform::startInOwnGroup(p, QIODevice::ReadOnly,
                                                       {testChild().toUtf8(), "sleep", "20000"});
        QVERIFY(group > 0);
        bool ended = false;
        platform::endJobLater(group, [&] { ended = true; });
        platform::endAllJobs();
        QVERIFY(ended);
        QVERIFY(!platform::groupRunning(group));
    }
};

QTEST_GUILESS_MAIN(TestRunner)
#include "test_runner.moc"
