#include "exec/command_line.h"
#include "testutil.h"
#include "iso/command_builder.h"
#include "platform/platform.h"
#include "iso/iso_options.h"

#include <QSignalSpy>
#include <QTest>

using iso::IsoOptions;
using iso::Opt;

class TestIsoOptions : public QObject
{
    Q_OBJECT
private slots:
    void initialState()
    {
        IsoOptions o;
        QCOMPARE(o.text(Opt::blsegment_value), QStringLiteral("0x7C0"));
        QCOMPARE(o.text(Opt::blsize_value), QStringLiteral("4"));
        QCOMPARE(o.isoLevel(), 1);
        for (Opt k : {Opt::ISO_level_value, Opt::charset_value, Opt::boot_cat, Opt::joliet_boot_cat, Opt::sorting_list, Opt::other_param_value, Opt::other_param_value_2, Opt::boot_image, Opt::no_emulation, Opt::boot_info_table, Opt::boot_load_segment, Opt::blsegment_value, Opt::boot_load_size, Opt::blsize_value})
            QVERIFY2(!o.isEnabled(k), iso::row(k).name);
        QVERIFY(o.isEnabled(Opt::root_folder));
    }

    void isoLevelAgainst1999()
    {
        IsoOptions o;
        o.setCheck(Opt::ISO9660_1999, true);
        o.setCheck(Opt::ISO_level, true);
        QVERIFY(!o.check(Opt::ISO9660_1999));
        QVERIFY(o.isEnabled(Opt::ISO_level_value));
        o.setCheck(Opt::ISO9660_1999, true);
        QVERIFY(!o.check(Opt::ISO_level));
        QVERIFY(!o.isEnabled(Opt::ISO_level_value));
        o.setCheck(Opt::ISO9660_1999, false);
        QVERIFY(!o.check(Opt::ISO_level));
    }

    void fullAgainstMax()
    {
        IsoOptions o;
        o.setCheck(Opt::full_ISO, true);
        o.setCheck(Opt::max_ISO, true);
        QVERIFY(!o.check(Opt::full_ISO));
        o.setCheck(Opt::full_ISO, true);
        QVERIFY(!o.check(Opt::max_ISO));
        o.setCheck(Opt::full_ISO, false);
        QVERIFY(!o.check(Opt::max_ISO)); // unchecking does not check the other
    }

    // Enabling never changes content; a non-change runs nothing.
    void bootableLeavesValueFields()
    {
        IsoOptions o;
        o.setCheck(Opt::bootable, true);
        o.setCheck(Opt::boot_load_segment, true);
        QVERIFY(o.isEnabled(Opt::blsegment_value));
        o.setCheck(Opt::bootable, false);
        QVERIFY(!o.isEnabled(Opt::boot_load_segment));
        QVERIFY(o.check(Opt::boot_load_segment));
        QVERIFY(o.isEnabled(Opt::blsegment_value));
        QSignalSpy spy(&o, &IsoOptions::enabledChanged);
        o.setCheck(Opt::bootable, false);
        QCOMPARE(spy.count(), 0);
    }

