// No job outlives Spindle: termination signals to spindle-cli (exec,
// run-bat) and to the windows, SIGKILL, and a program that ends before
// what it started.
#include "testutil.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString quoted(const QString &s) { return '"' + s + '"'; }

// The three processes of a family, once all have started.
bool waitForFamily(const QByteArray &marker, QList<ProcEntry> &family, int ms = 30000)
{
    QDeadlineTimer deadline(ms);
    for (;;) {
        family = jobProcesses(marker);
        if (family.size() == 3)
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
}

pid_t groupOf(const QList<ProcEntry> &family)
{
    for (const ProcEntry &e : family)
        if (e.argv.size() > 1 && e.argv[1].startsWith("family"))
            return e.pgrp;
    return 0;
}

} // namespace

class TestSignals : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // Starts the front-end `how` ("exec", "run-bat", "gui", "gui batch")
    // with `job`.
    void start(QProcess &p, const QString &how, const QString &job)
    {
        p.setProcessChannelMode(QProcess::SeparateChannels);
        if (how == "exec") {
            p.start(binDir() + "/spindle-cli", {"exec", job});
        } else if (how == "run-bat") {
            const QString bat = m_dir.filePath(QStringLiteral("job%1.bat").arg(QRandomGenerator::global()->generate()));
            QVERIFY(writeAll(bat, "@echo off\r\n" + job.toUtf8() + "\r\n"));
            p.start(binDir() + "/spindle-cli", {"run-bat", bat});
        } else if (how == "gui batch") {
            // As Run Batch does: the console runs the interpreter, which
            // runs the program.
            const QString bat = m_dir.filePath(QStringLiteral("job%1.bat").arg(QRandomGenerator::global()->generate()));
            QVERIFY(writeAll(bat, "@echo off\r\n" + job.toUtf8() + "\r\n"));
            p.start(binDir() + "/spindle-testgui", {bat});
        } else {
            p.start(binDir() + "/spindle-testgui", {job});
        }
        QVERIFY(p.waitForStarted());
    }

    static QString family(const QByteArray &marker, const QString &extra = {})
    {
        return quoted(testChild()) + " family " + QString::fromUtf8(marker) + extra;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // SIGINT, SIGTERM and SIGHUP to each front-end: the job and its
    // grandchildren end before the front-end does, which leaves with
    // 128 plus the signal's number. A job that ignores SIGTERM is killed
    // after the grace time.
    void signalEndsTheJob_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("sig");
        QTest::addColumn<bool>("stubborn");
        for (const char *how : {"exec", "run-bat", "gui"}) {
            QTest::addRow("%s SIGINT", how) << how << SIGINT << false;
            QTest::addRow("%s SIGTERM", how) << how << SIGTERM << false;
            QTest::addRow("%s SIGHUP", how) << how << SIGHUP << false;
        }
        QTest::addRow("exec SIGTERM, job ignores SIGTERM") << "exec" << SIGTERM << true;
        QTest::addRow("run-bat SIGHUP, job ignores SIGTERM") << "run-bat" << SIGHUP << true;
        QTest::addRow("gui SIGINT, job ignores SIGTERM") << "gui" << SIGINT << true;
        QTest::addRow("gui batch SIGTERM") << "gui batch" << SIGTERM << false;
        QTest::addRow("gui batch SIGHUP, job ignores SIGTERM") << "gui batch" << SIGHUP << true;
    }
    void signalEndsTheJob()
    {
        QFETCH(QString, how);
        QFETCH(int, sig);
        QFETCH(bool, stubborn);
        const QByteArray marker = newMarker();
        const QString log = m_dir.filePath(QString::fromUtf8(marker) + ".log");
        QProcess p;
        start(p, how, family(marker, stubborn ? " stubborn " + quoted(log) : QString()));
        QList<ProcEntry> fam;
        QVERIFY2(waitForFamily(marker, fam), qPrintable(p.readAllStandardError()));
        const pid_t group = groupOf(fam);
        QVERIFY(group > 0);
        QVERIFY(group != ::getpgrp()); // a group of the job's own
        QVERIFY(group != pid_t(p.processId()));

        QCOMPARE(::kill(pid_t(p.processId()), sig), 0);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + sig);
        // The front-end waited for the job: nothing of it is left.
        QCOMPARE(leftOf(marker, group), QStringList());
        if (stubborn) // it was asked first
            QVERIFY(readAll(log).startsWith("T "));
        // Nor anything that carries its marker, a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(noneWithMarker(marker), 10000);
    }

    // A process that left the job's group and session (setsid, setsid -f)
    // ends with the job: on a termination signal to the front-end, when the
    // program itself ends first, and when the front-end is killed.
    void detachedEndsWithTheJob_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("sig"); // 0: the program ends by itself
        for (const char *how : {"exec", "run-bat"})
            for (const char *option : {"-", "-f"}) {
                QTest::addRow("%s setsid %s, SIGTERM", how, option) << how << option << int(SIGTERM);
                QTest::addRow("%s setsid %s, program end", how, option) << how << option << 0;
                QTest::addRow("%s setsid %s, SIGKILL", how, option) << how << option << int(SIGKILL);
            }
    }
    void detachedEndsWithTheJob()
    {
        QFETCH(QString, how);
        QFETCH(QString, option);
        QFETCH(int, sig);
        const QByteArray marker = newMarker();
        QProcess p;
        start(p, how, quoted(testChild()) + " detached " + option + (sig ? " - " : " 0 ") + marker);
        if (sig) {
            QTRY_COMPARE_WITH_TIMEOUT(jobProcesses(marker).size(), 1, 30000);
            QCOMPARE(::kill(pid_t(p.processId()), sig), 0);
        }
        QVERIFY(p.waitForFinished(60000));
        if (sig == SIGKILL) {
            // Nothing is left once the watchdog has done its work.
            QTRY_COMPARE_WITH_TIMEOUT(leftOf(marker, 0), QStringList(), 2000);
            return;
        }
        QCOMPARE(p.exitCode(), sig ? 128 + sig : 0);
        QVERIFY(p.readAllStandardOutput().contains("ready\n"));
        QCOMPARE(leftOf(marker, 0), QStringList());
    }

    // A second signal ends spindle-cli at once, the job with it: its group
    // and what left the group.
    void secondSignalEndsAtOnce_data()
    {
        QTest::addColumn<bool>("detached");
        QTest::newRow("in the job's group") << false;
        QTest::newRow("left the group (setsid)") << true;
    }
    void secondSignalEndsAtOnce()
    {
        QFETCH(bool, detached);
        const QByteArray marker = newMarker();
        const QString log = m_dir.filePath(QString::fromUtf8(marker) + ".log");
        QProcess p;
        start(p, "exec",
              detached ? quoted(testChild()) + " detached - - " + marker + ' ' + quoted(log)
                       : family(marker, " stubborn " + quoted(log)));
        QTRY_COMPARE_WITH_TIMEOUT(jobProcesses(marker).size(), detached ? 1 : 3, 30000);
        QCOMPARE(::kill(pid_t(p.processId()), SIGTERM), 0);
        // Once the job has been asked to end, and ignores it, ask again.
        QTRY_COMPARE_WITH_TIMEOUT(readAll(log).count("T "), detached ? 1 : 3, 20000);
        QCOMPARE(::kill(pid_t(p.processId()), SIGINT), 0);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + SIGINT);
        // SIGKILL was sent before the exit; its delivery takes a moment (the
        // watchdog would take its grace time).
        QTRY_COMPARE_WITH_TIMEOUT(leftOf(marker, 0), QStringList(), 1000);
    }

    // spindle-cli killed by SIGKILL cannot end anything itself: the job
    // still ends, within two seconds.
    void killedFrontEndStillEndsTheJob_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("exec") << "exec";
        QTest::newRow("run-bat") << "run-bat";
    }
    void killedFrontEndStillEndsTheJob()
    {
        QFETCH(QString, how);
        const QByteArray marker = newMarker();
        QProcess p;
        start(p, how, family(marker));
        QList<ProcEntry> fam;
        QVERIFY(waitForFamily(marker, fam));
        const pid_t group = groupOf(fam);
        QCOMPARE(::kill(pid_t(p.processId()), SIGKILL), 0);
        QDeadlineTimer twoSeconds(2000);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        while (!leftOf(marker, group).isEmpty() && !twoSeconds.hasExpired())
            QTest::qWait(20);
        QCOMPARE(leftOf(marker, group), QStringList());
    }

    // A program that exits while its grandchildren sleep: its own exit
    // status is the result, and the grandchildren end with it.
    void programEndEndsItsGroup_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("exec") << "exec";
        QTest::newRow("run-bat") << "run-bat";
    }
    void programEndEndsItsGroup()
    {
        QFETCH(QString, how);
        const QByteArray marker = newMarker();
        QProcess p;
        start(p, how, quoted(testChild()) + " family-exit 3 " + QString::fromUtf8(marker));
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 3);
        QVERIFY(p.readAllStandardOutput().contains("ready\n"));
        QCOMPARE(leftOf(marker, 0), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSignals)
#include "test_signals.moc"
