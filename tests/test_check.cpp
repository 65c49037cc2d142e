// Check: the size run, the name rules and the sort file, against a real tree
// and the staged mkisofs; the Check button of the Make ISO window.
#define SPINDLE_UI_TESTS
#include "testutil.h"

#include "ui/style.h"
#include "exec/ui/console_capture.h"
#include "iso/ui/mkiso_form.h"

#include "exec/command_line.h"
#include "iso/check.h"
#include "iso/check_names.h"
#include "platform/charset.h"
#include "iso/command_builder.h"
#include "iso/template_file.h"
#include "platform/platform.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using iso::CheckProblem;
using iso::CheckReport;

class TestCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &rel) const { return m_dir.filePath(rel); }
    void touch(const QString &rel, qint64 size = 1)
    {
        QDir().mkpath(QFileInfo(path(rel)).absolutePath());
        QFile f(path(rel));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(size)); // sparse
    }
    static QString mkisofs() { return binDir() + QStringLiteral("/mkisofs"); }
    // A file named by its bytes (QFile cannot name one that is not UTF-8),
    // holding its name.
    static bool rawFile(const QByteArray &name) { return writeBytesAt(name, name); }
    // Names that ISO 9660 must change, in a folder and in folders below it.
    static bool makeNameCorpus(const QString &root)
    {
        QList<QByteArray> names{".hiddenfile", ".abc", ".a.b", "..dots", "readme.txt", "Readme.txt", "a.b.c", "x",
                                "end.", "backup.txt~", "file.c.~3~", "longname1.txt", "longname2.txt",
                                "longname3.txt", "LONGN000.TXT", "very long name with spaces.document",
                                "archive.tar.gz", "paper.ps.gz", "Mixed-Case~#.Txt", "x.verylongextension",
                                "noext_but_a_very_long_name_xxxxxxxxxxxxxxxxx", QByteArray(40, 'a') + ".txt",
                                "caf\xc3\xa9.txt", "f\xe9.bin", "\xe6\x97\xa5\xe6\x9c\xac.txt",
                                "a+b=c%d.txt", "semi;colon.txt", "$dollar@at.txt", "brack[et].txt", "lower.TXT",
                                "UPPER.txt", "tab\there", "Data.txt"};
        for (char c = 'a'; c <= 'l'; ++c)
            names << QByteArray("collide_") + c + ".txt";
        const QList<QByteArray> folders{"my.folder.name", "sub dir", "data.txt", "longfoldername_abcdefghijklmnopqrstu",
                                        "longfoldername_abcdefghijklmnopqrstv"};
        const QByteArray top = platform::encodePath(root);
        if (::mkdir(top.constData(), 0755) != 0)
            return false;
        for (const QByteArray &f : folders) {
            if (::mkdir((top + '/' + f).constData(), 0755) != 0)
                return false;
            for (const QByteArray &n : {QByteArray("readme.txt"), QByteArray("Readme.txt"), QByteArray(".profile")})
                if (!rawFile(top + '/' + f + '/' + n))
                    return false;
        }
        for (const QByteArray &n : names)
            if (!rawFile(top + '/' + n))
                return false;
        return true;
    }
    // Path below the root (as the Rock Ridge names give it) -> the ISO 9660
    // name, from isoinfo's two listings of one image.
    static QHash<QByteArray, QByteArray> writtenIsoNames(const QString &image)
    {
        const auto listing = [&](bool rock) {
            QProcess p;
            p.start(QStringLiteral("isoinfo"), rock ? QStringList{"-R", "-l", "-i", image} : QStringList{"-l", "-i", image});
            p.waitForFinished(60000);
            QList<std::pair<QByteArray, QByteArray>> records; // folder, name
            QByteArray folder;
            static const QRegularExpression record(QStringLiteral("^.{30,}?\\[ *\\d+ [0-9A-F]{2}\\]  (.*) $"));
            for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
                if (line.startsWith("Directory listing of ")) {
                    folder = line.mid(21);
                    continue;
                }
                const QRegularExpressionMatch m = record.match(QString::fromLatin1(line));
                if (m.hasMatch() && m.captured(1) != "." && m.captured(1) != "..")
                    records.append({folder, m.captured(1).toLatin1()});
            }
            return records;
        };
        const auto iso = listing(false), rock = listing(true);
        QHash<QByteArray, QByteArray> out;
        if (iso.size() != rock.size())
            return out;
        for (qsizetype i = 0; i < iso.size(); ++i)
            out.insert(rock[i].first.chopped(1) + '/' + rock[i].second, iso[i].second);
        return out;
    }
    void base(iso::IsoOptions &o, const QString &root)
    {
        o.setText(iso::Opt::mkisofs_folder, mkisofs());
        o.setText(iso::Opt::root_folder, root);
        o.setText(iso::Opt::output_folder, path(QStringLiteral("out/")));
        o.setText(iso::Opt::output_filename, QStringLiteral("cd.iso"));
    }
    static const CheckProblem *find(const CheckReport &r, const QString &start)
    {
        for (const CheckProblem &p : r.problems)
            if (p.sentence.startsWith(start))
                return &p;
        return nullptr;
    }
    static CheckReport tree(const iso::IsoOptions &o)
    {
        CheckReport r;
        iso::checkTree(o, iso::resolvePaths(o), &r);
        return r;
    }