    void normalisation_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("boot");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside root") << "/cd/" << "/cd/boot/loader.bin" << "boot/loader.bin";
        QTest::newRow("outside root") << "/cd/" << "/boot/loader.bin" << "/boot/loader.bin";
        // Only a leading folder path is the root: elsewhere its text is part
        // of another folder's path.
        QTest::newRow("root in the middle") << "/srv/cd/" << "/home/u/backup/srv/cd/isolinux.bin"
                                            << "/home/u/backup/srv/cd/isolinux.bin";
        QTest::newRow("root without a slash") << "/tmp/t" << "/tmp/t/boot.bin" << "boot.bin";
        QTest::newRow("root the start of a name") << "/tmp/t" << "/tmp/tx/boot.bin" << "/tmp/tx/boot.bin";
        QTest::newRow("other case removes nothing") << "/CD/" << "/cd/boot.bin" << "/cd/boot.bin";
        // A backslash is a name's own character on Linux: kept as it is.
        QTest::newRow("backslash kept") << "" << R"(a\b.bin)" << R"(a\b.bin)";
        QTest::newRow("backslash root") << R"(/t/a\b/)" << R"(/t/a\b/boot.bin)" << "boot.bin";
        QTest::newRow("linux paths") << "/home/u/tree/" << "/home/u/tree/isolinux/isolinux.bin" << "isolinux/isolinux.bin";
    }
    void normalisation()
    {
        QFETCH(QString, root);
        QFETCH(QString, boot);
        IsoOptions o;
        o.setText(Opt::root_folder, root);
        o.setText(Opt::boot_image, boot);
        QTEST(o.text(Opt::boot_image), "expected");
    }

    // A backslash is a name's own character on Linux: the path fields reach
    // the command as typed, never turned into separators.
    void slashFields()
    {
        IsoOptions o;
        o.setText(Opt::root_folder, R"(/t/c\d/)");
        o.setText(Opt::output_folder, R"(/t/i\so/)");
        o.setText(Opt::output_filename, R"(x\y.iso)");
        o.setText(Opt::mkisofs_folder, R"(/t/to\ols/mkisofs)");
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QVERIFY(b.messages.isEmpty());
        QCOMPARE(words(b.command), (QStringList{R"(/t/to\ols/mkisofs)", "-o", R"(/t/i\so/x\y.iso)", R"(/t/c\d/)"}));
    }

    void clearAll()
    {
        IsoOptions o;
        o.setCheck(Opt::duplicates_once, true);
        o.setCheck(Opt::bootable, true);
        o.setCheck(Opt::boot_load_segment, true);
        o.setText(Opt::blsegment_value, "0x1000");
        o.setCheck(Opt::ISO_level, true);
        o.setIsoLevel(3);
        o.setText(Opt::root_folder, "/x/");
        o.setText(Opt::mkisofs_folder, "/opt/mkisofs");
        o.setComments("note");
        o.clearAll();
        QCOMPARE(o.text(Opt::mkisofs_folder), QStringLiteral("/opt/mkisofs")); // the tool, not an option
        QVERIFY(o.check(Opt::duplicates_once)); // kept
        QVERIFY(!o.check(Opt::bootable) && !o.check(Opt::boot_load_segment));
        QCOMPARE(o.text(Opt::blsegment_value), QStringLiteral("0x7C0"));
        QVERIFY(!o.isEnabled(Opt::blsegment_value));
        QVERIFY(!o.isEnabled(Opt::ISO_level_value));
        QCOMPARE(o.isoLevel(), 1);
        QVERIFY(o.text(Opt::root_folder).isEmpty());
        QVERIFY(o.comments().isEmpty());
    }
};

