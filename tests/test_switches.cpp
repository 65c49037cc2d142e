// Every switch the command line can carry, run for real through build.bat
// and the staged mkisofs stand-in.
#include "iso/command_builder.h"
#include "testutil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using iso::IsoOptions;
using iso::Opt;
using Opts = QList<Opt>;
using Texts = QList<std::pair<Opt, QString>>;
Q_DECLARE_METATYPE(Opts)
Q_DECLARE_METATYPE(Texts)

class TestSwitches : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString &n) const { return m_dir.filePath(n); }

    // Writes build.bat for the options and runs it as Run Batch does.
    int runBatch(IsoOptions &o, const QString &name, QByteArray *output)
    {
        o.setText(iso::Opt::mkisofs_folder, binDir() + "/mkisofs");
        o.setText(iso::Opt::root_folder, path("tree/"));
        o.setText(iso::Opt::output_folder, path("out/"));
        o.setText(iso::Opt::output_filename, name);
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
        QTest::addColumn<Opts>("checks");
        QTest::addColumn<Texts>("texts");
        QTest::addColumn<int>("isoLevel");
        QTest::newRow("naming") << Opts{Opt::Joliet, Opt::Joliet_long, Opt::RRRidge, Opt::ISO_level, Opt::Omit_ver_nr, Opt::Verbose, Opt::multidot, Opt::omit_period, Opt::allow_lowercase, Opt::no_iso_translate, Opt::relaxed_filenames}
                                << Texts{} << 3;
        QTest::newRow("full names, 1999, charset")
            << Opts{Opt::full_ISO, Opt::ISO9660_1999, Opt::charset} << Texts{{Opt::charset_value, "iso8859-1"}} << 1;
        QTest::newRow("max names, free parameters")
            << Opts{Opt::max_ISO, Opt::ISO_level, Opt::other_param, Opt::other_param_2}
            << Texts{{Opt::other_param_value, "-V FREEVOL"}, {Opt::other_param_value_2, "-quiet"}} << 2;
        QTest::newRow("boot switches")
            << Opts{Opt::Joliet, Opt::bootable, Opt::no_emulation, Opt::boot_info_table, Opt::boot_load_segment, Opt::boot_load_size, Opt::boot_cat, Opt::joliet_boot_cat}
            << Texts{{Opt::boot_image, path("tree/boot/l.bin")}} << 1;
    }
    void switches()
    {
        QFETCH(Opts, checks);
        QFETCH(Texts, texts);
        QFETCH(int, isoLevel);
        IsoOptions o;
        for (Opt k : checks)
            o.setCheck(k, true);
        o.setIsoLevel(isoLevel);
        o.setText(iso::Opt::root_folder, path("tree/"));
        for (const auto &[k, v] : texts)
            o.setText(k, v);
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
        o.setCheck(iso::Opt::duplicates_once, true);
        QByteArray out;
        QVERIFY(runBatch(o, "dup.iso", &out) != 0);
        QVERIFY2(out.contains("invalid option"), out.constData());
        QVERIFY(!QFile::exists(path("out/dup.iso")));
    }
};

QTEST_GUILESS_MAIN(TestSwitches)
#include "test_switches.moc"
