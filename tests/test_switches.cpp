// Every switch the command line can carry, run for real through build.bat
// with each program that answers to the name mkisofs.
#include "iso/command_builder.h"
#include "iso/mkisofs_program.h"
#include "iso/template_file.h"
#include "platform/platform.h"
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

    // A file named mkisofs that is `program`: it is known by what it says.
    QString mkisofsAs(const QString &program)
    {
        const QString link = path(program + "/mkisofs");
        QDir().mkpath(path(program));
        QFile::link("/usr/bin/" + program, link);
        return link;
    }

    // Writes build.bat for the options and runs it as Run Batch does.
    int runBatch(IsoOptions &o, const QString &name, QByteArray *output, const QString &program = "genisoimage")
    {
        o.setText(iso::Opt::mkisofs_folder, mkisofsAs(program));
        iso::identifyBuilder(o);
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
        QTest::addColumn<QString>("program");
        QTest::addColumn<Opts>("checks");
        QTest::addColumn<Texts>("texts");
        QTest::addColumn<int>("isoLevel");
        for (const QString program : {"genisoimage", "xorrisofs"}) {
            auto row = [&](const char *name) -> QTestData & { return QTest::addRow("%s, %s", qPrintable(program), name) << program; };
            row("naming") << Opts{Opt::Joliet, Opt::Joliet_long, Opt::RRRidge, Opt::ISO_level, Opt::Omit_ver_nr, Opt::Verbose, Opt::multidot, Opt::omit_period, Opt::allow_lowercase, Opt::no_iso_translate, Opt::relaxed_filenames}
                          << Texts{} << 3;
            row("full names, 1999, charset")
                << Opts{Opt::full_ISO, Opt::ISO9660_1999, Opt::charset} << Texts{{Opt::charset_value, "iso8859-1"}} << 1;
            row("max names, free parameters")
                << Opts{Opt::max_ISO, Opt::ISO_level, Opt::other_param, Opt::other_param_2}
                << Texts{{Opt::other_param_value, "-V FREEVOL"}, {Opt::other_param_value_2, "-quiet"}} << 2;
            row("boot switches")
                << Opts{Opt::Joliet, Opt::bootable, Opt::no_emulation, Opt::boot_info_table, Opt::boot_load_segment, Opt::boot_load_size, Opt::boot_cat, Opt::joliet_boot_cat}
                << Texts{{Opt::boot_image, path("tree/boot/l.bin")}} << 1;
        }
    }
    // What a program ignores or refuses never reaches it: each run builds
    // and no option passes unheeded.
    void switches()
    {
        QFETCH(QString, program);
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
        const int code = runBatch(o, name, &out, program);
        QVERIFY2(code == 0 && !out.contains("Ignored option"), out.constData());
        QVERIFY2(QFileInfo(path("out/" + name)).size() > 0, out.constData());
    }

    // The order a sort file asks for is the order on the disc, with either
    // program: xorrisofs gets it as its weight list beside build.bat. The
    // weights put the files against the order the programs pick alone; a
    // folder's weight, a pattern and a negative weight are the sort file's.
    void sortOrderOnTheDisc_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("genisoimage") << "genisoimage";
        QTest::newRow("xorrisofs") << "xorrisofs";
    }
    void sortOrderOnTheDisc()
    {
        QFETCH(QString, program);
        const QString root = path("sorted/" + program + "/");
        for (const char *name : {"a/1.dat", "a/2.dat", "b/3.dat", "b/4.dat", "c.dat", "d.log", "e.dat"}) {
            QDir().mkpath(QFileInfo(root + name).absolutePath());
            QVERIFY(writeAll(root + name, QByteArray(5000, 'x')));
        }
        const QString sortFile = path(program + ".sort");
        QVERIFY(writeAll(sortFile, (root + "e.dat 300\n" + root + "b 200\n" + root + "*.log 150\n" + root
                                    + "a/2.dat 100\n" + root + "a/1.dat -5\n")
                                       .toUtf8()));
        IsoOptions o;
        o.setText(Opt::mkisofs_folder, mkisofsAs(program));
        o.setCheck(Opt::RRRidge, true);
        o.setText(Opt::root_folder, root);
        o.setText(Opt::output_folder, path("out/"));
        o.setText(Opt::output_filename, program + "-sorted.iso");
        o.setCheck(Opt::sorting, true);
        o.setText(Opt::sorting_list, sortFile);
        QString error;
        QVERIFY2(iso::saveTemplate(path(program + ".mkiso"), o, &error), qPrintable(error));
        const QByteArray cli = platform::encodePath(binDir() + "/spindle-cli");
        const QByteArray bat = platform::encodePath(path("bat-" + program));
        QVERIFY(makeFolders(bat));
        RawRun run = runRaw({cli, "batch", platform::encodePath(path(program + ".mkiso")), "--write", bat});
        QVERIFY2(run.exitCode == 0, run.err.constData());
        run = runRaw({cli, "run-bat", bat + "/build.bat"});
        QVERIFY2(run.exitCode == 0 && !run.err.contains("Ignored option"), run.err.constData());
        run = runRaw({cli, "order", "--root", platform::encodePath(root),
                      platform::encodePath(path("out/" + program + "-sorted.iso")), platform::encodePath(sortFile)});
        QVERIFY2(run.exitCode == 0 && run.err.contains("5 of 5 sort lines match; 0 of 7 files out of order"),
                 run.err.constData());
    }

    // No Debian tool knows -duplicates-once: left off for both, the image
    // is built.
    void duplicatesOnce()
    {
        IsoOptions o;
        o.setCheck(iso::Opt::duplicates_once, true);
        QByteArray out;
        for (const QString program : {"genisoimage", "xorrisofs"}) {
            QVERIFY2(runBatch(o, program + "-dup.iso", &out, program) == 0, out.constData());
            QVERIFY(!out.contains("-duplicates-once"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSwitches)
#include "test_switches.moc"
