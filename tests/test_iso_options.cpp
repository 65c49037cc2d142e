#include "exec/command_line.h"
#include "testutil.h"
#include "iso/command_builder.h"
#include "platform/platform.h"
#include "iso/iso_options.h"

#include <QSignalSpy>
#include <QTest>

using iso::IsoOptions;

class TestIsoOptions : public QObject
{
    Q_OBJECT
private slots:
    void initialState()
    {
        IsoOptions o;
        QCOMPARE(o.text("blsegment_value"), QStringLiteral("0x7C0"));
        QCOMPARE(o.text("blsize_value"), QStringLiteral("4"));
        QCOMPARE(o.isoLevel(), 1);
        for (const char *k : {"ISO_level_value", "charset_value", "boot_cat", "joliet_boot_cat", "sorting_list",
                              "other_param_value", "other_param_value_2", "boot_image", "no_emulation",
                              "boot_info_table", "boot_load_segment", "blsegment_value", "boot_load_size",
                              "blsize_value"})
            QVERIFY2(!o.isEnabled(k), k);
        QVERIFY(o.isEnabled("root_folder"));
    }

    void isoLevelAgainst1999()
    {
        IsoOptions o;
        o.setCheck("ISO9660:1999", true);
        o.setCheck("ISO_level", true);
        QVERIFY(!o.check("ISO9660:1999"));
        QVERIFY(o.isEnabled("ISO_level_value"));
        o.setCheck("ISO9660:1999", true);
        QVERIFY(!o.check("ISO_level"));
        QVERIFY(!o.isEnabled("ISO_level_value"));
        o.setCheck("ISO9660:1999", false);
        QVERIFY(!o.check("ISO_level"));
    }

    void fullAgainstMax()
    {
        IsoOptions o;
        o.setCheck("full_ISO", true);
        o.setCheck("max_ISO", true);
        QVERIFY(!o.check("full_ISO"));
        o.setCheck("full_ISO", true);
        QVERIFY(!o.check("max_ISO"));
        o.setCheck("full_ISO", false);
        QVERIFY(!o.check("max_ISO")); // unchecking does not check the other
    }

    // Enabling never changes content; a non-change runs nothing.
    void bootableLeavesValueFields()
    {
        IsoOptions o;
        o.setCheck("bootable", true);
        o.setCheck("boot_load_segment", true);
        QVERIFY(o.isEnabled("blsegment_value"));
        o.setCheck("bootable", false);
        QVERIFY(!o.isEnabled("boot_load_segment"));
        QVERIFY(o.check("boot_load_segment"));
        QVERIFY(o.isEnabled("blsegment_value"));
        QSignalSpy spy(&o, &IsoOptions::enabledChanged);
        o.setCheck("bootable", false);
        QCOMPARE(spy.count(), 0);
    }

