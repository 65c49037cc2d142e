// spindle-cli's disc jobs: each reaches its tool with the window's own
// command line, prints progress events, and names a failure's cause.
#include "testutil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCliDrive : public QObject
{
    Q_OBJECT
    QTemporaryDir m_folder; // Spindle's folder: spindle-cli and the tools
    QTemporaryDir m_work;

    struct Result
    {
        int code;
        QByteArray out, err;
    };
    Result cli(const QStringList &args, const QString &output = {}, const QString &exit = {})
    {
        QFile::remove(argsLog());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("FAKECD_OUTPUT", output);
        env.insert("FAKECD_EXIT", exit);
        env.insert("FAKECD_ARGS", argsLog());
        env.insert("LC_ALL", "C");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_work.path());
        p.start(m_folder.filePath("spindle-cli"), args);
        if (!p.waitForFinished(60000))
            return {-1, {}, "timed out"};
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }
    QString argsLog() const { return m_folder.filePath("args.log"); }
    QByteArray runs() const { return readAll(argsLog()); }
    static QString data(const char *name) { return QStringLiteral(SPINDLE_TEST_DATA "/") + name; }
    QString w(const QString &name) const { return m_work.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(binDir() + "/spindle-cli", m_folder.filePath("spindle-cli")));
        QFile::setPermissions(m_folder.filePath("spindle-cli"), QFile::ReadOwner | QFile::ExeOwner);
        for (const char *tool : {"cdrecord", "readcd"})
            QVERIFY(QFile::link(binDir() + "/spindle-fakecd", m_folder.filePath(tool)));
        QVERIFY(QFile::link(QFileInfo(binDir() + "/dd").canonicalFilePath(), m_folder.filePath("dd")));
        QVERIFY(QFile::link(binDir() + "/bbie", m_folder.filePath("bbie")));
    }

    void burnAndBlankReachTheToolAndSayWhyTheyFailed()
    {
        const QByteArray cannotWrite =
            "This drive cannot write CDs: it only reads them, or cdrecord does not know it as a recorder.\n";
        // A relative image becomes absolute: the tool runs in Spindle's folder.
        Result r = cli({"burn", "--simulate", "--speed", "4", "0,0,0", "my disc.iso"},
                       data("tool_errors/guest_wodim_burn.txt"), "255");
        QCOMPARE(r.code, 255);
        QCOMPARE(runs(), "cdrecord [-eject] [-v] [driveropts=burnfree] [dev=0,0,0] [-dummy] [speed=4] [" +
                             w("my disc.iso").toUtf8() + "] [gracetime=1]\n");
        QVERIFY(r.out.contains("Illegal write mode for this drive."));
        QCOMPARE(r.err, cannotWrite);
        r = cli({"burn", "--no-fix", "--no-burnfree", "1,0,0", w("a.iso")}, {}, "0");
        QCOMPARE(r.code, 0);
        QCOMPARE(runs(), "cdrecord [-eject] [-v] [dev=1,0,0] [-nofix] [speed=1] [" + w("a.iso").toUtf8() + "] [gracetime=1]\n");
        QCOMPARE(r.err, QByteArray());
        r = cli({"blank", "--events", "0,0,0", "fast"}, data("tool_errors/guest_wodim_blank.txt"), "255");
        QCOMPARE(r.code, 255);
        QCOMPARE(runs(), QByteArray("cdrecord [-eject] [dev=0,0,0] [blank=fast]\n"));
        QVERIFY(r.out.startsWith("C cdrecord -eject dev=0,0,0 blank=fast\n"));
        QVERIFY(r.out.endsWith("T 255\n"));
        QCOMPARE(r.err, cannotWrite);
    }

    void readGivesProgressEvents()
    {
        const Result r = cli({"read", "--events", "0,0,0", "disc.iso"}, data("readom_progress.txt"));
        QCOMPARE(r.code, 0);
        QCOMPARE(runs(), "readcd [dev=0,0,0] [f=" + w("disc.iso").toUtf8() + "]\n");
        QVERIFY(r.out.startsWith("C readcd dev=0,0,0 f=\"" + w("disc.iso").toUtf8() + "\"\n"));
        QVERIFY(r.out.contains("\nP 50\n"));
        QVERIFY(r.out.contains("\nP 100\n"));
        QVERIFY(r.out.endsWith("T 0\n"));
    }

    void cdImageAndBootImageOfAnImageFile()
    {
        // A bootable image stands in for the drive.
        QDir().mkpath(w("cd"));
        QByteArray boot(1474560, '\0');
        for (qsizetype i = 0; i < boot.size(); ++i)
            boot[i] = char(i * 7 + i / 512);
        QVERIFY(writeAll(w("cd/boot.img"), boot));
        QProcess mk;
        mk.start(binDir() + "/mkisofs", {"-quiet", "-b", "boot.img", "-c", "boot.cat", "-o", w("disc.iso"), w("cd")});
        QVERIFY(mk.waitForFinished(60000) && mk.exitCode() == 0);
        Result r = cli({"cdimage", "--events", w("disc.iso"), "copy.iso"});
        QCOMPARE(r.code, 0);
        QCOMPARE(readAll(w("copy.iso")), readAll(w("disc.iso")));
        QVERIFY(r.out.startsWith("C dd if=" + w("disc.iso").toUtf8() + " of=\"" + w("copy.iso").toUtf8()
                                 + "\" status=progress\n"));
        QVERIFY2(r.out.contains("\nP 100\n"), r.out.constData());
        r = cli({"bootimage", w("disc.iso")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("job folder: " + QDir(m_folder.path()).absolutePath().toUtf8() + "/\n"));
        QCOMPARE(readAll(m_folder.filePath("image1.bin")), boot);
        // dd's own failure, in words.
        r = cli({"cdimage", w("no such drive"), "x.iso"});
        QCOMPARE(r.code, 1);
        QVERIFY(!QFile::exists(w("x.iso")));
        QCOMPARE(r.err, QByteArray());
    }

    void badUsageRunsNothing()
    {
        for (const QStringList &args :
             {QStringList{"read", "0 0,0", "x.iso"}, QStringList{"read", "0,0,0"}, QStringList{"blank", "0,0,0", "most"},
              QStringList{"burn", "--speed", "fast", "0,0,0", "x.iso"}, QStringList{"burn", "--bogus", "0,0,0", "x.iso"},
              QStringList{"cdimage", "/dev/sr0"}, QStringList{"bootimage"}, QStringList{"doctor", "now"},
              QStringList{"verify", "0,0,0"}, QStringList{"verify", "0 0,0", "x.iso"}}) {
            const Result r = cli(args);
            QVERIFY2(r.code == 2, qPrintable(args.join(' ')));
            QVERIFY(r.err.startsWith("usage: spindle-cli "));
            QVERIFY(!QFile::exists(argsLog()));
        }
    }
};

QTEST_MAIN(TestCliDrive)
#include "test_cli_drive.moc"