class TestCommandBuilder : public QObject
{
    Q_OBJECT
private slots:
    void workedExample()
    {
        IsoOptions o;
        o.setText(Opt::mkisofs_folder, "/tools/mkisofs");
        o.setCheck(Opt::Joliet, true);
        o.setCheck(Opt::RRRidge, true);
        o.setText(Opt::output_folder, "/iso/");
        o.setText(Opt::output_filename, "cd.iso");
        o.setText(Opt::volume_ID, "DATA");
        o.setText(Opt::root_folder, "/cd/");
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.command.display(), QStringLiteral(R"("/tools/mkisofs" -J -r -o "/iso/cd.iso" -volid "DATA" "/cd/")"));
        QVERIFY(b.messages.isEmpty());
    }

    void emptyFormMessages()
    {
        IsoOptions o;
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.command.display(), QString());
        QCOMPARE(b.messages, (QStringList{"Path to mkisofs isn't specified", "Output folder or file name isn't specified",
                                          "Root of CD tree isn't specified"}));
        QCOMPARE(iso::batchFile(b.command),
                 QByteArray("@echo off\r\necho this file is generated by Spindle\r\n@echo off\r\n"
                            "rem ------------------------------\r\n@echo on\r\n\r\n@echo off\r\n"
                            "rem ------------------------------\r\npause\r\n"));
    }

    void allMessagesInRowOrder()
    {
        IsoOptions o;
        o.setCheck(Opt::bootable, true);
        o.setCheck(Opt::no_emulation, true);
        o.setCheck(Opt::boot_load_segment, true);
        o.setText(Opt::blsegment_value, "");
        o.setCheck(Opt::boot_load_size, true);
        o.setText(Opt::blsize_value, "");
        o.setCheck(Opt::charset, true);
        o.setText(Opt::output_folder, "/out/"); // file name missing
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.messages, (QStringList{"Path to mkisofs isn't specified", "Boot load segment value isn't specified",
                                          "Boot load size value isn't specified", "Output charset isn't specified",
                                          "Output folder or file name isn't specified", "Boot image/sector isn't specified",
                                          "Root of CD tree isn't specified"}));
        QCOMPARE(b.command.display(), QStringLiteral(" -no-emul-boot"));
    }

    void everyPieceInOrder()
    {
        IsoOptions o;
        o.setText(Opt::mkisofs_folder, "/bin/mkisofs");
        for (Opt k : {Opt::Joliet, Opt::Joliet_long, Opt::full_ISO, Opt::RRRidge, Opt::ISO_level, Opt::Omit_ver_nr, Opt::Verbose, Opt::multidot, Opt::omit_period, Opt::allow_lowercase, Opt::no_iso_translate, Opt::relaxed_filenames, Opt::duplicates_once, Opt::other_param, Opt::other_param_2, Opt::sorting, Opt::bootable, Opt::boot_info_table, Opt::boot_load_segment, Opt::boot_load_size, Opt::charset, Opt::boot_cat, Opt::joliet_boot_cat, Opt::no_emulation})
            o.setCheck(k, true);
        o.setIsoLevel(2);
        o.setText(Opt::other_param_value, "-a -b");
        o.setText(Opt::other_param_value_2, "-c");
        o.setText(Opt::sorting_list, "/s.lst");
        o.setText(Opt::charset_value, "iso8859-1");
        o.setText(Opt::output_folder, "/o");
        o.setText(Opt::output_filename, "x.iso");
        o.setText(Opt::root_folder, "/r/");
        o.setText(Opt::boot_image, "b\"q.bin");
        for (Opt k : {Opt::preparer, Opt::volume_ID, Opt::app_ID, Opt::publisher_ID, Opt::sys_ID})
            o.setText(k, QString::fromLatin1(iso::row(k).name).left(2));
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.command.display(),
                 QStringLiteral("\"/bin/mkisofs\" -J -joliet-long -l -r -iso-level 2 -N -v -allow-multidot -d "
                                "-allow-lowercase -no-iso-translate -relaxed-filenames -duplicates-once -a -b -c "
                                "-sort \"/s.lst\" -boot-info-table -boot-load-seg 0x7C0 -boot-load-size 4 "
                                "-output-charset iso8859-1 -hide boot.catalog -hide-joliet boot.catalog "
                                "-o \"/o/x.iso\" -b \"b\\\"q.bin\" -no-emul-boot -p \"pr\" -volid \"vo\" -appid \"ap\" "
                                "-P \"pu\" -sysid \"sy\" \"/r/\""));
        QVERIFY(b.messages.isEmpty());
    }

    // Every path goes on the line absolute: a relative one counts from the
    // batch folder, where build.bat runs, and that from Spindle's folder. So
    // a root folder named "--help" is a folder, never an option.
    void relativePathsMadeAbsolute()
    {
        const QString saved = platform::spindleFolder();
        platform::setSpindleFolder("/spindle");
        IsoOptions o;
        o.setText(Opt::mkisofs_folder, "tools/mkisofs");
        o.setText(Opt::output_folder, "out");
        o.setText(Opt::output_filename, "data.iso");
        o.setText(Opt::root_folder, "--help");
        o.setCheck(Opt::sorting, true);
        o.setText(Opt::sorting_list, "s.lst");
        o.setText(Opt::batch_folder, "bat");
        iso::BuiltCommand b = iso::buildCommandLine(o);
        QVERIFY(b.messages.isEmpty());
        QCOMPARE(words(b.command),
                 (QStringList{"/spindle/bat/tools/mkisofs", "-sort", "/spindle/bat/s.lst", "-o",
                              "/spindle/bat/out/data.iso", "/spindle/bat/--help"}));
        const iso::MkisoPaths paths = iso::resolvePaths(o);
        QCOMPARE(paths.batchFile, QStringLiteral("/spindle/bat/build.bat"));
        QCOMPARE(paths.output, QStringLiteral("/spindle/bat/out/data.iso"));
        // No batch folder: Spindle's folder; a bare program name is looked up.
        o.setText(Opt::batch_folder, "");
        o.setText(Opt::mkisofs_folder, "mkisofs");
        o.setText(Opt::output_folder, "/tmp/out");
        b = iso::buildCommandLine(o);
        QCOMPARE(words(b.command),
                 (QStringList{"mkisofs", "-sort", "/spindle/s.lst", "-o", "/tmp/out/data.iso", "/spindle/--help"}));
        QCOMPARE(iso::outputOfCommand(b.command, "/x/"), QStringLiteral("/tmp/out/data.iso"));
        QCOMPARE(iso::outputOfCommand(exec::parseCommandLine("mkisofs -o rel.iso /r"), "/x/"), QStringLiteral("/x/rel.iso"));
        QVERIFY(iso::outputOfCommand(exec::parseCommandLine("mkisofs /r"), "/x/").isEmpty());
        platform::setSpindleFolder(saved);
    }

    // Every quoted value reaches the program whole, whatever it holds.
    void valuesWithQuotesAndBackslashesSurvive()
    {
        IsoOptions o;
        o.setText(Opt::mkisofs_folder, "/opt/my tools/mkisofs");
        o.setText(Opt::output_folder, "/out dir/");
        o.setText(Opt::output_filename, "a\"b.iso");
        o.setText(Opt::preparer, "tail\\");
        o.setText(Opt::volume_ID, "My \"Disc\"");
        o.setText(Opt::root_folder, "/src dir/");
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QVERIFY(b.messages.isEmpty());
        QCOMPARE(words(b.command),
                 (QStringList{"/opt/my tools/mkisofs", "-o", "/out dir/a\"b.iso", "-p", "tail\\", "-volid",
                              "My \"Disc\"", "/src dir/"}));
    }

    void programPathWithQuoteIsRefused()
    {
        IsoOptions o;
        o.setText(Opt::mkisofs_folder, "/opt/a\"b/mkisofs");
        o.setText(Opt::output_folder, "/o/");
        o.setText(Opt::output_filename, "x.iso");
        o.setText(Opt::root_folder, "/r/");
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.messages, QStringList{"Path to mkisofs can't hold a double quote"});
    }

    void disabledBootSwitchesLeftOut()
    {
        IsoOptions o;
        o.setCheck(Opt::bootable, true);
        for (Opt k : {Opt::boot_info_table, Opt::boot_cat, Opt::joliet_boot_cat, Opt::boot_load_size})
            o.setCheck(k, true);
        o.setCheck(Opt::bootable, false);
        o.setCheck(Opt::ISO9660_1999, true);
        o.setCheck(Opt::other_param, true); // checked, empty: nothing, no message
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.command.display(), QStringLiteral(" -iso-level 4"));
        QCOMPARE(b.messages.size(), 3);
    }
};

int main(int argc, char **argv)
{
    int rc = 0;
    {
        TestIsoOptions t;
        rc |= QTest::qExec(&t, argc, argv);
    }
    {
        TestCommandBuilder t;
        rc |= QTest::qExec(&t, argc, argv);
    }
    return rc;
}
#include "test_iso_options.moc"
