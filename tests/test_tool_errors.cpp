// The cause line of a failed run: each known tool message, read from a
// transcript of that tool's output, gives its sentence; anything else none.
#define SPINDLE_UI_TESTS
#include "ui/dialogs.h"
#include "exec/ui/console_capture.h"
#include "exec/tool_errors.h"
#include "platform/platform.h"
#include "testutil.h"

#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
QStringList transcript(const QString &name)
{
    const QByteArray bytes = readAll(QStringLiteral(SPINDLE_TEST_DATA "/tool_errors/") + name);
    QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
} // namespace

class TestToolErrors : public QObject
{
    Q_OBJECT
    QSet<qsizetype> m_rowsSeen;

private slots:
    void transcriptGivesCause_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("cause");
        const QString burn = QStringLiteral("cdrecord -eject dev=0,0,0 -dummy  speed=1 \"/home/user/disc.iso\" gracetime=1");
        const QString noPerm = QStringLiteral(
            "cdrecord may not open the drive: its device files do not let you read and write them.");
        const QString tooLarge = QStringLiteral("The image is larger than the disc in the drive.");
        const QString notRw = QStringLiteral("The disc in the drive is not rewritable, so it cannot be blanked.");
        QTest::newRow("no disc") << "wodim_no_disk.txt" << burn
            << "There is no disc in the drive, or not one it can use: insert a writable disc and try again.";
        QTest::newRow("scsi driver") << "wodim_scsi_driver.txt" << "/opt/spindle/cdrecord -scanbus" << noPerm;
        QTest::newRow("not permitted") << "wodim_not_permitted.txt" << "wodim dev=0,0,0 -prcap" << noPerm;
        QTest::newRow("not a recorder") << "wodim_not_recorder.txt" << burn
            << "This drive cannot write CDs: it only reads them, or cdrecord does not know it as a recorder.";
        QTest::newRow("may not fit") << "wodim_may_not_fit.txt" << burn << tooLarge;
        QTest::newRow("does not fit") << "wodim_does_not_fit.txt" << burn << tooLarge;
        QTest::newRow("cannot blank") << "wodim_cannot_blank.txt" << "cdrecord -eject dev=0,0,0 blank=fast" << notRw;
        QTest::newRow("no blanking") << "wodim_media_no_blanking.txt" << "cdrecord.exe -eject dev=1,0,0 blank=all"
                                     << notRw;
        QTest::newRow("write mode") << "wodim_write_mode.txt" << burn << "The drive does not support this write mode.";
        const QString mkisofs = QStringLiteral("\"/opt/spindle/mkisofs\" -o \"/home/user/disc.iso\" \"/home/user/cd\"");
        QTest::newRow("no space") << "genisoimage_no_space.txt" << mkisofs
            << "The disk that holds the image file is full: free some space or choose another output folder.";
        QTest::newRow("4GiB") << "genisoimage_4gib.txt" << mkisofs
            << "The file /home/user/video/big.mkv is larger than 4 GiB minus one byte, the most a file on this "
               "image may be: choose ISO level 3 to put it on.";
        QTest::newRow("file too large") << "genisoimage_file_too_large.txt" << "genisoimage -o x.iso cd"
            << "The image file grew larger than the disk it is written to allows for one file: choose an output "
               "folder on another file system.";
        QTest::newRow("sort format") << "genisoimage_sort_format.txt" << mkisofs
            << "The sort file is not in the form mkisofs reads: each line a path, a blank and a weight.";
        QTest::newRow("name not in the input charset") << "genisoimage_incorrectly_encoded.txt" << mkisofs
            << "A file or folder name is not valid in the input character set, so no Joliet name can be made of "
               "it: rename it, or add -input-charset iso8859-1 to Other Parameters.";
        QTest::newRow("invalid node") << "genisoimage_invalid_node.txt" << mkisofs
            << "/home/user/cd/missing cannot be put on the image: it does not exist or cannot be read.";
        const QString xorrisofs = QStringLiteral("/usr/bin/xorrisofs -o \"/tmp/xc/x.iso\" \"/tmp/xc/tree\"");
        const QString notTaken = QStringLiteral("This mkisofs does not take the option %1: the image was not built.");
        QTest::newRow("xorrisofs missing root") << "xorrisofs_missing_root.txt" << xorrisofs
            << "/tmp/xc/nosuch cannot be put on the image: it does not exist or cannot be read.";
        QTest::newRow("xorrisofs 4GiB") << "xorrisofs_4gib.txt" << xorrisofs
            << "The file /huge.bin (its path in the image) is 4 GiB or larger, more than a file on this image may "
               "be: choose ISO level 3 to put it on.";
        QTest::newRow("xorrisofs no output folder") << "xorrisofs_no_output_folder.txt" << xorrisofs
            << "The output folder does not exist: choose an existing folder for the image.";
        QTest::newRow("xorrisofs not allowed") << "xorrisofs_not_allowed.txt" << xorrisofs
            << "A file or folder of the tree may not be read (permission denied): change its permissions or leave "
               "it out.";
        QTest::newRow("xorrisofs boot image size") << "xorrisofs_boot_image_size.txt" << xorrisofs
            << "The boot image is no floppy image (1.2, 1.44 or 2.88 MB): tick No emulation mode for a boot image "
               "of another size.";
        QTest::newRow("xorrisofs stale weights") << "xorrisofs_weight_list_stale.txt" << xorrisofs
            << "The sort weights name /gone.dat, which is no longer in the tree: make the batch file again.";
        QTest::newRow("xorrisofs ignored") << "xorrisofs_ignored_option.txt" << xorrisofs
            << "xorrisofs does not do -sort: it ignored the option, so the image is not what was asked.";
        QTest::newRow("xorrisofs unsupported") << "xorrisofs_boot_load_seg.txt" << xorrisofs
                                               << notTaken.arg("-boot-load-seg");
        QTest::newRow("xorrisofs unrecognized") << "xorrisofs_unrecognized_option.txt" << xorrisofs
                                                << notTaken.arg("-duplicates-once");
        QTest::newRow("readom permission") << "readom_permission.txt" << "readcd dev=0,0,0 f=\"/tmp/a.iso\""
                                           << "You may not open /dev/sg0 (permission denied).";
        QTest::newRow("dd permission") << "dd_permission.txt" << "dd if=/dev/sr0 of=\"/tmp/a.iso\" status=progress"
                                       << "You may not open /dev/sr0 (permission denied).";
        QTest::newRow("no medium") << "dd_no_medium.txt" << "dd if=/dev/sr0 of=\"/tmp/a.iso\" status=progress"
                                   << "There is no disc in the drive.";
        QTest::newRow("readom I/O error") << "readom_io_error.txt" << "readcd dev=0,0,0 f=\"/tmp/a.iso\""
            << "The drive could not read the disc at sector 123456 (input/output error): the disc may be "
               "scratched, dirty or not completely written.";
        QTest::newRow("dd I/O error") << "dd_io_error.txt" << "dd if=/dev/sr0 of=\"/tmp/a.iso\" status=progress"
            << "The drive could not read the disc at block 589824 (input/output error): the disc may be "
               "scratched, dirty or not completely written.";
        // What the real tools said in the guest, to an emulated read-only drive.
        QTest::newRow("guest burn") << "guest_wodim_burn.txt"
            << "cdrecord -eject driveropts=burnfree dev=0,0,0 -dummy  speed=1 \"/work/read.iso\" gracetime=1"
            << "This drive cannot write CDs: it only reads them, or cdrecord does not know it as a recorder.";
        QTest::newRow("guest blank") << "guest_wodim_blank.txt" << "cdrecord -eject dev=0,0,0 blank=fast"
            << "This drive cannot write CDs: it only reads them, or cdrecord does not know it as a recorder.";
        QTest::newRow("guest refused scan") << "guest_wodim_scanbus_refused.txt" << "/opt/spindle/cdrecord -scanbus"
                                            << noPerm;
        QTest::newRow("guest dd refused") << "guest_dd_permission.txt"
            << "dd if=/dev/sr0 of=\"/tmp/bob.iso\" status=progress" << "You may not open /dev/sr0 (permission denied).";
        QTest::newRow("guest readom refused") << "guest_readom_refused.txt" << "readcd dev=0,0,0 f=\"/tmp/bob.iso\""
            << "readcd may not open the drive: its device files do not let you read and write them.";
        QTest::newRow("guest readom, tray open") << "guest_readom_no_medium.txt" << "readcd dev=0,0,0 sectors=0-1043 f=-"
            << "The drive is not ready: there is no disc in it, or it is still taking the disc in.";
        QTest::newRow("readom unknown") << "readom_unknown.txt" << "readcd dev=0,0,0 f=\"/tmp/a.iso\"" << QString();
        // cdrskin (identified by its own version text), on the guest's drives and an emulated one.
        const QString skin = QStringLiteral("cdrskin dev=2,0,0 ");
        QTest::newRow("cdrskin ignores -fix") << "guest_cdrskin_fix.txt" << skin + "-fix"
            << "cdrskin does not do -fix: it ignored the option, so that part of the job was not done.";
        QTest::newRow("cdrskin unknown option") << "cdrskin_unknown_option.txt" << skin + "-bogus_option -checkdrive"
            << "cdrskin does not do -bogus_option: it ignored the option, so that part of the job was not done.";
        QTest::newRow("cdrskin refused scan") << "guest_cdrskin_scanbus_refused.txt" << "cdrskin -scanbus"
                                              << "cdrskin may not open the drive (permission denied).";
        QTest::newRow("cdrskin no drive") << "guest_cdrskin_cannot_find.txt" << "cdrskin dev=1,0,0 -checkdrive"
            << "No drive answers at this address, or another program holds it: scan again and pick the drive from "
               "the new list.";
        QTest::newRow("cdrskin no media") << "guest_cdrskin_no_media.txt" << skin + "-dummy /tmp/x.iso"
            << "There is no disc in the drive that cdrskin can write to: insert a blank or appendable disc and try "
               "again.";
        QTest::newRow("cdrskin not erasable") << "guest_cdrskin_not_erasable.txt" << skin + "blank=fast" << notRw;
        QTest::newRow("cdrskin blank type") << "guest_cdrskin_blank_session.txt" << skin + "blank=session"
            << "cdrskin does not do blank type session: it blanks with all or fast only.";
        QTest::newRow("cdrskin format") << "guest_cdrskin_format.txt" << skin + "-format"
            << "cdrskin formats DVD+RW discs only, not CD-RW: use Blank CD-RW instead.";
        QTest::newRow("cdrskin write error") << "cdrskin_write_error.txt" << "cdrskin -v dev=stdio:/dev/full x.iso"
            << "Writing to the disc failed: the drive did not take all the data.";
    }
    void transcriptGivesCause()
    {
        QFETCH(QString, file);
        QFETCH(QString, commandLine);
        QFETCH(QString, cause);
        const QStringList lines = transcript(file);
        QVERIFY2(!lines.isEmpty(), qPrintable(file));
        const exec::CommandLine command = exec::parseCommandLine(commandLine.toUtf8());
        QCOMPARE(exec::causeOf(lines, command), cause);
        // Fed line by line, as the console does, the same.
        exec::CauseFinder finder(command);
        for (const QString &l : lines)
            finder.feed(l);
        QCOMPARE(finder.sentence(), cause);
        QCOMPARE(finder.found(), !cause.isEmpty());
        if (finder.found())
            m_rowsSeen.insert(finder.row());
    }

    void everyRowHasATranscript()
    {
        // Runs after the transcripts above in the whole file; alone it
        // reads them itself.
        if (m_rowsSeen.isEmpty()) {
            for (const QString &f : QDir(QStringLiteral(SPINDLE_TEST_DATA "/tool_errors")).entryList(QDir::Files)) {
                // The transcript's tool from its name, as a command line.
                const QStringList parts = f.split(QLatin1Char('_'));
                const QString tool = parts.value(parts.first() == QLatin1String("guest") ? 1 : 0);
                exec::CauseFinder finder{exec::CommandLine(tool)};
                for (const QString &l : transcript(f))
                    finder.feed(l);
                if (finder.found())
                    m_rowsSeen.insert(finder.row());
            }
        }
        for (qsizetype i = 0; i < exec::toolErrorTable().size(); ++i)
            QVERIFY2(m_rowsSeen.contains(i), qPrintable(exec::toolErrorTable()[i].pattern));
    }

    void rowsKeepToTheirTool()
    {
        // A burn that says "Permission denied" is no dd or readcd failure;
        // an unknown program is matched against every row.
        const QStringList lines = {QStringLiteral("open: Permission denied")};
        QCOMPARE(exec::causeOf(lines, exec::parseCommandLine("cdrecord dev=0,0,0 -prcap")), QString());
        QCOMPARE(exec::causeOf(lines, exec::parseCommandLine("dd if=/dev/sr0 of=x")),
                 QStringLiteral("You may not open the drive or the file (permission denied)."));
        QCOMPARE(exec::causeOf({QStringLiteral("Cannot blank disk, aborting.")}, exec::parseCommandLine("mytool")),
                 QStringLiteral("The disc in the drive is not rewritable, so it cannot be blanked."));
        QCOMPARE(exec::toolOfCommandLine(exec::parseCommandLine("\"/opt/my tools/wodim\" -scanbus")), QStringLiteral("cdrecord"));
        QCOMPARE(exec::toolOfCommandLine(exec::parseCommandLine("READOM.EXE dev=0,0,0")), QStringLiteral("readcd"));
        QCOMPARE(exec::toolOfCommandLine({}), QString());
        // Spindle's read-back after a burn reads through readcd.
        QCOMPARE(exec::toolOfCommandLine(exec::parseCommandLine("spindle-cli verify 0,0,0 \"/tmp/a.iso\"")),
                 QStringLiteral("readcd"));
        // cdrskin's messages are cdrskin's: wodim saying "Permission denied" is not one.
        exec::CauseFinder wodim(QStringLiteral("cdrecord"), exec::Implementation::Wodim);
        wodim.feed(u"cdrskin: ( Most recent system error: 13  'Permission denied' )");
        QVERIFY(!wodim.found());
    }

    void ignoredOptionFailsTheRun()
    {
        // Exit code 0 and an ignored option: the run did not do what was asked.
        exec::CauseFinder finder(QStringLiteral("cdrecord"), exec::Implementation::Cdrskin);
        for (const QString &l : transcript(QStringLiteral("guest_cdrskin_fix.txt")))
            finder.feed(l);
        QVERIFY(finder.failsRun());
        QCOMPARE(exec::failureLine(0, finder),
                 QStringLiteral("The command did not do what was asked.\ncdrskin does not do -fix: it ignored the "
                                "option, so that part of the job was not done."));
        // The same from xorrisofs, run through build.bat.
        exec::CauseFinder batch(exec::CommandLine(QStringLiteral("/tmp/b/build.bat")));
        for (const QString &l : transcript(QStringLiteral("xorrisofs_ignored_option.txt")))
            batch.feed(l);
        QVERIFY(batch.failsRun());
        exec::CauseFinder quiet(QStringLiteral("cdrecord"), exec::Implementation::Cdrskin);
        quiet.feed(u"cdrskin: burning done");
        QCOMPARE(exec::failureLine(0, quiet), QString());
        QCOMPARE(exec::failureLine(3, quiet), QStringLiteral("The command failed with exit code 3."));
    }

    void firstMessageWinsAndBlockIsLookedForNearby()
    {
        exec::CauseFinder finder(exec::parseCommandLine("dd if=/dev/sr0 of=x"));
        finder.feed(u"dd: error reading '/dev/sr0': Input/output error");
        finder.feed(u"dd: failed to open '/dev/sr1': No medium found");
        for (int i = 0; i < 30; ++i)
            finder.feed(u"noise");
        // The block count came too late to be this error's.
        finder.feed(u"12+0 records in");
        QCOMPARE(finder.sentence(), QStringLiteral("The drive could not read the disc (input/output error): the disc "
                                                   "may be scratched, dirty or not completely written."));
    }

    void permissionCarriesTheAdvice()
    {
        exec::setPermissionAdvice([] { return QStringLiteral("ADVICE"); });
        const QString cause = exec::causeOf(transcript(QStringLiteral("wodim_scsi_driver.txt")), exec::parseCommandLine("cdrecord -scanbus"));
        const QString other = exec::causeOf(transcript(QStringLiteral("wodim_no_disk.txt")), exec::parseCommandLine("cdrecord -scanbus"));
        exec::setPermissionAdvice({});
        QVERIFY2(cause.endsWith(QLatin1String("\nADVICE")), qPrintable(cause));
        QVERIFY(!other.contains(QLatin1String("ADVICE")));
    }

    void consoleAndDebugLogGetTheCauseLine()
    {
        QTemporaryDir folder;
        platform::setSpindleFolder(folder.path());
        FakeDialogs dialogs;
        ui::setDialogs(&dialogs);
        exec::setPermissionAdvice([] { return QStringLiteral("Found 1 CD drive (/dev/sr0), but ..."); });
        base::Session session;
        auto *console = new Tconsole(session);
        // A failed run leaves the console open: close it as the user would.
        dialogs.onMessage = [&](const QString &text) {
            if (text.contains(QLatin1Char('\n')))
                QTimer::singleShot(0, console, [console] { console->CloseBT->click(); });
        };
        const QString child = '"' + testChild() + "\" write ";
        console->run(child + "wodim:\\x20No\\x20such\\x20file\\n Cannot\\x20open\\x20SCSI\\x20driver!\\n =255");
        const QString expected = QStringLiteral(
            "The command failed with exit code 255.\n"
            "cdrecord may not open the drive: its device files do not let you read and write them.\n"
            "Found 1 CD drive (/dev/sr0), but ...");
        QCOMPARE(console->resultLine(), expected);
        QVERIFY(console->capturedText().endsWith(expected));
        QCOMPARE(dialogs.log.value(0), QStringLiteral("message:Warning:Process finished!\n") + expected);
        // The next run starts afresh: unknown output keeps the plain line.
        dialogs.log.clear();
        console->run(child + "something\\x20else\\n =2");
        QCOMPARE(console->resultLine(), QStringLiteral("The command failed with exit code 2."));
        // A run that succeeds says nothing of the message it printed.
        dialogs.log.clear();
        console->run(child + "Cannot\\x20blank\\x20disk\\n =0");
        QCOMPARE(dialogs.log, QStringList{"message:Info:Process finished!"});
        // Exit code 0, yet the tool ignored what it was asked to do.
        dialogs.log.clear();
        console->run(child + "cdrskin:\\x20NOTE\\x20:\\x20ignoring\\x20unimplemented\\x20option\\x20:\\x20'-fix'\\n =0");
        QCOMPARE(console->resultLine(), QStringLiteral("The command did not do what was asked.\ncdrskin does not do "
                                                       "-fix: it ignored the option, so that part of the job was "
                                                       "not done."));
        delete console;
        exec::setPermissionAdvice({});
        ui::setDialogs(nullptr);
    }

    void cliExecPrintsTheCauseOnStandardError()
    {
        QProcess p;
        const QString child = testChild();
        p.start(binDir() + "/spindle-cli",
                {"exec", '"' + child + "\" write Data\\x20does\\x20not\\x20fit\\x20on\\x20current\\x20disk.\\n =1"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("Data does not fit on current disk.\n"));
        QCOMPARE(p.readAllStandardError(), QByteArray("The image is larger than the disc in the drive.\n"));
        p.start(binDir() + "/spindle-cli", {"exec", '"' + child + "\" write Data\\x20does\\x20not\\x20fit\\n =0"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardError(), QByteArray());
        // An ignored option fails the run, exit code 0 or not.
        p.start(binDir() + "/spindle-cli",
                {"exec", '"' + child + "\" write ignoring\\x20unimplemented\\x20option\\x20:\\x20'-nofix'\\n =0"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(p.readAllStandardError(),
                 QByteArray("cdrskin does not do -nofix: it ignored the option, so that part of the job was not done.\n"));
    }
};

QTEST_MAIN(TestToolErrors)
#include "test_tool_errors.moc"
