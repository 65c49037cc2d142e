// Every switch the command line can carry, run for real through build.bat
// and the staged mkisofs stand-in.
#include "iso/command_builder.h"
#include "testutil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using iso::IsoOptions;

class TestSwitches : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &n) const { return m_dir.filePath(n); }

    // Writes build.bat for the options and runs it as Run Batch does.
    int runBatch(IsoOptions &o, const QString &name, QByteArray *output)
    {
        o.setText("mkisofs_folder", binDir() + "/mkisofs");
        o.setText("root_folder", path("tree/"));
        o.setText("output_folder", path("out/"));
        o.setText("output_filename", name);
        const iso::BuiltCommand b = iso::buildCommandLine(o);
        writeAll(path("build.bat"), iso::batchFile(b.command));
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(binDir() + "/spindle-cli", {"exec", path("build.bat")});
        p.write("\n");
        p.closeWriteChannel();
        p.waitForFinished(60000);
        *output = p.readAll();
        return p.exitCode();
    }

private slots:
    void initTestCase()
    {
        QDir().mkpath(path("tree/boot"));
        QDir().mkpath(path("out"));
        writeAll(path("tree/a.b.c.txt"), "multi dot");
        writeAll(path("tree/lower case.txt"), "x");
        writeAll(path("tree/boot/l.bin"), QByteArray(3000, 'b'));
    }

    void switches_data()
    {
        QTest::addColumn<QStringList>("checks");
        QTest::addColumn<QStringList>("texts"); // key=value
        QTest::addColumn<int>("isoLevel");
        QTest::newRow("naming") << QStringList{"Joliet", "Joliet_long", "RRRidge", "ISO_level", "Omit_ver_nr", "Verbose",
                                               "multidot", "omit_period", "allow_lowercase", "no_iso_translate",
                                               "relaxed_filenames"}
                                << QStringList{} << 3;
        QTest::newRow("full names, 1999, charset")
            << QStringList{"full_ISO", "ISO9660:1999", "charset"} << QStringList{"charset_value=iso8859-1"} << 1;
        QTest::newRow("max names, free parameters")
            << QStringList{"max_ISO", "ISO_level", "other_param", "other_param_2"}
            << QStringList{"other_param_value=-V FREEVOL", "other_param_value_2=-quiet"} << 2;
        QTest::newRow("boot switches")
            << QStringList{"Joliet", "bootable", "no_emulation", "boot_info_table", "boot_load_segment", "boot_load_size",
                           "boot_cat", "joliet_boot_cat"}
            << QStringList{"boot_image=" + path("tree/boot/l.bin")} << 1;
    }
    void switches()
    {
        QFETCH(QStringList, checks);
        QFETCH(QStringList, texts);
        QFETCH(int, isoLevel);
        IsoOptions o;
        for (const QString &k : checks)
            o.setCheck(k, true);
        o.setIsoLevel(isoLevel);
        o.setText("root_folder", path("tree/"));
        for (const QString &kv : texts)
            o.setText(kv.section('=', 0, 0), kv.section('=', 1));
        const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_').remove(',') + ".iso";
        QByteArray out;
        const int code = runBatch(o, name, &out);
        QVERIFY2(code == 0, out.constData());
        QVERIFY2(QFileInfo(path("out/" + name)).size() > 0, out.constData());
    }

    // No Debian tool knows -duplicates-once: the run fails and says so.
    void duplicatesOnceRefused()
    {
        IsoOptions o;
        o.setCheck("duplicates_once", true);
        QByteArray out;
        QVERIFY(runBatch(o, "dup.iso", &out) != 0);
        QVERIFY2(out.contains("invalid option"), out.constData());
        QVERIFY(!QFile::exists(path("out/dup.iso")));
    }
};

QTEST_GUILESS_MAIN(TestSwitches)
#include "test_switches.moc"