private slots:
    // QDir cannot name the files whose names are not UTF-8.
    void cleanupTestCase() { QProcess::execute(QStringLiteral("rm"), {"-rf", "--", m_dir.path()}); }

    void sizeRunCommandLine()
    {
        // The Make Batch line without its output, its sort file (genisoimage
        // sorts in time files x lines, and the order changes no sector
        // count) and its chatter; -print-size -quiet first.
        const QByteArray line = "\"/opt/mk isofs\" -J -v -quiet -sort \"/a b/s.txt\" --sort-weight-list \"/b/w.txt\" "
                                "-o \"/out/cd.iso\" -volid \"A\\\"B\" \"/root/\"";
        const exec::CommandLine size = iso::sizeRunCommand(exec::parseCommandLine(line));
        QCOMPARE(words(size), (QStringList{"/opt/mk isofs", "-print-size", "-quiet", "-J", "-volid", "A\"B", "/root/"}));
        QVERIFY(iso::sizeRunCommand({}).isEmpty());

        QCOMPARE(iso::parseSectorCount({"I: -input-charset not specified", "Total extents scheduled to be written = 185", "185"}), 185);
        QCOMPARE(iso::parseSectorCount({"177"}), 177);
        QCOMPARE(iso::parseSectorCount({"genisoimage: Incorrect sort file format", "\t"}), -1);
    }

    // Every ISO 9660 name Check predicts, against the image the program
    // really writes of a corpus of awkward names, for the levels and the
    // naming switches; xorrisofs where its names differ.
    void isoNamesAsTheProgramWritesThem_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("switches");
        const QStringList each{"-d", "-N", "-allow-multidot", "-relaxed-filenames"};
        for (const QString &program : {QStringLiteral("genisoimage"), QStringLiteral("xorrisofs")}) {
            for (int level = 1; level <= 3; ++level)
                for (int mask = 0; mask < 16; ++mask) {
                    QStringList sw;
                    for (int b = 0; b < 4; ++b)
                        if (mask & (1 << b))
                            sw << each[b];
                    // xorrisofs ignores -allow-multidot: its rows are the ones without.
                    if (program == "xorrisofs" && sw.contains("-allow-multidot"))
                        continue;
                    QTest::addRow("%s level %d %s", qPrintable(program), level, qPrintable(sw.join(' ')))
                        << program << level << sw;
                }
            for (const QStringList &sw : {QStringList{"-l"}, QStringList{"-max-iso9660-filenames"},
                                          QStringList{"-allow-lowercase"}, QStringList{"-no-iso-translate"},
                                          QStringList{"-allow-leading-dots"}, QStringList{"-l", "-d", "-N"}})
                QTest::addRow("%s %s", qPrintable(program), qPrintable(sw.join(' '))) << program << 0 << sw;
        }
    }
    void isoNamesAsTheProgramWritesThem()
    {
        QFETCH(QString, program);
        QFETCH(int, level);
        QFETCH(QStringList, switches);
        const QString root = path(QStringLiteral("corpus"));
        if (!QFileInfo::exists(root))
            QVERIFY(makeNameCorpus(root));
        iso::IsoOptions o;
        base(o, root);
        o.setCheck(iso::Opt::RRRidge, true); // the names they stand for
        if (level > 0) {
            o.setCheck(iso::Opt::ISO_level, true);
            o.setIsoLevel(level);
        }
        o.setCheck(iso::Opt::other_param, true);
        o.setText(iso::Opt::other_param_value, switches.join(' '));
        if (program == "xorrisofs") {
            o.setText(iso::Opt::mkisofs_folder, QStringLiteral("/usr/bin/xorrisofs"));
            o.setBuilder(iso::Builder::Xorrisofs);
        }
        const exec::CommandLine command = iso::buildCommandLine(o).command;
        QDir().mkpath(path(QStringLiteral("out")));
        const QString image = path(QStringLiteral("out/cd.iso"));
        QFile::remove(image);
        const RawRun build = runRaw(command.argv());
        QVERIFY2(build.exitCode == 0, build.err.constData());
        const QHash<QByteArray, QByteArray> written = writtenIsoNames(image);
        QVERIFY(!written.isEmpty());

        const iso::BuildSwitches sw = iso::readSwitches(command.arguments(), o.builder());
        QStringList wrong;
        qsizetype compared = 0;
        const std::function<void(const QByteArray &)> walk = [&](const QByteArray &rel) {
            QList<iso::FolderName> entries;
            QString error;
            QVERIFY(platform::readFolder(platform::decodePath(platform::encodePath(root) + rel),
                                         [&](const platform::FolderEntry &e) {
                                             entries.append({QByteArray(e.name.constData(), e.name.size()),
                                                             e.realFolder});
                                         },
                                         &error));
            const QList<iso::IsoNamed> named = iso::isoNames(entries, sw, platform::localeCharset());
            for (qsizetype i = 0; i < entries.size(); ++i) {
                const QByteArray p = rel + '/' + entries[i].name;
                ++compared;
                if (written.value(p) != named[i].name)
                    wrong << QString::fromLatin1(p + ": " + named[i].name + ", written " + written.value(p));
                if (entries[i].folder)
                    walk(p);
            }
        };
        walk(QByteArray());
        QCOMPARE(compared, written.size());
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
    }

    void eachKindOfNameProblem()
    {
        const QString root = path(QStringLiteral("names"));
        touch(QStringLiteral("names/huge.bin"), qint64(4) << 30);
        touch(QStringLiteral("names/") + QString(70, 'j'));
        touch(QStringLiteral("names/") + QString(64, 'k') + QStringLiteral("1"));
        touch(QStringLiteral("names/") + QString(64, 'k') + QStringLiteral("2"));
        touch(QStringLiteral("names/1/2/3/4/5/6/7/deep.txt"));
        touch(QStringLiteral("names/1/2/3/4/5/6/kept.txt"));
        QString longDir = QStringLiteral("names");
        for (int i = 0; i < 5; ++i)
            longDir += QLatin1Char('/') + QString(60, QLatin1Char('a' + i));
        touch(longDir + QStringLiteral("/f"));
        touch(QStringLiteral("names/longname1.txt"));
        touch(QStringLiteral("names/longname2.txt"));
        touch(QStringLiteral("names/euro") + QChar(0x20AC) + QStringLiteral(".txt"));

        {
            // Joliet, no Rock Ridge, level 1.
            iso::IsoOptions o;
            base(o, root);
            o.setCheck(iso::Opt::Joliet, true);
            const CheckReport r = tree(o);
            const CheckProblem *big = find(r, "Files of 4 GiB");
            QVERIFY(big && big->fatal);
            QCOMPARE(big->examples, QStringList{"huge.bin"});
            QCOMPARE(big->fix, QStringLiteral("Choose ISO level 3 and add -allow-limited-size to Other parameters"));
            const CheckProblem *cut = find(r, "Joliet names over 64");
            QVERIFY(cut && !cut->fatal);
            QCOMPARE(cut->count, 3);
            QCOMPARE(cut->fix, QStringLiteral("Tick Joliet long"));
            const CheckProblem *same = find(r, "Names that are the same Joliet name");
            QVERIFY(same && same->fatal);
            QCOMPARE(same->count, 1);
            const CheckProblem *deep = find(r, "Folders 7 or more levels");
            QVERIFY(deep && deep->fatal);
            QCOMPARE(deep->examples, QStringList{"1/2/3/4/5/6/7"});
            const CheckProblem *longPath = find(r, "Paths longer than 255");
            QVERIFY(longPath && !longPath->fatal);
            QCOMPARE(longPath->count, 2); // the last folder and its file
            // Joliet keeps the names: no ISO mapping reported.
            QVERIFY(!find(r, "Names that ISO level"));
            QVERIFY(r.hasFatal());
        }
        {
            // Joliet long and Rock Ridge with ISO level 3: the cut moves to 103,
            // deep folders are relocated, the long paths are carried.
            iso::IsoOptions o;
            base(o, root);
            o.setCheck(iso::Opt::Joliet, true);
            o.setCheck(iso::Opt::Joliet_long, true);
            o.setCheck(iso::Opt::RRRidge, true);
            o.setCheck(iso::Opt::ISO_level, true);
            o.setIsoLevel(3);
            o.setCheck(iso::Opt::other_param, true);
            o.setText(iso::Opt::other_param_value, QStringLiteral("-allow-limited-size"));
            o.setCheck(iso::Opt::charset, true);
            o.setText(iso::Opt::charset_value, QStringLiteral("iso8859-1"));
            const CheckReport r = tree(o);
            QVERIFY(!find(r, "Joliet names over"));
            QVERIFY(!find(r, "Folders 7"));
            QVERIFY(!find(r, "Paths longer"));
            QVERIFY(!find(r, "Files of 4 GiB or more: genisoimage"));
            QVERIFY(find(r, "Files of 4 GiB or more: the ISO 9660 names"));
            const CheckProblem *cs = find(r, "Names that the output character set iso8859-1");
            QVERIFY2(cs, qPrintable(r.text()));
            QCOMPARE(cs->examples, QStringList{QStringLiteral("euro") + QChar(0x20AC) + QStringLiteral(".txt")});
            QVERIFY(!r.hasFatal());
        }
        {
            // Neither Joliet nor Rock Ridge: level 1 maps names and two meet.
            iso::IsoOptions o;
            base(o, root);
            const CheckReport r = tree(o);
            const CheckProblem *mapped = find(r, "Names that ISO level 1 changes");
            QVERIFY(mapped && !mapped->fatal);
            QVERIFY(mapped->count >= 6);
            const CheckProblem *same = find(r, "Names that are the same ISO 9660 name");
            QVERIFY(same);
            const QString pairs = same->examples.join(' ');
            QVERIFY2(pairs.contains(QRegularExpression("longname[12].txt -> LONGN000.TXT \\(not LONGNAME.TXT\\)")),
                     qPrintable(pairs));
            QCOMPARE(same->fix, QStringLiteral("Tick Joliet or Rationalized RockRidge"));
        }
    }

    void linksAndOddBytes()
    {
        // A link out of the tree is an entry, never walked; a name that is
        // not UTF-8 is shown with its bytes escaped.
        const QString root = path(QStringLiteral("links"));
        touch(QStringLiteral("outside/") + QString(80, 'o'));
        touch(QStringLiteral("links/plain"));
        QVERIFY(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("links/out"))));
        const QByteArray odd = platform::encodePath(root) + "/odd\xff" + QByteArray(70, 'n');
        QVERIFY(rawFile(odd));
        iso::IsoOptions o;
        base(o, root);
        o.setCheck(iso::Opt::Joliet, true);
        o.setCheck(iso::Opt::other_param, true);
        o.setText(iso::Opt::other_param_value, QStringLiteral("-input-charset utf-8"));
        const CheckReport r = tree(o);
        ::unlink(odd.constData()); // the temporary folder's own removal cannot name it
        QCOMPARE(r.entries, 3);
        QVERIFY(!find(r, "Joliet names over 64"));
        const CheckProblem *bad = find(r, "Names that are not valid utf-8");
        QVERIFY(bad);
        QCOMPARE(bad->examples, QStringList{QStringLiteral("odd\\xff") + QString(70, 'n')});
    }

    void sortFileLines()
    {
        const QString root = path(QStringLiteral("sorted"));
        touch(QStringLiteral("sorted/a.txt"));
        touch(QStringLiteral("sorted/d/with space"));
        touch(QStringLiteral("sorted/c"));
        const QByteArray rootBytes = platform::encodePath(root);
        const QString sortFile = path(QStringLiteral("sort.txt"));
        iso::IsoOptions o;
        base(o, root + QStringLiteral("/"));
        o.setCheck(iso::Opt::RRRidge, true);
        o.setCheck(iso::Opt::sorting, true);
        o.setText(iso::Opt::sorting_list, sortFile);
        auto genisoimageTakes = [&] {
            QProcess p;
            p.start(mkisofs(), {"-print-size", "-quiet", "-sort", sortFile, root + "/"});
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };

        // Lines genisoimage refuses: it stops at the first.
        QVERIFY(writeAll(sortFile, rootBytes + "/a.txt 5\n\nnoblank\n" + rootBytes + "/c 1\n"));
        CheckReport r = tree(o);
        const CheckProblem *refused = find(r, "Sort file lines genisoimage refuses");
        QVERIFY(refused && refused->fatal);
        QCOMPARE(refused->examples,
                 (QStringList{"line 2 is empty: genisoimage stops there (\"Incorrect sort file format\")",
                              "line 3 has no blank or tab before a weight: genisoimage stops there (\"Incorrect sort "
                              "file format\")"}));
        QVERIFY(!genisoimageTakes());

        // Lines it takes, some of which name nothing: a moved file is shown
        // where a file of its name is now, else the nearest folder left.
        const QByteArray lines = rootBytes + "/a.txt 5\n"             // 1 matches
                                 + rootBytes + "/d/with space 100\n"  // 2 matches: name before the last blank
                                 + rootBytes + "/d 3\n"               // 3 a folder matches
                                 + rootBytes + "/c 4294967296\n"      // 4 beyond 32 bits
                                 + rootBytes + "/c  7\n"              // 5 two blanks: name ends in a blank
                                 + rootBytes + "/[c] 2\n"             // 6 a pattern that matches
                                 + rootBytes + "/*.none 2\n"          // 7 a pattern that matches nothing
                                 + "./sorted/a.txt 1\n"               // 8 not the root as typed
                                 + rootBytes + "/old/with space 4\n"  // 9 moved
                                 + rootBytes + "/d/gone.txt 6\n"      // 10 gone, its folder left
                                 + rootBytes + "/c 12x\n"             // 11 weight with a tail
                                 + rootBytes + "/a.txt -2147483648";  // 12 smallest weight, no line end
        QVERIFY(writeAll(sortFile, lines));
        r = tree(o);
        QVERIFY(!find(r, "Sort file lines genisoimage refuses"));
        const CheckProblem *none = find(r, "Sort file lines that match no file");
        QVERIFY(none && !none->fatal);
        QVERIFY(none->fix.isEmpty());
        const QString no = QStringLiteral(": no file or folder has that path");
        const QString nearest = QStringLiteral("; the nearest that exists is ");
        QCOMPARE(none->examples, (QStringList{"line 5: " + root + "/c " + no,
                                              "line 7: " + root + "/*.none: no file or folder matches it",
                                              "line 8: ./sorted/a.txt" + no + nearest + root + "/a.txt",
                                              "line 9: " + root + "/old/with space" + no + nearest + root + "/d/with space",
                                              "line 10: " + root + "/d/gone.txt" + no + nearest + root + "/d"}));
        const CheckProblem *wide = find(r, "Sort file weights outside 32 bits");
        QVERIFY(wide);
        QCOMPARE(wide->examples, QStringList{"line 4: weight 4294967296 does not fit 32 bits: genisoimage takes 0"});
        const CheckProblem *tail = find(r, "Sort file weights that are not whole numbers");
        QVERIFY(tail);
        QCOMPARE(tail->examples, QStringList{"line 11: weight '12x' is not a whole number: genisoimage takes 12"});
        QVERIFY(genisoimageTakes());

        QVERIFY(writeAll(sortFile, rootBytes + "/a.txt 5\n" + rootBytes + "/d 3\n"));
        r = tree(o);
        QVERIFY(r.problems.isEmpty());
        QVERIFY(genisoimageTakes());

        // Over the bound: refused without reading it.
        QFile f(sortFile);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(f.resize((qint64(64) << 20) + 1));
        f.close();
        r = tree(o);
        const CheckProblem *tooBig = find(r, "The sort file is larger than 64 MiB");
        QVERIFY(tooBig && tooBig->fatal);
    }

    void sizeOfALargeImage()
    {
        // Sparse files: genisoimage only looks at their sizes.
        const QString root = path(QStringLiteral("large"));
        touch(QStringLiteral("large/part1.bin"), qint64(400) << 20);
        touch(QStringLiteral("large/part2.bin"), qint64(400) << 20);
        touch(QStringLiteral("large/part3.bin"), qint64(200) << 20);
        iso::IsoOptions o;
        base(o, root);
        o.setCheck(iso::Opt::Joliet, true);
        o.setCheck(iso::Opt::RRRidge, true);
        QFile::remove(path(QStringLiteral("out/cd.iso")));
        CheckReport r = iso::runCheck(o);
        QVERIFY2(r.sectors > 1000 * 512, qPrintable(r.sizeError));
        QVERIFY(r.sectors < 1100 * 512);
        const QString text = r.text();
        QVERIFY(text.contains("Fits: single-layer DVD\n"));
        QVERIFY(text.contains("Too large for: 74-min CD, 80-min CD, 90-min CD, 99-min CD\n"));
        const CheckProblem *cd = find(r, "The image is larger than any CD.");
        QVERIFY(cd && !cd->fatal);
        QVERIFY(!r.hasFatal());
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("out/cd.iso"))));

        // Larger than a DVD: fatal.
        touch(QStringLiteral("large/part4.bin"), qint64(3) << 30);
        touch(QStringLiteral("large/part5.bin"), qint64(3) << 30);
        r = iso::runCheck(o);
        QVERIFY(r.sectors > 2295104);
        QVERIFY(find(r, "The image is larger than a single-layer DVD."));
        QVERIFY(r.hasFatal());
    }

    void sizeRunFailures()
    {
        // genisoimage refuses a file of 4 GiB without -allow-limited-size: its
        // own lines come first, wrapped, and the files' sizes (a hard link
        // once) say which media the image cannot fit.
        const QString root = path(QStringLiteral("fail with a name long enough to run genisoimage's line past the edge"));
        touch(QFileInfo(root).fileName() + "/huge", qint64(4) << 30);
        touch(QFileInfo(root).fileName() + "/film.mkv", qint64(800) << 20);
        touch(QFileInfo(root).fileName() + "/small", 1);
        QCOMPARE(::link(QFile::encodeName(root + "/film.mkv").constData(),
                        QFile::encodeName(root + "/same film.mkv").constData()), 0);
        iso::IsoOptions o;
        base(o, root);
        CheckReport r = iso::runCheck(o);
        QCOMPARE(r.sectors, -1);
        const qint64 least = ((qint64(4) << 30) + (qint64(800) << 20)) / 2048 + 1;
        const QStringList lines = r.text().split('\n');
        const qsizetype size = lines.indexOf(QRegularExpression("^Size: .*"));
        QVERIFY2(size > 2, qPrintable(r.text()));
        QCOMPARE(lines.first(), QStringLiteral("mkisofs stopped with exit code 1."));
        QString said;
        for (const QString &l : lines.mid(1, size - 1)) {
            QVERIFY2(l.size() <= 100 && l.startsWith("    "), qPrintable(l));
            said += ' ' + l.trimmed();
        }
        QCOMPARE(said, " File " + root + "/huge is larger than 4GiB-1. -allow-limited-size was not specified. "
                                         "There is no way do represent this file size. Aborting.");
        QCOMPARE(lines.mid(size, 2),
                 (QStringList{"Size: unknown. The files alone take at least " + QString::number(least) + " sectors (4896.0 MB).",
                              "Too large for: 74-min CD, 80-min CD, 90-min CD, 99-min CD, single-layer DVD"}));
        const CheckProblem *dvd = find(r, "The files alone are larger than a single-layer DVD.");
        QVERIFY(dvd && dvd->fatal);
        QVERIFY(find(r, "genisoimage cannot build this image: The file " + root + "/huge is larger than 4 GiB"));
        // Files the image leaves out give no bound.
        o.setCheck(iso::Opt::other_param, true);
        o.setText(iso::Opt::other_param_value, QStringLiteral("-m *.mkv"));
        r = iso::runCheck(o);
        QCOMPARE(r.sectors, -1);
        QCOMPARE(r.filesSectors, 0);
        QVERIFY(!find(r, "The files alone"));
        // A program that does not exist is said, not run through a shell.
        o.setText(iso::Opt::mkisofs_folder, path(QStringLiteral("no such; touch pwned")));
        r = iso::runCheck(o);
        QCOMPARE(r.sectors, -1);
        QVERIFY(r.sizeError.contains("cannot be started"));
        QVERIFY(!QFileInfo::exists(QStringLiteral("pwned")));
    }

    // Names that are no text in the input character set, which genisoimage
    // converts for Joliet: found in Check's own walk, with their bytes shown
    // and the fixes; the options that mend them really mend them.
    void namesTheInputCharsetCannotRead_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("found"); // the group Check reports, empty for none
        QTest::addColumn<bool>("fatal");
        QTest::addColumn<bool>("builds");
        const QString bad = "Names that are not valid utf-8, the input character set: ";
        QTest::newRow("genisoimage stops") << "genisoimage" << "" << bad + "genisoimage stops" << true << false;
        QTest::newRow("read as Latin-1") << "genisoimage" << "-input-charset iso8859-1" << "" << false << true;
        QTest::newRow("xorrisofs writes '_'") << "xorrisofs" << "" << bad + "xorrisofs writes '_'" << false << true;
    }
    void namesTheInputCharsetCannotRead()
    {
        QFETCH(QString, program);
        QFETCH(QString, other);
        QFETCH(QString, found);
        QFETCH(bool, fatal);
        QFETCH(bool, builds);
        // The tools read names in the locale's character set: a UTF-8 one.
        const bool wasSet = qEnvironmentVariableIsSet("LC_ALL");
        const QByteArray locale = qgetenv("LC_ALL");
        const auto restore = qScopeGuard([&] { wasSet ? qputenv("LC_ALL", locale) : qunsetenv("LC_ALL"); });
        qputenv("LC_ALL", "C.UTF-8");
        const QString root = path(QStringLiteral("enc"));
        if (!QFileInfo::exists(root)) {
            touch(QStringLiteral("enc/sub/ok.txt"));
            touch(QStringLiteral("enc/caf\u00e9.txt"));
            QVERIFY(rawFile(platform::encodePath(root) + "/sub/f\xe9.bin"));
            QVERIFY(rawFile(platform::encodePath(root) + "/last\xe9"));
        }
        iso::IsoOptions o;
        base(o, root);
        o.setCheck(iso::Opt::Joliet, true);
        o.setCheck(iso::Opt::other_param, !other.isEmpty());
        o.setText(iso::Opt::other_param_value, other);
        if (program == "xorrisofs") {
            o.setText(iso::Opt::mkisofs_folder, QStringLiteral("/usr/bin/xorrisofs"));
            o.setBuilder(iso::Builder::Xorrisofs);
        }
        const CheckReport r = iso::runCheck(o);
        const CheckProblem *p = find(r, "Names that are not valid");
        QCOMPARE(p ? p->sentence.left(found.size()).toLower() : QString(), found.toLower());
        if (p) {
            QCOMPARE(p->fatal, fatal);
            QCOMPARE(p->examples, QStringList{"sub/f\\xe9.bin"}); // a name cut short at its end is no fault
            QCOMPARE(p->fix, QStringLiteral("Rename them, or add -input-charset iso8859-1 to Other Parameters"));
        }
        QCOMPARE(r.sectors >= 0, builds);
        QCOMPARE(r.hasFatal(), !builds);
        if (!builds)
            QVERIFY2(r.text().startsWith("mkisofs stopped with exit code 1.\n"
                                         "    Incorrectly encoded string (f\\xe9.bin) encountered.\n"
                                         "    Possibly creating an invalid Joliet extension. Aborting.\n"),
                     qPrintable(r.text()));
        // What Check says is what the program does.
        QDir().mkpath(path(QStringLiteral("out")));
        QFile::remove(path(QStringLiteral("out/cd.iso")));
        QCOMPARE(runRaw(iso::buildCommandLine(o).command.argv()).exitCode == 0, builds);
    }

    // With xorrisofs behind mkisofs, Check applies its rules and says so;
    // each rule as xorrisofs itself shows it in the image it writes.
    void rulesOfXorrisofs()
    {
        const QString root = path(QStringLiteral("xo"));
        touch(QStringLiteral("xo/1/2/3/4/5/6/7/8/deep.txt"));
        touch(QStringLiteral("xo/") + QString(70, 'k') + '1');
        touch(QStringLiteral("xo/") + QString(70, 'k') + '2');
        iso::IsoOptions o;
        base(o, root);
        o.setText(iso::Opt::mkisofs_folder, QStringLiteral("/usr/bin/xorrisofs"));
        o.setBuilder(iso::Builder::Xorrisofs);
        o.setCheck(iso::Opt::Joliet, true);
        o.setText(iso::Opt::preparer, QStringLiteral("Me, café@"));
        o.setText(iso::Opt::publisher_ID, QStringLiteral("PUBLISHER"));
        const CheckReport r = iso::runCheck(o);
        QVERIFY2(r.text().contains("Rules: xorrisofs's: Rock Ridge is always written, folders may lie at any depth"),
                 qPrintable(r.text()));
        QVERIFY(!find(r, "Folders 7 or more levels"));
        QVERIFY(!find(r, "Paths longer"));
        const CheckProblem *same = find(r, "Names that are the same Joliet name once cut: xorrisofs numbers them.");
        QVERIFY(same && !same->fatal);
        const CheckProblem *ids = find(r, "Ids that xorrisofs writes otherwise");
        QVERIFY(ids);
        QCOMPARE(ids->examples, QStringList{QStringLiteral("Preparer: Me, café@ is written ME, CAF__")});
        QVERIFY2(!r.hasFatal(), qPrintable(r.text()));

        QDir().mkpath(path(QStringLiteral("out")));
        const QString image = path(QStringLiteral("out/cd.iso"));
        QFile::remove(image);
        QCOMPARE(runRaw(iso::buildCommandLine(o).command.argv()).exitCode, 0);
        QProcess info;
        info.start(QStringLiteral("isoinfo"), {"-d", "-i", image});
        QVERIFY(info.waitForFinished(60000));
        const QString volume = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY2(volume.contains("Rock Ridge signatures"), qPrintable(volume)); // -r is not ticked
        QVERIFY(volume.contains(QStringLiteral("Data preparer id: ME, CAF__")));
        QVERIFY(volume.contains("Publisher id: PUBLISHER"));
        info.start(QStringLiteral("isoinfo"), {"-f", "-i", image});
        QVERIFY(info.waitForFinished(60000));
        QVERIFY(info.readAllStandardOutput().contains("/1/2/3/4/5/6/7/8/DEEP.TXT;1")); // at its depth

        // Below ISO level 3 it refuses a file of 4 GiB; at level 3 it takes it.
        touch(QStringLiteral("xo/huge"), qint64(4) << 30);
        CheckReport big = iso::runCheck(o);
        const CheckProblem *refused = find(big, "Files of 4 GiB or more: xorrisofs refuses them below ISO level 3.");
        QVERIFY(refused && refused->fatal);
        QCOMPARE(big.sectors, -1);
        o.setCheck(iso::Opt::ISO_level, true);
        o.setIsoLevel(3);
        big = iso::runCheck(o);
        QVERIFY(!find(big, "Files of 4 GiB"));
        QVERIFY2(big.sectors > (qint64(4) << 30) / 2048, qPrintable(big.text()));
        QFile::remove(path(QStringLiteral("xo/huge")));
    }

    // Check walks the tree mkisofs is given and matches the sort lines
    // against the root the command line names: a relative root counts from
    // the batch folder, a relative batch folder from Spindle's folder, as in
    // build.bat. What Check says is then what genisoimage does.
    void checkSeesWhatMkisofsBuilds_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("sortFile");
        QTest::addColumn<bool>("deep");
        QTest::newRow("relative root") << path("sp/bat/") << path("sp/bat/order.lst") << false;
        QTest::newRow("relative batch folder and sort file, deep tree") << "bat" << "order.lst" << true;
    }
    void checkSeesWhatMkisofsBuilds()
    {
        QFETCH(QString, batch);
        QFETCH(QString, sortFile);
        QFETCH(bool, deep);
        const QString saved = platform::spindleFolder();
        platform::setSpindleFolder(path("sp"));
        const QString tree = path("sp/bat/tree/");
        QDir(path("sp/bat")).removeRecursively();
        touch("sp/bat/tree/a.bin", 40000);
        touch("sp/bat/tree/b.bin", 40000);
        if (deep)
            touch("sp/bat/tree/1/2/3/4/5/6/7/8/deep.txt");
        QVERIFY(writeAll(path("sp/bat/order.lst"), platform::encodePath(tree) + "a.bin 1\n"
                                                       + platform::encodePath(tree) + "b.bin 300\n"));
        iso::IsoOptions o;
        o.setText(iso::Opt::mkisofs_folder, mkisofs());
        o.setText(iso::Opt::batch_folder, batch);
        o.setText(iso::Opt::root_folder, QStringLiteral("tree"));
        o.setText(iso::Opt::output_folder, QStringLiteral("out/"));
        o.setText(iso::Opt::output_filename, QStringLiteral("cd.iso"));
        o.setCheck(iso::Opt::Joliet, true); // names for the order reader
        o.setCheck(iso::Opt::sorting, true);
        o.setText(iso::Opt::sorting_list, sortFile);
        const CheckReport r = iso::runCheck(o);
        QDir().mkpath(path("sp/bat/out"));
        const RawRun build = runRaw(iso::buildCommandLine(o).command.argv());
        platform::setSpindleFolder(saved);
        QCOMPARE(build.exitCode, 0);
        const QString image = path("sp/bat/out/cd.iso");
        // Both lines moved their files.
        const RawRun order = runRaw({platform::encodePath(binDir() + "/spindle-cli"), "order", "--root",
                                     platform::encodePath(tree), platform::encodePath(image),
                                     platform::encodePath(path("sp/bat/order.lst"))});
        QVERIFY2(order.err.contains("2 of 2 sort lines match"), order.err.constData());
        QVERIFY2(!find(r, "Sort file lines"), qPrintable(r.text()));
        // genisoimage leaves out what the deep folder holds: Check says so.
        QProcess list;
        list.start(QStringLiteral("isoinfo"), {"-f", "-i", image});
        QVERIFY(list.waitForFinished(60000));
        const QByteArray listing = list.readAllStandardOutput();
        QVERIFY(listing.contains("/B.BIN"));
        if (deep)
            QVERIFY(!listing.contains("DEEP.TXT"));
        QCOMPARE(find(r, "Folders 7 or more levels") != nullptr, deep);
        QCOMPARE(r.problems.isEmpty(), !deep);
    }

    // The boot image as the picker stores it (its full path), before or
    // after the root, with or without the root's closing slash: -b gets its
    // path below the root and the image boots from it. One outside the root
    // is a Check problem, and genisoimage indeed fails.
    void bootImagePaths_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("boot");
        QTest::addColumn<bool>("bootFirst");
        QTest::addColumn<bool>("inside");
        QTest::newRow("root without a slash") << path("boot/t") << path("boot/t/b/l.bin") << false << true;
        QTest::newRow("boot image chosen first") << path("boot/t/") << path("boot/t/b/l.bin") << true << true;
        QTest::newRow("relative root") << "t" << path("boot/t/b/l.bin") << false << true;
        QTest::newRow("outside the root") << path("boot/t/") << path("boot/elsewhere/l.bin") << false << false;
    }
    void bootImagePaths()
    {
        QFETCH(QString, root);
        QFETCH(QString, boot);
        QFETCH(bool, bootFirst);
        QFETCH(bool, inside);
        touch("boot/t/b/l.bin", 2048);
        touch("boot/t/readme.txt");
        touch("boot/elsewhere/l.bin", 2048);
        iso::IsoOptions o;
        base(o, root);
        o.setText(iso::Opt::batch_folder, path("boot/"));
        o.setCheck(iso::Opt::bootable, true);
        o.setCheck(iso::Opt::no_emulation, true);
        if (bootFirst)
            o.setText(iso::Opt::root_folder, QString());
        o.setText(iso::Opt::boot_image, boot);
        o.setText(iso::Opt::root_folder, root);
        const CheckReport r = iso::runCheck(o);
        const CheckProblem *outside = find(r, "The boot image is outside the root folder");
        QCOMPARE(outside != nullptr, !inside);
        QDir().mkpath(path("out"));
        QFile::remove(path("out/cd.iso"));
        const exec::CommandLine command = iso::buildCommandLine(o).command;
        const RawRun build = runRaw(command.argv());
        QCOMPARE(build.exitCode == 0, inside);
        if (!inside)
            return;
        QCOMPARE(command.valueAfter("-b"), QByteArray("b/l.bin"));
        QProcess info;
        info.start(QStringLiteral("isoinfo"), {"-d", "-i", path("out/cd.iso")});
        QVERIFY(info.waitForFinished(60000));
        QVERIFY(info.readAllStandardOutput().contains("Eltorito defaultboot header"));
        QVERIFY2(!r.hasFatal(), qPrintable(r.text()));
    }

    void cleanTreeThroughTheCli()
    {
        const QString root = path(QStringLiteral("clean"));
        touch(QStringLiteral("clean/README.TXT"), 3000);
        touch(QStringLiteral("clean/DATA/FILE1.DAT"), 5000);
        const QString sortFile = path(QStringLiteral("clean.sort"));
        QFile f(sortFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(platform::encodePath(root) + "/DATA/FILE1.DAT 10\n" + platform::encodePath(root) + "/README.TXT 5\n");
        f.close();
        iso::IsoOptions o;
        base(o, root);
        o.setCheck(iso::Opt::sorting, true);
        o.setText(iso::Opt::sorting_list, sortFile);
        const QString tmpl = path(QStringLiteral("clean.mkiso"));
        QString error;
        QVERIFY2(iso::saveTemplate(tmpl, o, &error), qPrintable(error));

        const CheckReport r = iso::runCheck(o);
        QVERIFY2(r.problems.isEmpty(), qPrintable(r.text()));
        QCOMPARE(r.entries, 3);
        QVERIFY(r.sectors > 0 && r.sectors < 333000);

        QProcess cli;
        cli.start(binDir() + "/spindle-cli", {"check", tmpl});
        QVERIFY(cli.waitForFinished(60000));
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(out.contains("No problems found."), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("Size: %1 sectors").arg(r.sectors)));
        QVERIFY(out.contains("Fits: 74-min CD, 80-min CD, 90-min CD, 99-min CD, single-layer DVD\n"));

        // A fatal line: exit 1. No template: 2.
        QVERIFY(f.open(QIODevice::Append));
        f.write("\n\n");
        f.close();
        cli.start(binDir() + "/spindle-cli", {"check", tmpl});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        const QString refused = QString::fromUtf8(cli.readAllStandardOutput());
        QVERIFY(refused.contains("Problem: Sort file lines genisoimage refuses"));
        // The size comes from a run without the sort file.
        QVERIFY2(refused.contains(QStringLiteral("Size: %1 sectors").arg(r.sectors)), qPrintable(refused));
        cli.start(binDir() + "/spindle-cli", {"check"});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 2);
        cli.start(binDir() + "/spindle-cli", {"check", path("none.mkiso")});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 2);
    }

    // The window: Check shows the report; after a Check, Run Batch checks
    // again when the options changed, and asks before going on when the
    // image would be unusable.
    void checkButtonAndRunBatch()
    {
        QTemporaryDir spindle;
        platform::setSpindleFolder(spindle.path());
        QVERIFY(QFile::link(mkisofs(), spindle.filePath(QStringLiteral("mkisofs"))));
        auto *dialogs = new FakeDialogs;
        createWindowsWith(dialogs);
        TMkisofs_form *f = app::windows().Mkisofs_form;
        f->FormActivate();
        touch(QStringLiteral("win/tree/README.TXT"), 100);
        QDir().mkpath(path(QStringLiteral("win/out")));
        QDir().mkpath(path(QStringLiteral("win/bat")));
        const QString sortFile = path(QStringLiteral("win/order.lst"));
        QVERIFY(writeAll(sortFile, platform::encodePath(path(QStringLiteral("win/tree/README.TXT"))) + " 5\n\n"));
        f->Edit7->setText(path(QStringLiteral("win/tree/")));
        f->Edit8->setText(path(QStringLiteral("win/out/")));
        f->Edit13->setText(QStringLiteral("cd.iso"));
        f->Edit9->setText(path(QStringLiteral("win/bat/")));
        f->CheckBox2->setChecked(true);
        f->Edit17->setText(sortFile);

        QPushButton *check = f->findChild<QPushButton *>(QStringLiteral("CheckBT"));
        QVERIFY(check);
        QCOMPARE(check->text().remove(QLatin1Char('&')), QStringLiteral("Check"));
        check->click();
        QVERIFY(f->CheckPanel && f->CheckPanel->isVisible());
        QPlainTextEdit *memo = f->CheckPanel->findChild<QPlainTextEdit *>(QStringLiteral("CheckMemo"));
        QVERIFY(memo && memo->isReadOnly());
        QVERIFY2(memo->toPlainText().contains("Problem: Sort file lines genisoimage refuses"), qPrintable(memo->toPlainText()));
        QVERIFY(memo->toPlainText().contains("line 2 is empty: genisoimage stops there"));
        QVERIFY(dialogs->log.isEmpty());

        // A failed run leaves the console open for reading: close it.
        dialogs->onMessage = [](const QString &) {
            QTimer::singleShot(0, [] {
                if (app::windows().console->isVisible())
                    app::windows().console->CloseBTClick();
            });
        };
        // Nothing changed since the Check: Run Batch runs without asking,
        // and genisoimage refuses the sort file as Check said.
        f->MkBatBTClick();
        QVERIFY(dialogs->log.isEmpty());
        f->RunBatBTClick();
        QCOMPARE(dialogs->log.size(), 1);
        QVERIFY2(dialogs->log.first().startsWith("message:Warning:Process finished!\nThe command failed"),
                 qPrintable(dialogs->log.first()));
        QVERIFY(app::windows().console->Memo1->toPlainText().contains("Incorrect sort file format"));

        // A change: checked again, the question answered No: nothing runs.
        const QString question = QStringLiteral("confirm:Check found problems that would make the image unusable "
                                                "or the build fail. Run Batch anyway?");
        dialogs->log.clear();
        memo->clear();
        f->CheckBox1->setChecked(true);
        f->RunBatBTClick();
        QCOMPARE(dialogs->log, QStringList{question});
        QVERIFY(memo->toPlainText().contains("Problem: Sort file lines"));
        // Yes goes on regardless.
        dialogs->log.clear();
        f->CheckBox1->setChecked(false);
        dialogs->confirmAnswers = {true};
        f->RunBatBTClick();
        QCOMPARE(dialogs->log.size(), 2);
        QCOMPARE(dialogs->log.first(), question);
        QVERIFY(dialogs->log.last().startsWith("message:Warning:Process finished!"));

        // Mended: the next Run Batch checks, finds nothing and runs.
        QVERIFY(writeAll(sortFile, platform::encodePath(path(QStringLiteral("win/tree/README.TXT"))) + " 5\n"));
        f->CheckBox1->setChecked(true);
        dialogs->log.clear();
        f->MkBatBTClick();
        f->RunBatBTClick();
        QCOMPARE(dialogs->log.size(), 1);
        QVERIFY2(dialogs->log[0].startsWith("message:Info:Process finished!\n"), qPrintable(dialogs->log[0]));
        QVERIFY(memo->toPlainText().contains("No problems found."));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("win/out/cd.iso"))));
        destroyWindowsOf(dialogs);
    }
};

QTEST_MAIN(TestCheck)
#include "test_check.moc"
