// The scan and capability rules, the command lines, and spindle-cli's
// drives and caps run against the fake cdrecord.
#include "disc/capabilities.h"
#include "disc/commands.h"
#include "disc/offers.h"
#include "disc/scan.h"
#include "disc/verify.h"
#include "exec/command_line.h"
#include "testutil.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList transcript(const QString &name)
{
    return QString::fromUtf8(readAll(QStringLiteral(SPINDLE_TEST_DATA "/") + name)).split(QLatin1Char('\n'));
}
QStringList entries(const QList<disc::Drive> &drives)
{
    QStringList out;
    for (const disc::Drive &d : drives)
        out << d.entry;
    return out;
}
} // namespace

class TestCdRules : public QObject
{
    Q_OBJECT
    QTemporaryDir m_folder; // a copy of Spindle's folder with the fake tools

    struct Result
    {
        int code;
        QByteArray out, err;
    };
    Result cli(const QStringList &args, const QString &scan, const QString &prcap = {},
               const QHash<QString, QString> &more = {})
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("FAKECD_SCANBUS", scan);
        env.insert("FAKECD_PRCAP", prcap);
        for (auto it = more.begin(); it != more.end(); ++it)
            env.insert(it.key(), it.value());
        env.insert("FAKECD_ARGS", m_folder.filePath("args.log"));
        env.insert("LC_ALL", "C");
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QDir::tempPath());
        p.start(m_folder.filePath("spindle-cli"), args);
        p.waitForFinished(60000);
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }
    static QString data(const char *name) { return QStringLiteral(SPINDLE_TEST_DATA "/") + name; }

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::copy(binDir() + "/spindle-cli", m_folder.filePath("spindle-cli")));
        QFile::setPermissions(m_folder.filePath("spindle-cli"), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(QFile::link(binDir() + "/spindle-fakecd", m_folder.filePath("cdrecord")));
    }

    void lineValues()
    {
        QCOMPARE(disc::lineValue(u"\t1,0,0\t100) x"), QStringView(u"1,0,0\t100) x"));
        QCOMPARE(disc::lineValue(u"dev=1,0,0 a=b"), QStringView(u"1,0,0 a=b"));
        QCOMPARE(disc::lineValue(u""), QStringView(u""));
        QCOMPARE(disc::lineValue(u"x"), QStringView(u""));
        QVERIFY(disc::isDeviceLine(u"1,0,0 'A' 'B' Removable CD-ROM"));
        QVERIFY(!disc::isDeviceLine(u"1,0,0 'A' 'B' Removable cd-rom"));
    }

    void deviceAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::newRow("single digits") << "1,0,0\t100) 'A'" << "1,0,0";
        QTest::newRow("bus 10 kept whole") << "10,0,0\t1000) 'A'" << "10,0,0";
        QTest::newRow("bus 1001 kept whole") << "1001,0,0\t100100) 'A'" << "1001,0,0";
        QTest::newRow("target 10") << "1,10,0\t110) 'A'" << "1,10,0";
        QTest::newRow("entry text") << "[1001,2,0] TSSTcorp" << "1001,2,0";
        QTest::newRow("no comma: first five") << "abcdefg CD-ROM" << "abcde";
        QTest::newRow("comma first: first five") << ",1,0 and more" << ",1,0 ";
        QTest::newRow("short") << "ab" << "ab";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("two numbers only: five from the comma") << "x1,0 CD" << "1,0 C";
        QTest::newRow("letters around the comma") << "ab,cd,ef" << "b,cd,";
        QTest::newRow("comma at the end") << "12," << "2,";
    }
    void deviceAddresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QCOMPARE(disc::deviceAddress(text), address);
    }

    void deviceNames_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "1,0,0\t  100) 'ACME' 'CDRW52X' 'A1' Removable CD-ROM" << "ACMECDRW52X";
        QTest::newRow("padding kept") << "1,0,0\t  100) 'ACME    ' 'CDRW 52X        ' 'A1  ' Removable CD-ROM"
                                      << "ACME    CDRW 52X        ";
        QTest::newRow("empty vendor") << "0,0,0\t0) '' 'CD-ROM DRIVE' '1.0' Removable CD-ROM" << "";
        QTest::newRow("no quotes") << "abc CD-ROM" << "";
        QTest::newRow("one quote") << "abc 'CD-ROM" << "";
        QTest::newRow("product unterminated") << "1,0,0 'ACME' 'CDRW" << "ACMECDRW";
        QTest::newRow("nothing after vendor") << "1,0,0 'ACME'" << "ACME";
        // The vendor text is removed wherever a quote precedes it, also at
        // the start of the product field.
        QTest::newRow("product starts like vendor") << "'A' 'ABC' 'x' CD-ROM" << "AC";
        QTest::newRow("vendor inside product") << "'A' 'x'A' 'y' CD-ROM" << "Ax";
        QTest::newRow("vendor repeated after") << "'AB' 'CD' 'AB' CD-ROM" << "ABCD";
    }
    void deviceNames()
    {
        QFETCH(QString, value);
        QFETCH(QString, name);
        QCOMPARE(disc::deviceName(value), name);
    }

    void scanTranscripts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("basic") << "cd_scan_basic.txt" << QStringList{"[1,0,0] ACMECDRW52X"} << QStringList{"1,0,0"};
        QTest::newRow("padded") << "cd_scan_padded.txt" << QStringList{"[1,0,0] ACME    CDRW 52X        "}
                                << QStringList{"1,0,0"};
        QTest::newRow("empty vendor") << "cd_scan_empty_vendor.txt" << QStringList{"[0,0,0] "}
                                      << QStringList{"0,0,0"};
        QTest::newRow("bus 10") << "cd_scan_bus10.txt" << QStringList{"[10,0,0] HL-DT-STDVDRAM GH24NS95 "}
                                << QStringList{"10,0,0"};
        QTest::newRow("bus 1001") << "cd_scan_bus1001.txt" << QStringList{"[1001,0,0] TSSTcorpCDDVDW SH-224DB "}
                                  << QStringList{"1001,0,0"};
        QTest::newRow("no CD-ROM") << "cd_scan_no_cdrom.txt" << QStringList{} << QStringList{};
        QTest::newRow("warnings between")
            << "cd_scan_warnings.txt"
            << QStringList{"[1,0,0] ACME    CDRW52X         ", "[1,10,0] SONY    DVD RW DRU-880S "}
            << QStringList{"1,0,0", "1,10,0"};
    }
    void scanTranscripts()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, entries);
        QFETCH(QStringList, addresses);
        const QList<disc::Drive> drives = disc::scanDrives(transcript(file));
        QCOMPARE(::entries(drives), entries);
        QStringList got;
        for (const disc::Drive &d : drives)
            got << d.address();
        QCOMPARE(got, addresses);
    }

    void unfinishedThenWholeLineGivesTwoEntries()
    {
        const QStringList lines{"\t1,0,0\t100) 'ACME' 'CDRW52X' 'A1' Removable CD-R",
                                "\t1,0,0\t100) 'ACME' 'CDRW52X' 'A1' Removable CD-ROM",
                                "\t1,1,0\t101) 'X' 'Y' 'Z' Removable CD-ROM"};
        QCOMPARE(entries(disc::scanDrives(lines)), (QStringList{"[1,0,0] ACMECDRW52X", "[1,1,0] XY"}));
        QStringList partial = lines;
        partial[0] += "OM"; // an unfinished text that already holds the marker
        QCOMPARE(disc::scanDrives(partial).size(), 3);
    }

    void badScans()
    {
        QVERIFY(disc::scanDrives({}).isEmpty());
        QVERIFY(disc::scanDrives({QString()}).isEmpty());
        // Binary garbage: whatever it holds, no crash, and entries only for
        // texts that hold the marker.
        QByteArray junk(256 * 1024, '\0');
        QRandomGenerator rng(7);
        for (char &c : junk)
            c = char(rng.bounded(256));
        junk.replace(1000, 6, "CD-ROM");
        const QStringList lines = QString::fromUtf8(junk).split(QLatin1Char('\n'));
        const QList<disc::Drive> drives = disc::scanDrives(lines);
        QVERIFY(!drives.isEmpty());
        for (const disc::Drive &d : drives)
            QVERIFY(d.entry.startsWith('['));
    }

    void speedCuts()
    {
        QCOMPARE(disc::writeSpeedCut(u" Maximum write speed:  7056 kB/s (CD  40x, DVD  5x)"), QStringLiteral("40"));
        QCOMPARE(disc::writeSpeedCut(u" Maximum write speed:  1411 kB/s (CD   8x, DVD  1x)"), QStringLiteral(" 8"));
        QCOMPARE(disc::writeSpeedCut(u" Maximum write speed in kB/s: 1411"), QStringLiteral(" M"));
        QCOMPARE(disc::writeSpeedCut(u"ab,cdef"), QStringLiteral("ab"));
        QCOMPARE(disc::writeSpeedCut(u"abc,d"), QStringLiteral("ab"));
        QCOMPARE(disc::writeSpeedCut(u"x"), QStringLiteral("x"));
        QCOMPARE(disc::speedNumber(u" 8"), std::optional<int>(8));
        QCOMPARE(disc::speedNumber(u"40"), std::optional<int>(40));
        QCOMPARE(disc::speedNumber(u"4x"), std::nullopt);
        QCOMPARE(disc::speedNumber(u"  "), std::nullopt);
        QCOMPARE(disc::speedNumber(u""), std::nullopt);
        QCOMPARE(disc::speedNumber(u"-4"), std::nullopt);
        QCOMPARE(disc::speedNumber(u"12345678901"), std::nullopt);
    }

    void capabilityTranscripts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("cdr");
        QTest::addColumn<bool>("cdrw");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("speed"); // 0: none
        QTest::newRow("CD-R and CD-RW") << "cd_caps_cdrw.txt" << true << true << "40" << 40;
        QTest::newRow("CD-R only") << "cd_caps_cdr.txt" << true << false << "40" << 40;
        QTest::newRow("reader") << "cd_caps_readonly.txt" << false << false << " 0" << 0;
        QTest::newRow("single digit") << "cd_caps_single_digit.txt" << true << true << " 8" << 8;
        QTest::newRow("older kB/s form") << "cd_caps_kbs.txt" << true << true << "8" << 8;
        QTest::newRow("truncated") << "cd_caps_truncated.txt" << true << false << "" << 0;
        QTest::newRow("no write line") << "cd_caps_no_write_line.txt" << false << false << "" << 0;
        // wodim in the guest: the virtio-scsi drive answers page 2A, the IDE drive does not.
        QTest::newRow("guest scsi-cd") << "cd_caps_guest_scsi.txt" << false << false << "16" << 16;
        QTest::newRow("guest ide") << "cd_caps_guest_ide.txt" << false << false << "" << 0;
    }
    void capabilityTranscripts()
    {
        QFETCH(QString, file);
        QFETCH(bool, cdr);
        QFETCH(bool, cdrw);
        QFETCH(QString, label);
        QFETCH(int, speed);
        const disc::Capabilities c = disc::evaluateCapabilities(transcript(file));
        QCOMPARE(c.writesCDR, cdr);
        QCOMPARE(c.writesCDRW, cdrw);
        QCOMPARE(c.maxWriteSpeed, label);
        QCOMPARE(c.speed.value_or(0), speed);
    }

    void capabilityLines()
    {
        using C = disc::Capabilities;
        // Negative lines match nothing; the last speed line wins.
        C c = disc::evaluateCapabilities({"  Does not write CD-R media", "  Does not write CD-RW media",
                                          "  Maximum write speed:  1411 kB/s (CD   8x, DVD  1x)",
                                          "  Maximum write speed:  4234 kB/s (CD  24x, DVD  3x)"});
        QVERIFY(!c.writesCDR && !c.writesCDRW);
        QCOMPARE(c.maxWriteSpeed, QStringLiteral("24"));
        // The refusals are kept in the drive's words, the first of each.
        QCOMPARE(c.cdrRefusal, QStringLiteral("Does not write CD-R media"));
        QCOMPARE(c.cdrwRefusal, QStringLiteral("Does not write CD-RW media"));
        c = disc::evaluateCapabilities({"  Does not read CD-R media", "  Does not write DVD-R media",
                                        "x=Does not write CD-RW media (firmware)", "  Does not write CD-RW media"});
        QCOMPARE(c.cdrRefusal, QString());
        QCOMPARE(c.cdrwRefusal, QStringLiteral("Does not write CD-RW media (firmware)"));
        c = disc::evaluateCapabilities({"  Does write CD-RW media"});
        QVERIFY(!c.writesCDR && c.writesCDRW);
        // The older form: N / 176 rounded down.
        c = disc::evaluateCapabilities({"  Does write CD-R media", "  Maximum write speed in kB/s: 7056"});
        QCOMPARE(c.speed, std::optional<int>(40));
        QCOMPARE(c.maxWriteSpeed, QStringLiteral("40"));
        c = disc::evaluateCapabilities({"  Maximum write speed in kB/s: 175"});
        QCOMPARE(c.speed, std::nullopt);
        c = disc::evaluateCapabilities({"  Maximum write speed in kB/s: many"});
        QCOMPARE(c.speed, std::nullopt);
        // A line value is what follows an '=' when there is one.
        c = disc::evaluateCapabilities({"x=Does write CD-R media"});
        QVERIFY(c.writesCDR);
        QVERIFY(!disc::evaluateCapabilities({}).writesCDR);
    }

    // What each recorder's query says: cdrskin's answers instead of -prcap
    // (its real output on the guest's drive and an emulated one, and a
    // writer in the form cdrskin prints), and queries that reached no drive.
    void recorderQueries_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<exec::Implementation>("recorder");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("cdr");
        QTest::addColumn<bool>("cdrw");
        QTest::addColumn<int>("speed");
        QTest::addColumn<QString>("failure");
        using I = exec::Implementation;
        QTest::newRow("cdrskin, reader") << "cd_caps_cdrskin_rom.txt" << I::Cdrskin << 0 << false << false << 16 << "";
        QTest::newRow("cdrskin, emulated") << "cd_caps_cdrskin_emulated.txt" << I::Cdrskin << 0 << true << false << 0
                                           << "";
        QTest::newRow("cdrskin, writer") << "cd_caps_cdrskin_writer.txt" << I::Cdrskin << 0 << true << true << 48
                                         << "";
        QTest::newRow("cdrskin, no drive")
            << "cd_caps_cdrskin_no_drive.txt" << I::Cdrskin << 11 << false << false << 0
            << "No drive answers at this address, or another program holds it: scan again and pick the drive from "
               "the new list.";
        QTest::newRow("cdrskin, -prcap ignored")
            << "cd_caps_cdrskin_prcap.txt" << I::Cdrskin << 0 << false << false << 0
            << "cdrskin does not do -prcap: it ignored the option, so that part of the job was not done.";
        QTest::newRow("wodim, no drive")
            << "cd_caps_wodim_no_drive.txt" << I::Wodim << 255 << false << false << 0
            << "cdrecord may not open the drive: its device files do not let you read and write them.";
        QTest::newRow("wodim, reader") << "cd_caps_guest_scsi.txt" << I::Wodim << 0 << false << false << 16 << "";
    }
    void recorderQueries()
    {
        QFETCH(QString, file);
        QFETCH(exec::Implementation, recorder);
        QFETCH(int, exitCode);
        QFETCH(bool, cdr);
        QFETCH(bool, cdrw);
        QFETCH(int, speed);
        QFETCH(QString, failure);
        const disc::Capabilities c = disc::evaluateQuery({{transcript(file), quint32(exitCode)}}, recorder);
        QCOMPARE(c.writesCDR, cdr);
        QCOMPARE(c.writesCDRW, cdrw);
        QCOMPARE(c.speed.value_or(0), speed);
        QCOMPARE(c.failure, failure);
        // A failed query says so in the tooltips, not that the drive writes nothing.
        if (!failure.isEmpty())
            QCOMPARE(disc::offersFor(c, true, true, recorder).burnReason, failure);
        // cdrskin is never asked for -prcap, which it ignores.
        for (const exec::CommandLine &line : disc::capabilityCommands("0,0,0", recorder))
            QCOMPARE(words(line).contains("-prcap"), recorder != exec::Implementation::Cdrskin);
    }

    void cdrskinRefusalsInItsWords()
    {
        const disc::Offers o = disc::offersFor(disc::evaluateCdrskin(transcript("cd_caps_cdrskin_rom.txt")), true,
                                               true, exec::Implementation::Cdrskin);
        QCOMPARE(o.burnReason, QStringLiteral("The drive reports: no CD-R profile among DVD-ROM, CD-ROM"));
        const QList<exec::CommandLine> query = disc::capabilityCommands("2,0,0", exec::Implementation::Cdrskin);
        QCOMPARE(query.size(), 2);
        QCOMPARE(words(query[0]), (QStringList{"cdrecord", "-v", "dev=2,0,0", "-atip"}));
        QCOMPARE(words(query[1]), (QStringList{"cdrecord", "dev=2,0,0", "--list_speeds"}));
    }

    // Finalize, "Don't Finalize", Format and the blank types are offered
    // only where the recorder does them, with its reason otherwise.
    void offersByRecorder_data()
    {
        QTest::addColumn<exec::Implementation>("recorder");
        QTest::addColumn<bool>("finalize");
        QTest::addColumn<QString>("finalizeReason");
        QTest::addColumn<QString>("dontFinalizeReason");
        QTest::addColumn<QString>("formatReason");
        QTest::addColumn<QStringList>("blankTypesOff");
        for (exec::Implementation i : {exec::Implementation::Wodim, exec::Implementation::CdrtoolsCdrecord,
                                       exec::Implementation::Unknown})
            QTest::newRow(qPrintable(exec::implementationName(i) + " ")) << i << true << "" << "" << "" << QStringList{};
        QTest::newRow("cdrskin") << exec::Implementation::Cdrskin << false
                                 << "cdrskin does not finalize a disc: it ignores -fix"
                                 << "cdrskin ignores -nofix: it closes the disc after the burn"
                                 << "cdrskin formats DVD+RW only, not CD-RW (-format)"
                                 << QStringList{"unclose", "session", "track", "unreserve", "trtail"};
    }
    void offersByRecorder()
    {
        QFETCH(exec::Implementation, recorder);
        QFETCH(bool, finalize);
        QFETCH(QString, finalizeReason);
        QFETCH(QString, dontFinalizeReason);
        QFETCH(QString, formatReason);
        QFETCH(QStringList, blankTypesOff);
        const disc::Offers o =
            disc::offersFor(disc::evaluateCapabilities(transcript("cd_caps_cdrw.txt")), true, true, recorder);
        QVERIFY(*o.burnPanel && *o.rewritablePanel);
        QCOMPARE(*o.finalize, finalize);
        QCOMPARE(o.finalizeReason, finalizeReason);
        QCOMPARE(o.dontFinalizeReason, dontFinalizeReason);
        QCOMPARE(o.formatReason, formatReason);
        QStringList off;
        for (const auto &[type, reason] : o.blankTypesOff) {
            off << type;
            QCOMPARE(reason, QStringLiteral("cdrskin does not do blank=%1 (\"not supported yet\")").arg(type));
        }
        QCOMPARE(off, blankTypesOff);
    }

    void offers()
    {
        disc::Capabilities neither, cdr, both, rwOnly, noSpeed;
        cdr.writesCDR = both.writesCDR = noSpeed.writesCDR = true;
        both.writesCDRW = rwOnly.writesCDRW = true;
        cdr.maxWriteSpeed = both.maxWriteSpeed = rwOnly.maxWriteSpeed = "40";
        cdr.speed = both.speed = rwOnly.speed = 40;
        noSpeed.maxWriteSpeed = " M";

        disc::Offers o = disc::offersFor(neither, true, true);
        QCOMPARE(o.burnPanel, false);
        QCOMPARE(o.rewritablePanel, false);
        QCOMPARE(o.finalize, false);
        QCOMPARE(o.read, true);
        QCOMPARE(o.speedLabel, QString());
        QCOMPARE(o.maxSpeed, std::nullopt);
        QCOMPARE(disc::offersFor(neither, true, false).read, std::nullopt); // never disabled

        o = disc::offersFor(cdr, true, true);
        QVERIFY(*o.burnPanel && !*o.rewritablePanel && *o.finalize && *o.read);
        QCOMPARE(o.speedLabel, QStringLiteral("40"));
        QCOMPARE(o.maxSpeed, std::optional<int>(40));

        o = disc::offersFor(both, true, true);
        QVERIFY(*o.burnPanel && *o.rewritablePanel && *o.finalize && *o.read);

        // A report of CD-RW writing alone still offers everything.
        o = disc::offersFor(rwOnly, true, true);
        QVERIFY(*o.burnPanel && *o.rewritablePanel && *o.finalize);

        // Writes, but cdrecord went missing: nothing changes.
        o = disc::offersFor(both, false, true);
        QVERIFY(!o.burnPanel && !o.rewritablePanel && !o.finalize && !o.read && !o.speedLabel);

        // No speed number: the evaluation finishes, the speed field says why it is off.
        o = disc::offersFor(noSpeed, true, true);
        QVERIFY(*o.burnPanel && *o.finalize && *o.read);
        QCOMPARE(o.speedLabel, QStringLiteral(" M"));
        QCOMPARE(o.maxSpeed, std::nullopt);
        QCOMPARE(o.speedReason, QStringLiteral("The drive's report gives no write speed"));
    }

    void offerReasons()
    {
        disc::Capabilities reader = disc::evaluateCapabilities(transcript("cd_caps_readonly.txt"));
        disc::Offers o = disc::offersFor(reader, true, true);
        const QString noCdr = "The drive reports: Does not write CD-R media";
        QCOMPARE(o.burnReason, noCdr);
        QCOMPARE(o.finalizeReason, noCdr);
        QCOMPARE(o.rewritableReason, noCdr); // CD-RW needs the CD-R panel first
        QCOMPARE(o.readReason, QString());
        QCOMPARE(o.speedReason, QString());

        o = disc::offersFor(disc::evaluateCapabilities(transcript("cd_caps_cdr.txt")), true, true);
        QCOMPARE(o.burnReason, QString());
        QCOMPARE(o.finalizeReason, QString());
        QCOMPARE(o.speedReason, QString());
        QCOMPARE(o.rewritableReason, QStringLiteral("The drive reports: Does not write CD-RW media"));

        o = disc::offersFor(disc::evaluateCapabilities(transcript("cd_caps_cdrw.txt")), true, true);
        QVERIFY(o.burnReason.isEmpty() && o.rewritableReason.isEmpty() && o.finalizeReason.isEmpty());

        // A report that says neither yes nor no, and one cut off before the speed.
        o = disc::offersFor(disc::evaluateCapabilities(transcript("cd_caps_no_write_line.txt")), true, true);
        QCOMPARE(o.burnReason, QStringLiteral("The drive's report does not say that it writes CD-R media"));
        o = disc::offersFor(disc::evaluateCapabilities(transcript("cd_caps_truncated.txt")), true, true);
        QCOMPARE(o.speedReason, QStringLiteral("The drive's report gives no write speed"));
        QCOMPARE(o.rewritableReason, QStringLiteral("The drive reports: Does not write CD-RW media"));
        o = disc::offersFor(disc::evaluateCapabilities({}), true, true);
        QCOMPARE(o.burnReason, QStringLiteral("The drive's report does not say that it writes CD-R media"));

        // Missing tools are named.
        o = disc::offersFor(disc::evaluateCapabilities(transcript("cd_caps_cdrw.txt")), false, false);
        QCOMPARE(o.burnReason, QStringLiteral("Couldn't find cdrecord . Please put cdrecord in Spindle folder"));
        QCOMPARE(o.readReason, QStringLiteral("Couldn't find readcd . Please put readcd in Spindle folder"));
    }

    void speedField()
    {
        QCOMPARE(disc::speedFromText(u"16"), 16);
        QCOMPARE(disc::speedFromText(u"abc"), 1);
        QCOMPARE(disc::speedFromText(u""), 1);
        QCOMPARE(disc::clampSpeed(48, 40), 40);
        QCOMPARE(disc::clampSpeed(12, 40), 12);
        QCOMPARE(disc::clampSpeed(0, 40), 1);
        QCOMPARE(disc::clampSpeed(48, 0), 48); // no maximum yet
    }

    void commandLines()
    {
        disc::BurnChoice b;
        b.address = "1,0,0";
        b.simulate = b.dontFinalize = b.burnFree = true;
        b.speed = 16;
        b.file = "C:\\img\\a.iso";
        QCOMPARE(words(disc::burnCommand(b)),
                 (QStringList{"cdrecord", "-eject", "-v", "driveropts=burnfree", "dev=1,0,0", "-dummy", "-nofix",
                              "speed=16", "C:\\img\\a.iso", "gracetime=1"}));
        // As the console and the debug log show it.
        QCOMPARE(disc::burnCommand(b).display(),
                 QStringLiteral("cdrecord -eject -v driveropts=burnfree dev=1,0,0 -dummy -nofix speed=16 "
                                "\"C:\\img\\a.iso\" gracetime=1"));
        b.simulate = b.dontFinalize = b.burnFree = false;
        QCOMPARE(words(disc::burnCommand(b)),
                 (QStringList{"cdrecord", "-eject", "-v", "dev=1,0,0", "speed=16", "C:\\img\\a.iso", "gracetime=1"}));
        b = {};
        b.address = "0,1,0";
        b.speed = 8;
        b.file = "D:\\x.iso";
        QCOMPARE(words(disc::burnCommand(b)), (QStringList{"cdrecord", "-eject", "-v", "driveropts=burnfree", "dev=0,1,0",
                                                           "-dummy", "speed=8", "D:\\x.iso", "gracetime=1"}));
        QCOMPARE(words(disc::formatCommand("0,1,0")), (QStringList{"cdrecord", "-eject", "dev=0,1,0", "-format"}));
        QCOMPARE(words(disc::blankCommand("0,1,0", "fast")), (QStringList{"cdrecord", "-eject", "dev=0,1,0", "blank=fast"}));
        QCOMPARE(words(disc::blankCommand("0,1,0", "")), (QStringList{"cdrecord", "-eject", "dev=0,1,0", "blank="}));
        QCOMPARE(disc::readCommand("0,1,0", "C:\\out\\disc.iso").display(),
                 QStringLiteral("readcd dev=0,1,0 f=\"C:\\out\\disc.iso\""));
        QCOMPARE(words(disc::finalizeCommand("0,1,0")), (QStringList{"cdrecord", "dev=0,1,0", "-fix"}));
        QCOMPARE(words(disc::capabilityCommand("1001,0,0")), (QStringList{"cdrecord", "dev=1001,0,0", "-prcap"}));
        QCOMPARE(words(disc::verifyCommand("stdio:/tmp/d", "/tmp/a b.iso")),
                 (QStringList{"spindle-cli", "verify", "stdio:/tmp/d", "/tmp/a b.iso"}));
        // What verify reads back: an emulated drive's file, a device path, or the drive through readcd.
        QCOMPARE(disc::discFileOf("stdio:/tmp/d"), QStringLiteral("/tmp/d"));
        QCOMPARE(disc::discFileOf("/dev/sr1"), QStringLiteral("/dev/sr1"));
        QCOMPARE(disc::discFileOf("2,0,0"), QString());
        QCOMPARE(words(disc::readBackCommand("/opt/s/readcd", "2,0,0", 1043)),
                 (QStringList{"/opt/s/readcd", "dev=2,0,0", "sectors=0-1043", "f=-"}));
    }

    void noLineWithoutADrive()
    {
        for (const QString &address : {QString(), QStringLiteral(" "), QStringLiteral(" \t ")}) {
            QVERIFY(!disc::usableAddress(address));
            disc::BurnChoice b;
            b.address = address;
            b.file = "/tmp/a.iso";
            QVERIFY(disc::burnCommand(b).isEmpty());
            QVERIFY(disc::formatCommand(address).isEmpty());
            QVERIFY(disc::blankCommand(address, "all").isEmpty());
            QVERIFY(disc::readCommand(address, "/tmp/a.iso").isEmpty());
            QVERIFY(disc::finalizeCommand(address).isEmpty());
            QVERIFY(disc::capabilityCommand(address).isEmpty());
            QVERIFY(disc::capabilityCommands(address, exec::Implementation::Cdrskin).isEmpty());
            QVERIFY(disc::verifyCommand(address, "/tmp/a.iso").isEmpty());
        }
        QVERIFY(disc::usableAddress(u"0,0,0"));
    }

    void realWriteQuestions()
    {
        const QString drive = "[1,0,0] ACME    CDRW52X         ";
        QCOMPARE(disc::burnQuestion("boot.iso", 123 * 1048576 + 1000, drive),
                 QStringLiteral("Write boot.iso (123 MB) to the disc in [1,0,0] ACME CDRW52X? "
                                "This is a real write, not a simulation."));
        QCOMPARE(disc::burnQuestion("a b.iso", -1, "[0,1,0] X"),
                 QStringLiteral("Write a b.iso to the disc in [0,1,0] X? This is a real write, not a simulation."));
        QCOMPARE(disc::finalizeQuestion(drive),
                 QStringLiteral("Finalize the disc in [1,0,0] ACME CDRW52X? Nothing more can be written to it "
                                "afterwards. This is a real write, not a simulation."));
        QCOMPARE(disc::formatQuestion(drive),
                 QStringLiteral("Format the disc in [1,0,0] ACME CDRW52X? Everything on the disc will be erased. "
                                "This operation makes permanent changes."));
        QCOMPARE(disc::blankQuestion(drive, "fast"),
                 QStringLiteral("Blank the disc in [1,0,0] ACME CDRW52X (blank=fast)? Everything on the disc will "
                                "be erased. This operation makes permanent changes."));
        QCOMPARE(disc::blankQuestion(drive, "session"),
                 QStringLiteral("Blank the disc in [1,0,0] ACME CDRW52X (blank=session)? The last session on the "
                                "disc will be erased. This operation makes permanent changes."));
        QVERIFY(disc::blankQuestion(drive, "odd").contains("(blank=odd)? The disc will be changed"));
        // Sizes: whole MB rounded, below one MB in KB rounded up.
        QCOMPARE(disc::sizeText(0), QStringLiteral("0 KB"));
        QCOMPARE(disc::sizeText(1), QStringLiteral("1 KB"));
        QCOMPARE(disc::sizeText(1048575), QStringLiteral("1024 KB"));
        QCOMPARE(disc::sizeText(1048576), QStringLiteral("1 MB"));
        QCOMPARE(disc::sizeText(700LL * 1048576 - 1), QStringLiteral("700 MB"));
        QCOMPARE(disc::sizeText(qint64(4) * 1024 * 1048576), QStringLiteral("4096 MB"));
    }

    void fileNamesReachTheToolWhole()
    {
        for (const QString &name : {QStringLiteral("/tmp/my disc.iso"), QStringLiteral("/tmp/say \"hi\".iso"),
                                    QStringLiteral("/tmp/back\\slash\\"), QStringLiteral("/tmp/%PATH% x.iso")}) {
            disc::BurnChoice b;
            b.address = "1,0,0";
            b.file = name;
            const exec::CommandLine burn = disc::burnCommand(b);
            QCOMPARE(words(burn).at(words(burn).size() - 2), name);
            QCOMPARE(exec::parseCommandLine(burn.render()), burn); // the shown line reads back whole
            const exec::CommandLine read = disc::readCommand("1,0,0", name);
            QCOMPARE(words(read), (QStringList{"readcd", "dev=1,0,0", "f=" + name}));
            QCOMPARE(exec::parseCommandLine(read.render()), read);
        }
    }

    void scanCommandLine()
    {
        QCOMPARE(words(disc::scanCommand("/opt/spindle/")), (QStringList{"/opt/spindle/cdrecord", "-scanbus"}));
        const QString blank = "/home/me/My Tools/";
        QCOMPARE(words(disc::scanCommand(blank)), (QStringList{blank + "cdrecord", "-scanbus"}));
        QCOMPARE(disc::scanCommand(blank).display(), "\"" + blank + "cdrecord\" -scanbus");
        QCOMPARE(words(disc::scanCommand("/say \"hi\"/")), (QStringList{"cdrecord", "-scanbus"}));
    }

    void cliDrives()
    {
        Result r = cli({"drives"}, data("cd_scan_warnings.txt"));
        QCOMPARE(r.out, QByteArray("[1,0,0] ACME    CDRW52X         \n[1,10,0] SONY    DVD RW DRU-880S \n"));
        QCOMPARE(r.code, 0);
        r = cli({"drives"}, data("cd_scan_bus1001.txt"));
        QCOMPARE(r.out, QByteArray("[1001,0,0] TSSTcorpCDDVDW SH-224DB \n"));
        r = cli({"drives"}, data("cd_scan_no_cdrom.txt"));
        QCOMPARE(r.out, QByteArray());
        // The window's message, then why (the finding depends on the machine).
        QVERIFY2(r.err.startsWith("No CD-ROM devices found\n"), r.err.constData());
        QVERIFY2(r.err.count('\n') == 2 && (r.err.contains("\nThis computer has no CD drive") || r.err.contains("\nFound ")),
                 r.err.constData());
        QCOMPARE(r.code, 1);
        QVERIFY(readAll(m_folder.filePath("args.log")).endsWith("cdrecord [-scanbus]\n"));
    }

    void cliCaps()
    {
        Result r = cli({"caps", "1001,0,0"}, {}, data("cd_caps_cdr.txt"));
        QCOMPARE(r.out, QByteArray("writes CD-R: yes\nwrites CD-RW: no\nmax write speed: 40\n"));
        QCOMPARE(r.code, 0);
        QVERIFY(readAll(m_folder.filePath("args.log")).endsWith("cdrecord [dev=1001,0,0] [-prcap]\n"));
        r = cli({"caps", "1,0,0"}, {}, data("cd_caps_kbs.txt"));
        QCOMPARE(r.out, QByteArray("writes CD-R: yes\nwrites CD-RW: yes\nmax write speed: 8\n"));
        r = cli({"caps", "1,0,0"}, {}, data("cd_caps_truncated.txt"));
        QCOMPARE(r.out, QByteArray("writes CD-R: yes\nwrites CD-RW: no\nmax write speed: unknown\n"));
        r = cli({"caps", "1,0,0 -blank=all"}, {}, data("cd_caps_cdr.txt"));
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.isEmpty());
        // A query that reached no drive is a failure, not a drive that writes nothing.
        r = cli({"caps", "1,0,0"}, {}, data("cd_caps_wodim_no_drive.txt"), {{"FAKECD_EXIT", "255"}});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QByteArray());
        // The cause, then the setup finding (which depends on the machine).
        QVERIFY2(r.err.startsWith("cdrecord may not open the drive: its device files do not let you read and write "
                                  "them.\n"),
                 r.err.constData());
    }

    void cliCapsAsksCdrskinItsOwnWay()
    {
        // A writer in the form cdrskin prints, behind a cdrecord that says it is cdrskin.
        const Result r = cli({"caps", "0,0,0"}, {}, {},
                             {{"FAKECD_VERSION", data("versions/cdrskin.txt")},
                              {"FAKECD_OUTPUT", data("cd_caps_cdrskin_writer.txt")}});
        QCOMPARE(r.out, QByteArray("writes CD-R: yes\nwrites CD-RW: yes\nmax write speed: 48\n"));
        QCOMPARE(r.code, 0);
        QVERIFY(readAll(m_folder.filePath("args.log"))
                    .endsWith("cdrecord [-v] [dev=0,0,0] [-atip]\ncdrecord [dev=0,0,0] [--list_speeds]\n"));
    }

    void cliWithoutCdrecord()
    {
        QTemporaryDir bare;
        QVERIFY(QFile::copy(binDir() + "/spindle-cli", bare.filePath("spindle-cli")));
        QProcess p;
        p.setWorkingDirectory(bare.path());
        p.start(bare.filePath("spindle-cli"), {"drives"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardError(), QByteArray("Couldn't find cdrecord . Please put cdrecord in Spindle folder\n"));
    }
};

QTEST_MAIN(TestCdRules)
#include "test_cd_rules.moc"
