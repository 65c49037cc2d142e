#include "exec/command_line.h"
#include "iso/command_builder.h"
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
        QTest::newRow("inside root") << "C:/cd/" << R"(C:\cd\boot\loader.bin)" << "boot/loader.bin";
        QTest::newRow("outside root") << "C:/cd/" << R"(D:\boot\loader.bin)" << "D:/boot/loader.bin";
        QTest::newRow("root in the middle") << "/cd/" << "/x/cd/y.bin" << "/xy.bin";
        QTest::newRow("other case removes nothing") << "C:/CD/" << R"(C:\cd\boot.bin)" << "C:/cd/boot.bin";
        QTest::newRow("empty root") << "" << R"(a\b.bin)" << "a/b.bin";
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
        QCOMPARE(o.text("root_folder"), QStringLiteral("C:/cd/"));
        QCOMPARE(o.text("output_folder"), QStringLiteral("D:/iso/"));
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
        o.setComments("note");
        o.clearAll();
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
        o.setText("mkisofs_folder", R"(C:\tools\mkisofs.exe)");
        o.setCheck("Joliet", true);
        o.setCheck("RRRidge", true);
        o.setText("output_folder", "D:/iso/");
        o.setText("output_filename", "cd.iso");
        o.setText("volume_ID", "DATA");
        o.setText("root_folder", "C:/cd/");
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.commandLine, QStringLiteral(R"("C:\tools\mkisofs.exe" -J -r -o "D:/iso/cd.iso" -volid "DATA" "C:/cd/")"));
        QVERIFY(b.messages.isEmpty());
    }

    void emptyFormMessages()
    {
        IsoOptions o;
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        QCOMPARE(b.commandLine, QString());
        QCOMPARE(b.messages, (QStringList{"Path to mkisofs isn't specified", "Output folder or file name isn't specified",
                                          "Root of CD tree isn't specified"}));
        QCOMPARE(iso::batchFile(b.commandLine),
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
        QCOMPARE(b.commandLine, QStringLiteral(" -no-emul-boot"));
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
        QCOMPARE(b.commandLine,
                 QStringLiteral("\"/bin/mkisofs\" -J -joliet-long -l -r -iso-level 2 -N -v -allow-multidot -d "
                                "-allow-lowercase -no-iso-translate -relaxed-filenames -duplicates-once -a -b -c "
                                "-sort \"/s.lst\" -boot-info-table -boot-load-seg 0x7C0 -boot-load-size 4 "
                                "-output-charset iso8859-1 -hide boot.catalog -hide-joliet boot.catalog "
                                "-o \"/ox.iso\" -b \"b\\\"q.bin\" -no-emul-boot -p \"pr\" -volid \"vo\" -appid \"ap\" "
                                "-P \"pu\" -sysid \"sy\" \"/r/\""));
        QVERIFY(b.messages.isEmpty());
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
        QCOMPARE(exec::splitCommandLine(b.commandLine),
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
        QCOMPARE(b.commandLine, QStringLiteral(" -iso-level 4"));
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
