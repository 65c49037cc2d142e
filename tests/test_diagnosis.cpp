// Why no drive shows up: fake sysfs and /dev trees with chosen owners and
// modes, a fake group database and a chosen session identity.
#include "disc/diagnosis.h"
#include "platform/access_check.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uint kCdrom = 24;
constexpr uint kAlice = 1001;

platform::Identity alice(QList<uint> groups = {kAlice})
{
    return {kAlice, kAlice, groups, QStringLiteral("alice")};
}
} // namespace

class TestDiagnosis : public QObject
{
    Q_OBJECT
    QTemporaryDir *m_dir = nullptr;
    QString p(const QString &rel) const { return m_dir->filePath(rel); }

    // A drive srN in the fake sysfs, with the generic device sgM when m >= 0.
    void addDrive(int n, int m)
    {
        const QString dev = QStringLiteral("sys/block/sr%1/device").arg(n);
        QVERIFY(QDir().mkpath(p(dev)));
        if (m >= 0)
            QVERIFY(QDir().mkpath(p(dev + QStringLiteral("/scsi_generic/sg%1").arg(m))));
    }
    // A device file of the fake /dev with its owner and mode.
    void addNode(const QString &name, uint uid, uint gid, uint mode)
    {
        QVERIFY(QDir().mkpath(p("dev")));
        QVERIFY(writeAll(p("dev/") + name, QByteArray()));
        const QByteArray path = QFile::encodeName(p("dev/") + name);
        QCOMPARE(::chown(path.constData(), uid, gid), 0);
        QCOMPARE(::chmod(path.constData(), mode), 0);
    }
    disc::DiagnosisSources sources(const platform::Identity &who, const QByteArray &groups)
    {
        writeAll(p("group"), groups);
        return {p("sys"), p("dev"), p("group"), who};
    }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(QDir().mkpath(p("sys/block")));
    }
    void cleanup() { delete m_dir; }

    void noDriveInTheKernel()
    {
        const disc::Diagnosis d = disc::diagnose(sources(alice(), "cdrom:x:24:\n"));
        QVERIFY(d.drives.isEmpty());
        QCOMPARE(d.summary, QStringLiteral("This computer has no CD drive that the kernel knows of (no /sys/block/sr*)."));
    }

    void driveOfAGroupTheUserIsNotIn()
    {
        if (::geteuid() != 0)
            QSKIP("giving files to other owners needs root");
        addDrive(0, 0);
        addNode("sr0", 0, kCdrom, 0660);
        addNode("sg0", 0, kCdrom, 0660);
        const disc::Diagnosis d = disc::diagnose(sources(alice(), "root:x:0:\ncdrom:x:24:bob\n"),
                                                 {QStringLiteral("wodim: No such file or directory."),
                                                  QStringLiteral("Cannot open SCSI driver!")});
        QCOMPARE(d.drives.size(), 1);
        QCOMPARE(d.drives[0].devices.size(), 2);
        QCOMPARE(d.drives[0].devices[1].path, p("dev/sg0"));
        QCOMPARE(d.drives[0].devices[1].ownerGroup, QStringLiteral("cdrom"));
        QVERIFY(!d.drives[0].usable());
        QCOMPARE(d.toolSaid, QStringLiteral("Cannot open SCSI driver"));
        QCOMPARE(d.summary, QStringLiteral("Found 1 CD drive (%1), but you may not open it: its device files belong "
                                           "to the group cdrom, and you are not in that group. To fix it: sudo "
                                           "adduser alice cdrom, then log out and log in again. (cdrecord said "
                                           "\"Cannot open SCSI driver\".)")
                                .arg(p("dev/sr0")));
        // Without a scan, without what cdrecord said.
        QVERIFY(disc::diagnose(sources(alice(), "cdrom:x:24:bob\n")).summary.endsWith(QLatin1String("log in again.")));
    }

    void addedToTheGroupSinceLogin()
    {
        if (::geteuid() != 0)
            QSKIP("giving files to other owners needs root");
        addDrive(0, 0);
        addNode("sr0", 0, kCdrom, 0660);
        addNode("sg0", 0, kCdrom, 0660);
        // Listed in the database, not in the session's groups.
        disc::Diagnosis d = disc::diagnose(sources(alice(), "cdrom:x:24:bob,alice\n"));
        QVERIFY(d.drives[0].devices[0].listedNotActive);
        QCOMPARE(d.summary, QStringLiteral("Found 1 CD drive (%1), but you may not open it: its device files belong "
                                           "to the group cdrom, and you were added to that group after you logged "
                                           "in, so this session does not have it yet. To fix it: log out and log "
                                           "in again.")
                                .arg(p("dev/sr0")));
        // With the group in the session, all is well.
        d = disc::diagnose(sources(alice({kAlice, kCdrom}), "cdrom:x:24:bob,alice\n"));
        QVERIFY(d.drives[0].usable());
        QCOMPARE(d.summary, QStringLiteral("Found 1 CD drive (%1), and you may open it.").arg(p("dev/sr0")));
    }

    void onlyTheOwnerMay()
    {
        if (::geteuid() != 0)
            QSKIP("giving files to other owners needs root");
        addDrive(0, 0);
        addNode("sr0", 0, 0, 0600);
        addNode("sg0", 0, 0, 0600);
        const disc::Diagnosis d = disc::diagnose(sources(alice(), "root:x:0:alice\n"));
        QCOMPARE(d.summary, QStringLiteral("Found 1 CD drive (%1), but you may not open it: its device file %1 "
                                           "(owner 0, group root, mode 0600) lets no one but its owner read and "
                                           "write it. To fix it: give the drive to the group cdrom, as udev does "
                                           "(mode 0660), or check the udev rules.")
                                .arg(p("dev/sr0")));
        // Root may open anything.
        QVERIFY(disc::diagnose(sources({0, 0, {}, "root"}, "root:x:0:\n")).drives[0].usable());
    }

    void missingDeviceFileAndManyDrives()
    {
        if (::geteuid() != 0)
            QSKIP("giving files to other owners needs root");
        addDrive(10, 3);
        addDrive(2, -1);
        addDrive(0, 0);
        addNode("sr0", 0, kCdrom, 0660);
        addNode("sg0", 0, kCdrom, 0660);
        addNode("sr10", 0, kCdrom, 0660);
        addNode("sg3", 0, kCdrom, 0660);
        // sr2 has no device file at all; drives in their order, sr2 before sr10.
        const disc::Diagnosis d = disc::diagnose(sources(alice({kAlice, kCdrom}), "cdrom:x:24:alice\n"));
        QCOMPARE(d.drives.size(), 3);
        QCOMPARE(d.drives[1].name, QStringLiteral("sr2"));
        QCOMPARE(d.drives[1].devices.size(), 1); // no sg driver entry
        QCOMPARE(d.drives[2].devices[1].path, p("dev/sg3"));
        QCOMPARE(d.summary,
                 QStringLiteral("Found 3 CD drives (%1, %2, %3), but you may not open %2: its device file %2 is "
                                "missing. To fix it: load the drive's driver (sudo modprobe sr_mod sg) or check udev.")
                     .arg(p("dev/sr0"), p("dev/sr2"), p("dev/sr10")));
    }

    void openRuleIsTheKernels()
    {
        // The owner's bits decide for the owner even when the group's allow.
        QVERIFY(!platform::mayReadWrite(alice({kCdrom}), {kAlice, kCdrom, 0060, true}));
        QVERIFY(platform::mayReadWrite(alice({kCdrom}), {0, kCdrom, 0660, true}));
        QVERIFY(!platform::mayReadWrite(alice({kCdrom}), {0, kCdrom, 0640, true})); // read only
        QVERIFY(!platform::mayReadWrite(alice(), {0, kCdrom, 0660, true}));
        QVERIFY(platform::mayReadWrite(alice(), {0, kCdrom, 0666, true}));
        QVERIFY(platform::mayReadWrite({kAlice, kCdrom, {}, "alice"}, {0, kCdrom, 0660, true})); // primary group
        QVERIFY(platform::mayReadWrite({0, 0, {}, "root"}, {5, 5, 0000, true}));
    }

    void groupFileIsReadAsTheDatabase()
    {
        writeAll(p("group"), "# local groups\nbroken line\nroot:x:0:\nbad:x:notanumber:alice\n"
                             "cdrom:x:24:alice,bob ,\ncarol:x:1003:\n");
        std::optional<platform::GroupEntry> g = platform::groupById(24, p("group"));
        QVERIFY(g);
        QCOMPARE(g->name, QStringLiteral("cdrom"));
        QCOMPARE(g->members, (QStringList{"alice", "bob "}));
        g = platform::groupByName(QStringLiteral("carol"), p("group"));
        QVERIFY(g);
        QCOMPARE(g->gid, 1003u);
        QVERIFY(g->members.isEmpty());
        QVERIFY(!platform::groupByName(QStringLiteral("bad"), p("group")));
        QVERIFY(!platform::groupById(99, p("group")));
        QVERIFY(!platform::groupById(24, p("no such file")));
    }

    void reportHoldsEveryFact()
    {
        if (::geteuid() != 0)
            QSKIP("giving files to other owners needs root");
        addDrive(0, 0);
        addNode("sr0", 0, kCdrom, 0660);
        const disc::DiagnosisSources s = sources(alice({kAlice}), "cdrom:x:24:bob\nalice:x:1001:\n");
        const QStringList r = disc::diagnosisReport(s, disc::diagnose(s));
        QCOMPARE(r.value(0), QStringLiteral("user: alice (uid 1001, gid 1001)"));
        QCOMPARE(r.value(1), QStringLiteral("groups of this session: alice(1001)"));
        QCOMPARE(r.value(2), QStringLiteral("drive sr0:"));
        QCOMPARE(r.value(3), QStringLiteral("  %1: owner 0, group cdrom, mode 0660, you may not read and write it; "
                                            "group members: bob")
                                 .arg(p("dev/sr0")));
        QCOMPARE(r.value(4), QStringLiteral("  %1: missing").arg(p("dev/sg0")));
        QVERIFY(r.last().startsWith(QLatin1String("diagnosis: Found 1 CD drive")));
    }
};

QTEST_MAIN(TestDiagnosis)
#include "test_diagnosis.moc"
