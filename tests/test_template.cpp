#include "iso/command_builder.h"
#include "iso/profile_file.h"
#include "iso/template_file.h"
#include "testutil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace iso;

class TestTemplate : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &n) const { return m_dir.filePath(n); }

private slots:
    void roundTrip()
    {
        IsoOptions a;
        a.setText("mkisofs_folder", "/opt/mkisofs");
        a.setCheck("Joliet", true);
        a.setCheck("max_ISO", true);
        a.setCheck("ISO_level", true);
        a.setIsoLevel(3);
        a.setCheck("bootable", true);
        a.setText("root_folder", "/tree/");
        a.setText("boot_image", "/tree/isolinux/isolinux.bin");
        a.setCheck("boot_load_size", true);
        a.setText("blsize_value", "8");
        a.setText("volume_ID", "Caf\u00e9 \"vol\"");
        a.setCheck("duplicates_once", true);
        a.setComments("first line\nsecond line \u00fd and \u00fe");
        QString error;
        QVERIFY(saveTemplate(path("a.mkiso"), a, &error));

        IsoOptions b;
        b.clearAll();
        QCOMPARE(loadTemplate(path("a.mkiso"), b, &error), LoadResult::Loaded);
        QCOMPARE(buildCommandLine(b).command, buildCommandLine(a).command);
        QCOMPARE(b.text("boot_image"), QStringLiteral("isolinux/isolinux.bin"));
        QCOMPARE(b.isoLevel(), 3);
        QCOMPARE(b.comments(), a.comments());
        QCOMPARE(b.text("volume_ID"), a.text("volume_ID"));
        for (const OptionDef &d : optionTable()) {
            if (d.kind == OptionKind::Check)
                QVERIFY2(a.check(d.key) == b.check(d.key), d.key);
            else if (d.kind == OptionKind::Text && QByteArray(d.key) != "comment_1")
                QVERIFY2(a.text(d.key) == b.text(d.key), d.key);
        }
        const QByteArray raw = readAll(path("a.mkiso"));
        QVERIFY(raw.startsWith("[Make_ISO template file]\r\nversion=2\r\n[File]\r\nJoliet=1\r\n"));
        QVERIFY(raw.contains("comment_1=first line\xC3\xBD\xC3\xBEsecond line \xC3\xBD and \xC3\xBE\r\n"));
        QVERIFY(QString::fromUtf8(raw).toUtf8() == raw); // one encoding: UTF-8 throughout
        QCOMPARE(raw.count("\r\n"), 46 + 10);
    }

    void versionOnlyFile()
    {
        writeAll(path("v.mkiso"), "[Make_ISO template file]\r\nversion=2\r\n");
        IsoOptions o;
        QString error;
        QCOMPARE(loadTemplate(path("v.mkiso"), o, &error), LoadResult::Loaded);
        for (const char *k : {"Joliet", "Joliet_long", "full_ISO", "RRRidge", "ISO9660:1999", "Omit_ver_nr", "Verbose",
                              "boot_cat", "joliet_boot_cat"})
            QVERIFY2(o.check(k), k);
        QVERIFY(!o.check("max_ISO") && !o.check("ISO_level"));
        QVERIFY(!o.isEnabled("boot_cat"));
        QCOMPARE(o.text("blsegment_value"), QStringLiteral("0x7C0"));
        QCOMPARE(o.text("blsize_value"), QStringLiteral("4"));
        QVERIFY(o.text("root_folder").isEmpty());
    }

    void wrongVersions()
    {
        QString error;
        for (const QByteArray &text : {QByteArray("[Make_ISO template file]\r\nversion=3\r\n"),
                                       QByteArray("[Other]\r\nversion=2\r\n"), QByteArray("")}) {
            writeAll(path("w.mkiso"), text + "[File]\r\nJoliet=1\r\n");
            IsoOptions o;
            QCOMPARE(loadTemplate(path("w.mkiso"), o, &error), LoadResult::WrongVersion);
            QVERIFY(!o.check("Joliet"));
        }
        IsoOptions o;
        QCOMPARE(loadTemplate(path("missing.mkiso"), o, &error), LoadResult::WrongVersion);
    }

    void pairsLevelsAndNumbers()
    {
        writeAll(path("p.mkiso"), "[make_iso TEMPLATE FILE]\nVERSION = \"2\" \n[file]\nfull_ISO=1\nmax_ISO=1\n"
                                  "ISO_level=1\nISO9660:1999=$1\nISO_level_value=9\nJoliet=0x0\nRRRidge=yes\n"
                                  "[Advanced]\nVerbose=-1\nOmit_ver_nr=0\n");
        IsoOptions o;
        QString error;
        QCOMPARE(loadTemplate(path("p.mkiso"), o, &error), LoadResult::Loaded);
        QVERIFY(o.check("max_ISO") && !o.check("full_ISO"));
        QVERIFY(o.check("ISO9660:1999") && !o.check("ISO_level"));
        QVERIFY(!o.isEnabled("ISO_level_value"));
        QCOMPARE(o.isoLevel(), 3);
        QVERIFY(!o.check("Joliet"));
        QVERIFY(o.check("RRRidge")); // not a number: the default
        QVERIFY(o.check("Verbose") && !o.check("Omit_ver_nr"));
        writeAll(path("p0.mkiso"), "[Make_ISO template file]\r\nversion=2\r\n[File]\r\nISO_level_value=0\r\n");
        QCOMPARE(loadTemplate(path("p0.mkiso"), o, &error), LoadResult::Loaded);
        QCOMPARE(o.isoLevel(), 1);
    }

    // Templates from Windows: Windows-1252 text, comments with 0xFD 0xFE.
    void windowsTemplate()
    {
        writeAll(path("win.mkiso"), "[Make_ISO template file]\r\nversion=2\r\n[Info]\r\npreparer=Jos\xE9\r\n"
                                    "[Comments]\r\ncomment_1=one\xFD\xFEtwo\xFDthree\xFE\xFD\r\n");
        IsoOptions o;
        QString error;
        QCOMPARE(loadTemplate(path("win.mkiso"), o, &error), LoadResult::Loaded);
        QCOMPARE(o.text("preparer"), QStringLiteral("Jos\u00e9"));
        QCOMPARE(o.comments(), QStringLiteral("one\ntwo\nthree\n\n"));
    }

    // Line breaks are the characters U+00FD U+00FE in UTF-8; a lone one of
    // them is text. Older files, with the raw bytes 0xFD 0xFE, still read.
    void commentMarkers()
    {
        const QString text = QStringLiteral("caf\u00e9 \u00fd alone\n\u00fe alone too\n\nend \u00fe\u00fd");
        QCOMPARE(escapeComment(text),
                 QByteArray("caf\xC3\xA9 \xC3\xBD alone\xC3\xBD\xC3\xBE\xC3\xBE alone too\xC3\xBD\xC3\xBE"
                            "\xC3\xBD\xC3\xBE" "end \xC3\xBE\xC3\xBD"));
        QCOMPARE(unescapeComment(escapeComment(text)), text);
        QCOMPARE(escapeComment("a\r\nb\rc"), QByteArray("a\xC3\xBD\xC3\xBE" "b\xC3\xBD\xC3\xBE" "c"));
        // Saved by an earlier version: UTF-8 text, raw marker bytes.
        QCOMPARE(unescapeComment("first\xFD\xFEsecond \xC3\xBD\xC3\xBE"), QStringLiteral("first\nsecond \u00fd\u00fe"));
        // Windows-1252 without markers: text as it was.
        QCOMPARE(unescapeComment("Jos\xE9 \xE0"), QStringLiteral("Jos\u00e9 \u00e0"));
        // Through a file, both ways.
        IsoOptions o;
        o.setComments(text);
        QString error;
        QVERIFY(saveTemplate(path("m.mkiso"), o, &error));
        IsoOptions back;
        QCOMPARE(loadTemplate(path("m.mkiso"), back, &error), LoadResult::Loaded);
        QCOMPARE(back.comments(), text);
        writeAll(path("old.mkiso"), "[Make_ISO template file]\r\nversion=2\r\n[Comments]\r\n"
                                    "comment_1=\xC3\xA9t\xC3\xA9\xFD\xFEhiver\r\n");
        QCOMPARE(loadTemplate(path("old.mkiso"), back, &error), LoadResult::Loaded);
        QCOMPARE(back.comments(), QStringLiteral("\u00e9t\u00e9\nhiver"));
        // Saving over an old file writes the markers the new way.
        QVERIFY(saveTemplate(path("old.mkiso"), back, &error));
        QVERIFY(readAll(path("old.mkiso")).contains("comment_1=\xC3\xA9t\xC3\xA9\xC3\xBD\xC3\xBEhiver\r\n"));
    }

    void savingKeepsForeignLines()
    {
        writeAll(path("k.mkiso"), "; my notes\r\n[Mine]\r\nx=1\r\n\r\n[File]\r\nJoliet=0\r\nextra=keep\r\n\r\n[Tail]\r\ny=2\r\n");
        IsoOptions o;
        o.setCheck("Joliet", true);
        QString error;
        QVERIFY(saveTemplate(path("k.mkiso"), o, &error));
        const QByteArray raw = readAll(path("k.mkiso"));
        QVERIFY(raw.startsWith("; my notes\r\n[Mine]\r\nx=1\r\n\r\n[File]\r\nJoliet=1\r\nextra=keep\r\nJoliet_long=0\r\n"));
        QVERIFY(raw.contains("\r\n[Tail]\r\ny=2\r\n"));
        QVERIFY(raw.contains("[Make_ISO template file]\r\nversion=2\r\n"));
        QCOMPARE(raw.count("Joliet="), 1);
    }

    void unwritableTarget()
    {
        QDir().mkpath(path("dir.mkiso"));
        IsoOptions o;
        QString error;
        QVERIFY(!saveTemplate(path("dir.mkiso"), o, &error));
        // The system's reason comes with the path.
        QCOMPARE(error, "Unable to write to " + path("dir.mkiso") + ". Is a directory");
        QVERIFY(!saveTemplate(path("no/such/dir/t.mkiso"), o, &error));
        QCOMPARE(error, "Unable to write to " + path("no/such/dir/t.mkiso") + ". No such file or directory");
    }

    // A control character would cut the command line short: the template
    // is refused, the key named, and no option changes.
    void controlCharactersRefused()
    {
        for (const QByteArray &value : {QByteArray("SPIN\0DLE", 8), QByteArray("A\x01B"), QByteArray("x\x7f")}) {
            writeAll(path("c.mkiso"), "[Make_ISO template file]\r\nversion=2\r\n[File]\r\nJoliet=0\r\n"
                                      "[Info]\r\nvolume_ID=" + value + "\r\n");
            IsoOptions o;
            o.setText("volume_ID", "before");
            o.setCheck("Joliet", true);
            QString error;
            QCOMPARE(loadTemplate(path("c.mkiso"), o, &error), LoadResult::Refused);
            QVERIFY2(error.contains("volume_ID"), qPrintable(error));
            QCOMPARE(o.text("volume_ID"), QStringLiteral("before"));
            QVERIFY(o.check("Joliet"));
        }
        // A tab is text, as in a comment typed by the user.
        writeAll(path("t.mkiso"), "[Make_ISO template file]\r\nversion=2\r\n[Info]\r\nvolume_ID=A\tB\r\n");
        IsoOptions o;
        QString error;
        QCOMPARE(loadTemplate(path("t.mkiso"), o, &error), LoadResult::Loaded);
        QCOMPARE(o.text("volume_ID"), QStringLiteral("A\tB"));
    }

    void profileIntegers()
    {
        qint64 v = 0;
        QVERIFY(parseProfileInt("12", &v) && v == 12);
        QVERIFY(parseProfileInt("-3", &v) && v == -3);
        QVERIFY(parseProfileInt("$ff", &v) && v == 255);
        QVERIFY(parseProfileInt("0X10", &v) && v == 16);
        QVERIFY(!parseProfileInt("", &v));
        QVERIFY(!parseProfileInt("1a", &v));
        QVERIFY(!parseProfileInt("true", &v));
    }

    void cliBatch()
    {
        IsoOptions o;
        o.setText("mkisofs_folder", "/from/template");
        o.setCheck("Joliet", true);
        o.setText("root_folder", "/r/");
        QString error;
        QVERIFY(saveTemplate(path("cli.mkiso"), o, &error));
        QDir().mkpath(path("bat"));
        QProcess p;
        // Incomplete: printed with its message, never written.
        p.start(binDir() + "/spindle-cli", {"batch", path("cli.mkiso"), "--mkisofs", "/usr/bin/mk", "--write", path("bat")});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QCOMPARE(p.readAllStandardOutput(), QByteArray("\"/usr/bin/mk\" -J \"/r/\"\n"));
        QCOMPARE(p.readAllStandardError(), QByteArray("Output folder or file name isn't specified\nbuild.bat not written\n"));
        QVERIFY(!QFile::exists(path("bat/build.bat")));

        o.setText("output_folder", "/o/");
        o.setText("output_filename", "x.iso");
        QVERIFY(saveTemplate(path("cli.mkiso"), o, &error));
        p.start(binDir() + "/spindle-cli", {"batch", path("cli.mkiso"), "--mkisofs", "/usr/bin/mk", "--write", path("bat")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardError(), QByteArray());
        const QByteArray line = p.readAllStandardOutput();
        QVERIFY(readAll(path("bat/build.bat")).contains("\r\n" + line.trimmed() + "\r\n"));

        // A folder that does not exist: the error, a failure, no file.
        p.start(binDir() + "/spindle-cli", {"batch", path("cli.mkiso"), "--write", path("none")});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QCOMPARE(p.readAllStandardError(), "Cannot create file \"" + path("none/build.bat").toUtf8()
                                               + "\". No such file or directory\n");
        QVERIFY(!QFile::exists(path("none")));

        writeAll(path("bad.mkiso"), "[Make_ISO template file]\r\nversion=1\r\n");
        p.start(binDir() + "/spindle-cli", {"batch", path("bad.mkiso")});
        QVERIFY(p.waitForFinished(10000));
        QVERIFY(p.exitCode() != 0);
        QCOMPARE(p.readAllStandardError(), QByteArray("Wrong file version\n"));
    }
};

QTEST_GUILESS_MAIN(TestTemplate)
#include "test_template.moc"
