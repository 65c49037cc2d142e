// The CD Operations window says why its list is empty: the setup check of
// fake sysfs and /dev trees after a scan that found nothing.
#define SPINDLE_UI_TESTS
#include "ui/style.h"
#include "disc/ui/cd_operations.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestCdDiagnosis : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_folder = nullptr; // Spindle's folder
    QTemporaryDir *m_tree = nullptr;   // fake sysfs, /dev and group file
    FakeDialogs *m_dialogs = nullptr;
    TCD_Operations *f = nullptr;

    static QString data(const char *name) { return QStringLiteral(SPINDLE_TEST_DATA "/") + QLatin1String(name); }
    QString t(const QString &rel) const { return m_tree->filePath(rel); }

    bool scan(const QString &transcript)
    {
        qputenv("FAKECD_SCANBUS", transcript.toUtf8());
        QSignalSpy done(f, &TCD_Operations::scanFinished);
        f->FormActivate();
        return done.wait(60000);
    }

private slots:
    void init()
    {
        m_folder = new QTemporaryDir;
        m_tree = new QTemporaryDir;
        platform::setSpindleFolder(m_folder->path());
        for (const char *tool : {"cdrecord", "readcd"})
            QVERIFY(QFile::link(binDir() + "/spindle-fakecd", m_folder->filePath(tool)));
        m_dialogs = new FakeDialogs;
        createWindowsWith(m_dialogs);
        f = app::windows().CD_Operations;
        QVERIFY(QDir().mkpath(t("sys/block")));
        QVERIFY(QDir().mkpath(t("dev")));
        writeAll(t("group"), "root:x:0:\ncdrom:x:24:\n");
        f->diagnosisSources = [this] {
            return disc::DiagnosisSources{t("sys"), t("dev"), t("group"), {1001, 1001, {1001}, "alice"}};
        };
    }
    void cleanup()
    {
        destroyWindowsOf(m_dialogs);
        delete m_tree;
        delete m_folder;
        qunsetenv("FAKECD_SCANBUS");
    }

    void driveTheUserMayNotOpen()
    {
        if (::geteuid() != 0)
            QSKIP("giving files to other owners needs root");
        QVERIFY(QDir().mkpath(t("sys/block/sr0/device/scsi_generic/sg0")));
        for (const char *n : {"dev/sr0", "dev/sg0"}) {
            QVERIFY(writeAll(t(n), QByteArray()));
            QCOMPARE(::chown(QFile::encodeName(t(n)).constData(), 0, 24), 0);
            QCOMPARE(::chmod(QFile::encodeName(t(n)).constData(), 0660), 0);
        }
        // What wodim printed in the guest to a user outside the group.
        QVERIFY(scan(data("tool_errors/guest_wodim_scanbus_refused.txt")));
        QCOMPARE(m_dialogs->log, QStringList{"message::No CD-ROM devices found"});
        QCOMPARE(f->lbDiagnosis->objectName(), QStringLiteral("lbDiagnosis"));
        QVERIFY(!f->lbDiagnosis->isHidden());
        QCOMPARE(f->lbDiagnosis->text(),
                 QStringLiteral("Found 1 CD drive (%1), but you may not open it: its device files belong to the "
                                "group cdrom, and you are not in that group. To fix it: sudo adduser alice cdrom, "
                                "then log out and log in again. (cdrecord said \"Cannot open SCSI driver\".)")
                     .arg(t("dev/sr0")));
        if (const QByteArray shot = qgetenv("SPINDLE_SCREENSHOT"); !shot.isEmpty()) {
            f->show();
            QVERIFY(QTest::qWaitForWindowExposed(f));
            f->grab().save(QString::fromLocal8Bit(shot));
        }
        // A later scan that finds the drive puts the text away.
        QVERIFY(scan(data("cd_scan_basic.txt")));
        QVERIFY(f->ComboBox1->count() > 0);
        QVERIFY(f->lbDiagnosis->isHidden());
        QVERIFY(f->lbDiagnosis->text().isEmpty());
        // cdrskin lists the drive it may open and, exiting with 0, says it
        // may not open another: the list is not the whole story.
        qputenv("FAKECD_VERSION", data("versions/cdrskin.txt").toUtf8());
        const QList<QByteArray> refused = readAll(data("tool_errors/guest_cdrskin_scanbus_refused.txt")).split('\n');
        const QByteArray partial = refused.mid(0, 4).join('\n')
                                   + "\nscsibus2:\n\t2,0,0\t  1) 'QEMU    ' 'QEMU CD-ROM     ' '2.5+' Removable CD-ROM\n";
        QVERIFY(writeAll(t("partial.txt"), partial));
        QVERIFY(scan(t("partial.txt")));
        qunsetenv("FAKECD_VERSION");
        QCOMPARE(f->ComboBox1->count(), 1);
        QVERIFY(!f->lbDiagnosis->isHidden());
        QVERIFY2(f->lbDiagnosis->text().endsWith("(cdrecord said \"Permission denied\".)"),
                 qPrintable(f->lbDiagnosis->text()));
    }

    void noDriveInTheKernel()
    {
        QVERIFY(scan(data("cd_scan_no_cdrom.txt")));
        QVERIFY(!f->lbDiagnosis->isHidden());
        QCOMPARE(f->lbDiagnosis->text(),
                 QStringLiteral("This computer has no CD drive that the kernel knows of (no /sys/block/sr*)."));
    }

    void thisMachine()
    {
        // The system's own trees: on a machine without a drive, the same text.
        if (!QDir(QStringLiteral("/sys/block")).entryList({QStringLiteral("sr*")}, QDir::AllEntries | QDir::System).isEmpty())
            QSKIP("this machine has a CD drive");
        f->diagnosisSources = disc::systemSources;
        QVERIFY(scan(data("cd_scan_no_cdrom.txt")));
        QCOMPARE(f->lbDiagnosis->text(), disc::kNoKernelDrive);
    }
};

QTEST_MAIN(TestCdDiagnosis)
#include "test_cd_diagnosis.moc"
