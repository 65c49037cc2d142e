// A boot image's whole road: a bootable floppy on a floppy-emulation CD,
// extracted by bbie through the Other tools window, put on a new CD by the
// Make ISO command line, and that CD boots in an emulated PC.
#define SPINDLE_UI_TESTS
#include "app/ui/windows.h"
#include "ui/style.h"
#include "exec/dos_command.h"
#include "iso/command_builder.h"
#include "iso/iso_options.h"
#include "platform/platform.h"
#include "testutil.h"
#include "tools/ui/other_form.h"

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
    }

    void floppyCdBootsAfterTheRoundTrip()
    {
        // A 1.44 MB FAT floppy that SYSLINUX boots; its only job is to print
        // a marker of this run.
        const QString marker = QStringLiteral("SPINDLE-BOOT-%1").arg(QRandomGenerator::global()->generate());
        QDir().mkpath(path("cd1"));
        const QString floppy = path("cd1/floppy.img");
        QVERIFY(run("mformat", {"-C", "-f", "1440", "-i", floppy, "::"}, path(".")));
        QVERIFY(run("syslinux", {"--install", floppy}, path(".")));
        QVERIFY(writeAll(path("syslinux.cfg"), "SAY " + marker.toLatin1() + "\nPROMPT 1\nTIMEOUT 0\n"));
        QVERIFY(run("mcopy", {"-i", floppy, path("syslinux.cfg"), "::syslinux.cfg"}, path(".")));
        QVERIFY(run("genisoimage", {"-quiet", "-b", "floppy.img", "-c", "boot.cat", "-o", path("cd1.iso"), path("cd1")},
                    path(".")));

        // bbie through the window, the CD standing in for a drive.
        QTemporaryDir folder;
        platform::setSpindleFolder(folder.path());
        QFile::link(binDir() + "/bbie", folder.filePath("bbie"));
        QFile::link(binDir() + "/dd", folder.filePath("dd"));
        FakeDialogs dialogs;
        ui::setDialogs(&dialogs);
        app::createWindows();
        Tother_form *f = ui::windows().other_form;
        f->setDriveSource([this] { return platform::DriveLists{{}, {path("cd1.iso")}}; });
        f->FormActivate();
        QSignalSpy finished(f, &Tother_form::jobFinished);
        f->btExBS->click();
        QVERIFY(finished.wait(60000));
        app::destroyWindows();
        ui::setDialogs(nullptr);
        QVERIFY(dialogs.log.isEmpty());
        QCOMPARE(readAll(folder.filePath("image1.bin")), readAll(floppy));

        // The new CD from the extracted floppy, by the Make ISO command line.
        QDir().mkpath(path("cd2"));
        QVERIFY(QFile::copy(folder.filePath("image1.bin"), path("cd2/boot.img")));
        iso::IsoOptions o;
        o.setText("mkisofs_folder", binDir() + "/mkisofs");
        o.setText("root_folder", path("cd2/"));
        o.setText("output_folder", path("./"));
        o.setText("output_filename", "cd2.iso");
        o.setCheck("bootable", true);
        o.setText("boot_image", "boot.img");
        const iso::BuiltCommand cmd = iso::buildCommandLine(o);
        QVERIFY2(cmd.messages.isEmpty(), qPrintable(cmd.messages.join('\n')));
        QVERIFY2(cmd.command.display().contains(" -b \"boot.img\""), qPrintable(cmd.command.display()));
        exec::TDosCommand mkisofs;
        bool ended = false;
        quint32 code = 1;
        mkisofs.OnTerminated = [&](exec::TDosCommand *, quint32 c) { ended = true; code = c; };
        mkisofs.WorkingDirectory = path(".");
        mkisofs.Execute(cmd.command);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 60000);
        QVERIFY2(code == 0, qPrintable(mkisofs.Lines().join('\n')));

        // Boots in software emulation; the marker comes over the serial line.
        QProcess qemu;
        qemu.setProcessChannelMode(QProcess::MergedChannels);
        QByteArray raw;
        connect(&qemu, &QProcess::readyRead, this, [&] { raw += qemu.readAll(); });
        // The BIOS's serial console places the cursor between characters;
        // a sequence may be split between two reads, so strip the whole text.
        auto screen = [&] { return QString::fromLatin1(raw).remove(QRegularExpression("\x1b(\\[[0-9;?]*[A-Za-z]|c)")); };
        qemu.start("qemu-system-x86_64", {"-nographic", "-no-reboot", "-accel", "tcg", "-m", "32", "-net", "none",
                                          "-boot", "d", "-cdrom", path("cd2.iso")});
        QVERIFY(qemu.waitForStarted(30000));
        QTRY_VERIFY2_WITH_TIMEOUT(screen().contains(marker), qPrintable(screen().right(2000)), 90000);
        qemu.kill();
        qemu.waitForFinished(30000);
    }
};

QTEST_MAIN(TestBootRoundTrip)
#include "test_boot_roundtrip.moc"
