// A boot image's whole road: a bootable CD (a SYSLINUX floppy in floppy
// emulation, and ISOLINUX in no emulation), its boot image extracted by
// bbie through the Other tools window, put on a new CD through the Make ISO
// window's Make Batch and Run Batch, and that CD boots in an emulated PC.
#define SPINDLE_UI_TESTS
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/ui/console_capture.h"
#include "iso/ui/mkiso_form.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tools/ui/other_form.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
bool run(const QString &program, const QStringList &args, const QString &dir, QByteArray *out = nullptr)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (out)
        *out = p.readAll();
    if (!ok)
        qWarning() << program << args << p.readAll();
    return ok;
}

// The files below `from`, but `leaveOut`, copied into `to`.
bool copyTree(const QString &from, const QString &to, const QStringList &leaveOut)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString rel = QDir(from).relativeFilePath(file);
        if (leaveOut.contains(rel))
            continue;
        if (!QDir().mkpath(QFileInfo(to + "/" + rel).path()) || !QFile::copy(file, to + "/" + rel))
            return false;
    }
    return true;
}
} // namespace

class TestBootRoundTrip : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &n) const { return m_dir.filePath(n); }

private slots:
    void initTestCase()
    {
        qputenv("LC_ALL", "C");
        for (const char *tool : {"mformat", "mcopy", "syslinux", "genisoimage", "qemu-system-x86_64"})
            QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(),
                     qPrintable(QStringLiteral("%1 is missing: make deps installs it").arg(tool)));
        for (const char *file : {"/usr/lib/ISOLINUX/isolinux.bin", "/usr/lib/syslinux/modules/bios/ldlinux.c32"})
            QVERIFY2(QFileInfo::exists(file), qPrintable(QStringLiteral("%1 is missing: make deps installs it").arg(file)));
    }

    void cdBootsAfterTheRoundTrip_data()
    {
        QTest::addColumn<bool>("noEmulation");
        QTest::newRow("SYSLINUX floppy, floppy emulation") << false;
        QTest::newRow("ISOLINUX, no emulation, 4 load sectors") << true;
    }
    void cdBootsAfterTheRoundTrip()
    {
        QFETCH(bool, noEmulation);
        // The loader's only job is to print a marker of this run.
        const QString marker = QStringLiteral("SPINDLE-BOOT-%1").arg(QRandomGenerator::global()->generate());
        const QByteArray config = "SAY " + marker.toLatin1() + "\nPROMPT 1\nTIMEOUT 0\n";
        const QString tag = noEmulation ? QStringLiteral("iso") : QStringLiteral("fd");
        const QString cd1 = path(tag + "1"), cd2 = path(tag + "2");
        QString bootFile;
        QStringList bootOptions;
        if (noEmulation) {
            bootFile = QStringLiteral("isolinux/isolinux.bin");
            bootOptions = QStringList{"-no-emul-boot", "-boot-load-size", "4", "-boot-info-table"};
            QDir().mkpath(cd1 + "/isolinux");
            QVERIFY(QFile::copy("/usr/lib/ISOLINUX/isolinux.bin", cd1 + "/" + bootFile));
            QVERIFY(QFile::copy("/usr/lib/syslinux/modules/bios/ldlinux.c32", cd1 + "/isolinux/ldlinux.c32"));
            QVERIFY(QFile::setPermissions(cd1 + "/" + bootFile, QFile::ReadOwner | QFile::WriteOwner));
            QVERIFY(writeAll(cd1 + "/isolinux/isolinux.cfg", config));
        } else {
            // A 1.44 MB FAT floppy that SYSLINUX boots.
            bootFile = QStringLiteral("floppy.img");
            QDir().mkpath(cd1);
            const QString floppy = cd1 + "/" + bootFile;
            QVERIFY(run("mformat", {"-C", "-f", "1440", "-i", floppy, "::"}, path(".")));
            QVERIFY(run("syslinux", {"--install", floppy}, path(".")));
            QVERIFY(writeAll(path("syslinux.cfg"), config));
            QVERIFY(run("mcopy", {"-i", floppy, path("syslinux.cfg"), "::syslinux.cfg"}, path(".")));
        }
        QVERIFY(run("genisoimage", QStringList{"-quiet", "-b", bootFile, "-c", "boot.cat"} + bootOptions
                                       + QStringList{"-o", cd1 + ".iso", cd1},
                    path(".")));

        // bbie through the window, the CD standing in for a drive.
        QTemporaryDir folder;
        platform::setSpindleFolder(folder.path());
        for (const char *tool : {"bbie", "dd", "mkisofs"})
            QVERIFY(QFile::link(binDir() + "/" + tool, folder.filePath(tool)));
        auto *dialogs = new FakeDialogs;
        createWindowsWith(dialogs);
        Tother_form *other = app::windows().other_form;
        other->setDriveSource([&] { return platform::DriveLists{{}, {cd1 + ".iso"}}; });
        other->FormActivate();
        QSignalSpy finished(other, &Tother_form::jobFinished);
        other->btExBS->click();
        QVERIFY(finished.wait(60000));
        QVERIFY(dialogs->log.isEmpty());
        // The whole boot file as the first CD holds it (its boot info table
        // filled in), not only the sectors the BIOS loads.
        QCOMPARE(readAll(folder.filePath("image1.bin")), readAll(cd1 + "/" + bootFile));

        // The new CD: the first one's files, the extracted image as the boot
        // file, built by Make Batch and Run Batch.
        QVERIFY(QDir().mkpath(QFileInfo(cd2 + "/" + bootFile).path()));
        QVERIFY(copyTree(cd1, cd2, {bootFile}));
        QVERIFY(QFile::copy(folder.filePath("image1.bin"), cd2 + "/" + bootFile));
        QVERIFY(QFile::setPermissions(cd2 + "/" + bootFile, QFile::ReadOwner | QFile::WriteOwner));
        QDir().mkpath(path(tag + "bat"));
        TMkisofs_form *f = app::windows().Mkisofs_form;
        f->FormActivate();
        f->Edit7->setText(cd2 + "/");
        f->Edit8->setText(path("."));
        f->Edit13->setText(tag + "2.iso");
        f->Edit9->setText(path(tag + "bat/"));
        f->CheckBoot->click();
        f->Edit5->setText(bootFile);
        if (noEmulation) {
            f->NoEmulBox->click();
            f->CheckBox17->click();
            f->CheckBox19->click();
            f->Edit11->setText("4");
        }
        dialogs->log.clear();
        f->MkBatBTClick();
        QVERIFY2(dialogs->log.isEmpty(), qPrintable(dialogs->log.join('\n')));
        f->RunBatBTClick();
        const QString console = app::windows().console->Memo1->toPlainText();
        destroyWindowsOf(dialogs);
        QVERIFY2(console.contains("-b \"" + bootFile + "\""), qPrintable(console));
        QVERIFY(QFileInfo::exists(path(tag + "2.iso")));

        // Boots in software emulation; the marker comes over the serial line.
        QProcess qemu;
        qemu.setProcessChannelMode(QProcess::MergedChannels);
        QByteArray raw;
        connect(&qemu, &QProcess::readyRead, this, [&] { raw += qemu.readAll(); });
        // The BIOS's serial console places the cursor between characters;
        // a sequence may be split between two reads, so strip the whole text.
        auto screen = [&] { return QString::fromLatin1(raw).remove(QRegularExpression("\x1b(\\[[0-9;?]*[A-Za-z]|c)")); };
        qemu.start("qemu-system-x86_64", {"-nographic", "-no-reboot", "-accel", "tcg", "-m", "32", "-net", "none",
                                          "-boot", "d", "-cdrom", path(tag + "2.iso")});
        QVERIFY(qemu.waitForStarted(30000));
        QTRY_VERIFY2_WITH_TIMEOUT(screen().contains(marker), qPrintable(screen().right(2000)), 90000);
        qemu.kill();
        qemu.waitForFinished(30000);
    }
};

QTEST_MAIN(TestBootRoundTrip)
#include "test_boot_roundtrip.moc"