    void normalisation_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("boot");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside root") << "/cd/" << "/cd/boot/loader.bin" << "boot/loader.bin";
        QTest::newRow("outside root") << "/cd/" << "/boot/loader.bin" << "/boot/loader.bin";
        QTest::newRow("root in the middle") << "/cd/" << "/x/cd/y.bin" << "/xy.bin";
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
        o.setText("root_folder", root);
        o.setText("boot_image", boot);
        QTEST(o.text("boot_image"), "expected");
    }

    void slashFields()
    {
        IsoOptions o;
        o.setText("root_folder", R"(C:\cd\)");
        o.setText("output_folder", R"(D:\iso\)");
        o.setText("batch_folder", R"(C:\bat\)");
        o.setText("mkisofs_folder", R"(C:\tools\mkisofs.exe)");
        // On Linux the slash form is the name itself.
        QCOMPARE(o.text("root_folder"), QStringLiteral(R"(C:\cd\)"));
        QCOMPARE(o.text("output_folder"), QStringLiteral(R"(D:\iso\)"));
        QCOMPARE(o.text("batch_folder"), QStringLiteral(R"(C:\bat\)"));
        QCOMPARE(o.text("mkisofs_folder"), QStringLiteral(R"(C:\tools\mkisofs.exe)"));
    }

    void clearAll()
    {
        IsoOptions o;
        o.setCheck("duplicates_once", true);
        o.setCheck("bootable", true);
        o.setCheck("boot_load_segment", true);
        o.setText("blsegment_value", "0x1000");
        o.setCheck("ISO_level", true);
        o.setIsoLevel(3);
        o.setText("root_folder", "/x/");
        o.setText("mkisofs_folder", "/opt/mkisofs");
        o.setComments("note");
        o.clearAll();
        QCOMPARE(o.text("mkisofs_folder"), QStringLiteral("/opt/mkisofs")); // the tool, not an option
        QVERIFY(o.check("duplicates_once")); // kept
        QVERIFY(!o.check("bootable") && !o.check("boot_load_segment"));
        QCOMPARE(o.text("blsegment_value"), QStringLiteral("0x7C0"));
        QVERIFY(!o.isEnabled("blsegment_value"));
        QVERIFY(!o.isEnabled("ISO_level_value"));
        QCOMPARE(o.isoLevel(), 1);
        QVERIFY(o.text("root_folder").isEmpty());
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
        o.setText("mkisofs_folder", "/tools/mkisofs");
        o.setCheck("Joliet", true);
        o.setCheck("RRRidge", true);
        o.setText("output_folder", "/iso/");
        o.setText("output_filename", "cd.iso");
        o.setText("volume_ID", "DATA");
        o.setText("root_folder", "/cd/");
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
        o.setCheck("bootable", true);
        o.setCheck("no_emulation", true);
        o.setCheck("boot_load_segment", true);
        o.setText("blsegment_value", "");
        o.setCheck("boot_load_size", true);
        o.setText("blsize_value", "");
        o.setCheck("charset", true);
        o.setText("output_folder", "/out/"); // file name missing
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
        o.setText("mkisofs_folder", "/bin/mkisofs");
        for (const char *k : {"Joliet", "Joliet_long", "full_ISO", "RRRidge", "ISO_level", "Omit_ver_nr", "Verbose",
                              "multidot", "omit_period", "allow_lowercase", "no_iso_translate", "relaxed_filenames",
                              "duplicates_once", "other_param", "other_param_2", "sorting", "bootable",
                              "boot_info_table", "boot_load_segment", "boot_load_size", "charset", "boot_cat",
                              "joliet_boot_cat", "no_emulation"})
            o.setCheck(k, true);
        o.setIsoLevel(2);
        o.setText("other_param_value", "-a -b");
        o.setText("other_param_value_2", "-c");
        o.setText("sorting_list", "/s.lst");
        o.setText("charset_value", "iso8859-1");
        o.setText("output_folder", "/o");
        o.setText("output_filename", "x.iso");
        o.setText("root_folder", "/r/");
        o.setText("boot_image", "b\"q.bin");
        for (const char *k : {"preparer", "volume_ID", "app_ID", "publisher_ID", "sys_ID"})
            o.setText(k, QString::fromLatin1(k).left(2));
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
        o.setText("mkisofs_folder", "tools/mkisofs");
        o.setText("output_folder", "out");
        o.setText("output_filename", "data.iso");
        o.setText("root_folder", "--help");
        o.setCheck("sorting", true);
        o.setText("sorting_list", "s.lst");
        o.setText("batch_folder", "bat");
        iso::BuiltCommand b = iso::buildCommandLine(o);
        QVERIFY(b.messages.isEmpty());
        QCOMPARE(words(b.command),
                 (QStringList{"/spindle/bat/tools/mkisofs", "-sort", "/spindle/bat/s.lst", "-o",
                              "/spindle/bat/out/data.iso", "/spindle/bat/--help"}));
        QCOMPARE(iso::batchFilePath("bat"), QStringLiteral("/spindle/bat/build.bat"));
        QCOMPARE(iso::outputImagePath(o), QStringLiteral("/spindle/bat/out/data.iso"));
        // No batch folder: Spindle's folder; a bare program name is looked up.
        o.setText("batch_folder", "");
        o.setText("mkisofs_folder", "mkisofs");
        o.setText("output_folder", "/tmp/out");
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
        o.setText("mkisofs_folder", "/opt/my tools/mkisofs");
        o.setText("output_folder", "/out dir/");
        o.setText("output_filename", "a\"b.iso");
        o.setText("preparer", "tail\\");
        o.setText("volume_ID", "My \"Disc\"");
        o.setText("root_folder", "/src dir/");
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QVERIFY(b.messages.isEmpty());
        QCOMPARE(words(b.command),
                 (QStringList{"/opt/my tools/mkisofs", "-o", "/out dir/a\"b.iso", "-p", "tail\\", "-volid",
                              "My \"Disc\"", "/src dir/"}));
    }

    void programPathWithQuoteIsRefused()
    {
        IsoOptions o;
        o.setText("mkisofs_folder", "/opt/a\"b/mkisofs");
        o.setText("output_folder", "/o/");
        o.setText("output_filename", "x.iso");
        o.setText("root_folder", "/r/");
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.messages, QStringList{"Path to mkisofs can't hold a double quote"});
    }

    void disabledBootSwitchesLeftOut()
    {
        IsoOptions o;
        o.setCheck("bootable", true);
        for (const char *k : {"boot_info_table", "boot_cat", "joliet_boot_cat", "boot_load_size"})
            o.setCheck(k, true);
        o.setCheck("bootable", false);
        o.setCheck("ISO9660:1999", true);
        o.setCheck("other_param", true); // checked, empty: nothing, no message
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
