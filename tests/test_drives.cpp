// Drive enumeration on fake sysfs trees, the job command lines and checks,
// and `spindle-cli devices`.
#include "exec/command_line.h"
#include "platform/drives.h"
#include "platform/platform.h"
#include "tools/other_jobs.h"
#include "testutil.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {
// One /sys/block entry: `files` maps a relative path to its content.
// With `virtualLink` the entry is a link into devices/virtual, as the
// kernel makes them for loop, ram and device-mapper disks.
void addBlock(const QString &root, const QString &name, const QList<std::pair<QString, QByteArray>> &files,
              bool virtualLink = false)
{
    const QString realDir = root + (virtualLink ? "/devices/virtual/block/" : "/devices/pci0000:00/block/") + name;
    QDir().mkpath(realDir);
    for (const auto &[rel, content] : files) {
        QDir().mkpath(QFileInfo(realDir + "/" + rel).path());
        QVERIFY(writeAll(realDir + "/" + rel, content + "\n"));
    }
    QDir().mkpath(root + "/block");
    QVERIFY(QFile::link(realDir, root + "/block/" + name));
}

struct CliResult
{
    int code;
    QByteArray out, err;
};

CliResult devicesCli(const QStringList &args)
{
    QProcess p;
    p.start(binDir() + "/spindle-cli", QStringList{"devices"} + args);
    p.waitForFinished(30000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
} // namespace

class TestDrives : public QObject
{
    Q_OBJECT
    QTemporaryDir m_tmp;

    // A machine with two CD drives, a floppy, a USB stick, a fixed disk, an
    // NVMe disk and virtual disks, some of them marked removable.
    QString fullTree()
    {
        const QString root = m_tmp.filePath("full");
        if (QDir(root).exists())
            return root;
        addBlock(root, "sr1", {{"removable", "1"}, {"device/type", "5"}});
        addBlock(root, "sr0", {{"removable", "1"}, {"device/type", "5"}});
        addBlock(root, "sr10", {{"removable", "1"}, {"device/type", "5"}});
        addBlock(root, "sr2", {{"removable", "1"}, {"device/type", "5"}});
        addBlock(root, "sr3", {{"removable", "1"}, {"device/type", "0"}}); // not an optical drive
        addBlock(root, "fd0", {{"removable", "0"}});
        addBlock(root, "sdb", {{"removable", "1"}, {"device/type", "0"}});
        addBlock(root, "sda", {{"removable", "0"}, {"device/type", "0"}});
        addBlock(root, "sdc", {{"removable", "1"}, {"device/type", "5"}}); // a CD drive under another name
        addBlock(root, "nvme0n1", {{"removable", "0"}});
        addBlock(root, "loop0", {{"removable", "0"}}, true);
        addBlock(root, "loop1", {{"removable", "1"}}, true);
        addBlock(root, "ram0", {{"removable", "1"}}, true);
        addBlock(root, "zram0", {{"removable", "1"}});
        addBlock(root, "dm-0", {{"removable", "1"}});
        addBlock(root, "virt9", {{"removable", "1"}}, true); // unknown name, virtual by its link
        addBlock(root, "cciss!c0d0", {{"removable", "1"}});
        return root;
    }

private slots:
    void fullMachine()
    {
        const platform::DriveLists d = platform::listDrives(fullTree());
        QCOMPARE(d.cdrom, (QStringList{"/dev/sr0", "/dev/sr1", "/dev/sr2", "/dev/sr10"}));
        QCOMPARE(d.removable, (QStringList{"/dev/cciss/c0d0", "/dev/fd0", "/dev/sdb"}));
    }

    void deviceSizes()
    {
        const QString root = m_tmp.filePath("sizes");
        addBlock(root, "sr0", {{"size", "1468800"}});
        addBlock(root, "fd0", {{"size", "0"}}); // no disk in the drive
        addBlock(root, "cciss!c0d0", {{"size", "4"}});
        QCOMPARE(platform::deviceSize("/dev/sr0", root), qint64(1468800) * 512);
        QCOMPARE(platform::deviceSize("/dev/fd0", root), 0);
        QCOMPARE(platform::deviceSize("/dev/cciss/c0d0", root), 2048);
        QCOMPARE(platform::deviceSize("/dev/sr9", root), 0);
        QCOMPARE(platform::deviceSize("/dev/../sr0", root), 0);
        const QString image = m_tmp.filePath("stand-in.img");
        QVERIFY(writeAll(image, QByteArray(1234, 'x')));
        QCOMPARE(platform::deviceSize(image, root), 1234);
    }

    void emptyAndMissingTrees()
    {
        const QString empty = m_tmp.filePath("empty");
        QDir().mkpath(empty + "/block");
        for (const QString &root : {empty, m_tmp.filePath("absent")}) {
            const platform::DriveLists d = platform::listDrives(root);
            QVERIFY(d.cdrom.isEmpty());
            QVERIFY(d.removable.isEmpty());
        }
    }

    void floppyNamesOnly()
    {
        // fd0..fd9 are floppies; "fd" alone would be the descriptor folder.
        const QString root = m_tmp.filePath("fds");
        addBlock(root, "fd1", {});
        addBlock(root, "fd", {});
        addBlock(root, "fd12", {});
        addBlock(root, "fdx", {});
        QCOMPARE(platform::listDrives(root).removable, QStringList{"/dev/fd1"});
    }

    void naturalOrder()
    {
        QStringList l{"/dev/sr10", "/dev/sdb", "/dev/sr9", "/dev/fd1", "/dev/sda", "/dev/sr0"};
        platform::sortDrives(l);
        QCOMPARE(l, (QStringList{"/dev/fd1", "/dev/sda", "/dev/sdb", "/dev/sr0", "/dev/sr9", "/dev/sr10"}));
    }

    void cliPrintsBothLists()
    {
        const CliResult r = devicesCli({"--sysfs", fullTree()});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("floppy /dev/cciss/c0d0\nfloppy /dev/fd0\nfloppy /dev/sdb\n"
                                   "cdrom /dev/sr0\ncdrom /dev/sr1\ncdrom /dev/sr2\ncdrom /dev/sr10\n"));
        const CliResult none = devicesCli({"--sysfs", m_tmp.filePath("absent")});
        QCOMPARE(none.code, 0);
        QCOMPARE(none.out, QByteArray());
        QCOMPARE(devicesCli({"--sysfs"}).code, 2);
        QCOMPARE(devicesCli({"--bogus"}).code, 2);
    }

    void commandLines()
    {
        using namespace tools;
        QCOMPARE(extractBootFromDriveCommand("/dev/sr0").display(), QStringLiteral("bbie /dev/sr0"));
        QCOMPARE(extractBootFromFileCommand("/home/u/my boot.iso").display(), QStringLiteral("bbie \"/home/u/my boot.iso\""));
        QCOMPARE(readDriveCommand("/dev/sr0", "/x/cd.iso").display(), QStringLiteral("dd if=/dev/sr0 of=\"/x/cd.iso\" status=progress"));
        QCOMPARE(readDriveCommand("/dev/fd0", "/x/f.img").display(), QStringLiteral("dd if=/dev/fd0 of=\"/x/f.img\" status=progress"));
        QCOMPARE(writeDriveCommand("/x/f.img", "/dev/fd0").display(),
                 QStringLiteral("dd if=\"/x/f.img\" of=/dev/fd0 status=progress conv=nocreat,fsync"));
        // No drive: nothing after the word, as the tool then reports.
        QCOMPARE(words(extractBootFromDriveCommand(QString())), QStringList{"bbie"});
    }

    void hostileNamesStayWhole()
    {
        // Whatever a file or drive is called, the tool receives it as one
        // argument and nothing else reaches its command line.
        const QStringList names{"/t/a b.img", "/t/q\"uote.img", "/t/back\\slash\\", "/t/x; rm -rf ~ &|$(y)`z`",
                                "/t/\" of=/dev/sda \""};
        for (const QString &n : names) {
            QCOMPARE(words(tools::extractBootFromFileCommand(n)), (QStringList{"bbie", n}));
            QCOMPARE(words(tools::readDriveCommand("/dev/sr0", n)),
                     (QStringList{"dd", "if=/dev/sr0", "of=" + n, "status=progress"}));
            QCOMPARE(words(tools::writeDriveCommand(n, "/dev/fd0")),
                     (QStringList{"dd", "if=" + n, "of=/dev/fd0", "status=progress", "conv=nocreat,fsync"}));
            QCOMPARE(words(tools::writeDriveCommand("/t/f.img", n)),
                     (QStringList{"dd", "if=/t/f.img", "of=" + n, "status=progress", "conv=nocreat,fsync"}));
            QCOMPARE(words(tools::extractBootFromDriveCommand(n)), (QStringList{"bbie", n}));
        }
    }

    void floppySizeLimit()
    {
        const QString exact = m_tmp.filePath("exact.img"), over = m_tmp.filePath("over.img");
        QVERIFY(writeAll(exact, QByteArray(1474560, 'x')));
        QVERIFY(writeAll(over, QByteArray(1474561, 'x')));
        QString reason;
        QCOMPARE(tools::checkFloppyImage(exact, &reason), tools::ImageCheck::Fits);
        QCOMPARE(tools::checkFloppyImage(over, &reason), tools::ImageCheck::TooLarge);
        QCOMPARE(tools::checkFloppyImage(m_tmp.filePath("none.img"), &reason), tools::ImageCheck::CannotOpen);
        QVERIFY(!reason.isEmpty());
        // A FIFO with no writer would block an open for ever; a folder is no image.
        const QString fifo = m_tmp.filePath("fifo.img");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(tools::checkFloppyImage(fifo, &reason), tools::ImageCheck::CannotOpen);
        QCOMPARE(reason, QStringLiteral("not a regular file"));
        QCOMPARE(tools::checkFloppyImage(m_tmp.path(), &reason), tools::ImageCheck::CannotOpen);
    }

    void textsAndFolder()
    {
        platform::setSpindleFolder(m_tmp.path());
        QCOMPARE(tools::jobFolder(), m_tmp.path() + "/");
        QCOMPARE(tools::jobHeader(), "Please wait...\nWorking folder: " + m_tmp.path() + "/");
        QCOMPARE(tools::missingDdText(), QStringLiteral("Couldn't find dd . Please copy it to Spindle folder"));
        QCOMPARE(tools::missingBbieText(),
                 QStringLiteral("Couldn't find bbie . Please download it from " SPINDLE_HOMEPAGE " and copy it to Spindle folder"));
        QCOMPARE(tools::overwriteQuestion("/dev/sdb"), QStringLiteral("All data on /dev/sdb will be overwritten. Continue?"));
    }
};

QTEST_GUILESS_MAIN(TestDrives)
#include "test_drives.moc"
