// Atomic saves: what a killed save left behind goes with the next save of
// that file, and nothing else does.
#include "platform/platform.h"
#include "testutil.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/wait.h>

namespace {
// A pid no process has (a child that has ended and been reaped).
pid_t endedPid()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

QStringList temporaries(const QString &folder)
{
    return QDir(folder).entryList({"out.sort.*"}, QDir::Files | QDir::System | QDir::Hidden);
}

// Runs `spindle-cli sortlist sort` into `out` and kills it while its save
// is under way; returns the temporary file it left, or empty.
QString killedSave(const QString &in, const QString &out)
{
    QProcess cli;
    cli.start(binDir() + "/spindle-cli", {"sortlist", "sort", in, out});
    QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired() && cli.state() != QProcess::NotRunning) {
        const QStringList left = temporaries(QFileInfo(out).path());
        if (!left.isEmpty()) {
            ::kill(pid_t(cli.processId()), SIGKILL);
            cli.waitForFinished(10000);
            return left.first();
        }
        QTest::qWait(1);
    }
    cli.waitForFinished(10000);
    return QString();
}
} // namespace

class TestFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void staleTemporaries_data()
    {
        QTest::addColumn<QString>("name"); // %1: a pid whose process has ended, %2: a live one
        QTest::addColumn<QString>("kind"); // "file", "locked" (a save under way), "link"
        QTest::addColumn<bool>("removed");
        QTest::newRow("left by a killed save") << "" << "file" << true;
        QTest::newRow("its writer has ended") << "out.sort.spindle-%1-Ab12Cd" << "file" << true;
        QTest::newRow("its writer still runs") << "out.sort.spindle-%2-Ab12Cd" << "file" << false;
        QTest::newRow("a save under way in another Spindle") << "out.sort.spindle-%1-Ab12Cd" << "locked" << false;
        QTest::newRow("a link of that name") << "out.sort.spindle-%1-Ab12Cd" << "link" << false;
        QTest::newRow("another file's") << "other.sort.spindle-%1-Ab12Cd" << "file" << false;
        QTest::newRow("not Spindle's pattern") << "out.sort.Ab12Cd" << "file" << false;
        QTest::newRow("a longer name") << "out.sort.spindle-%1-Ab12Cd.bak" << "file" << false;
    }
    void staleTemporaries()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        QTemporaryDir dir;
        const QString out = dir.filePath("out.sort"), outside = m_dir.filePath("outside");
        QVERIFY(writeAll(outside, "keep"));
        int lock = -1;
        if (name.isEmpty()) {
            // Sorted and saved by spindle-cli, which is killed mid-save.
            QByteArray lines;
            for (int i = 0; i < 400000; ++i)
                lines += "/cd/folder/file" + QByteArray::number(i) + ".bin " + QByteArray::number(i % 977) + "\n";
            QVERIFY(writeAll(dir.filePath("in.sort"), lines));
            for (int attempt = 0; attempt < 5 && name.isEmpty(); ++attempt)
                name = killedSave(dir.filePath("in.sort"), out);
            QVERIFY2(!name.isEmpty(), "the save was never caught under way");
            QFile::remove(out);
        } else {
            name.replace("%1", QString::number(endedPid())).replace("%2", QString::number(::getppid()));
            const QString path = dir.filePath(name);
            if (kind == "link") {
                QVERIFY(QFile::link(outside, path));
            } else {
                QVERIFY(writeAll(path, "partial"));
                if (kind == "locked") {
                    lock = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
                    QVERIFY(lock >= 0 && ::flock(lock, LOCK_EX) == 0);
                }
            }
        }
        QString reason;
        QVERIFY2(platform::writeFileAtomic(out, "/cd/a.bin 1\n", &reason), qPrintable(reason));
        if (lock >= 0)
            ::close(lock);
        QCOMPARE(readAll(out), QByteArray("/cd/a.bin 1\n"));
        QCOMPARE(QFileInfo::exists(dir.filePath(name)) || QFileInfo(dir.filePath(name)).isSymLink(), !removed);
        QCOMPARE(readAll(outside), QByteArray("keep"));
        // The save left nothing of its own.
        QCOMPARE(temporaries(dir.path()), removed ? QStringList() : QStringList{name}.filter("out.sort."));
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "test_files.moc"
