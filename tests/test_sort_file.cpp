// A sort file as genisoimage reads it: the one reader against genisoimage
// itself, and the Layout Sorter, Check and spindle-cli order saying the
// same of one file.
#define SPINDLE_UI_TESTS
#include "testutil.h"

#include "base/sort_lines.h"
#include "base/sort_match.h"
#include "iso/check.h"
#include "iso/order_check.h"
#include "platform/platform.h"
#include "tree/ui/sorter_form.h"

#include <QApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <fnmatch.h>

namespace {

std::string_view view(const QByteArray &b) { return std::string_view(b.constData(), size_t(b.size())); }

const QString kStops = QStringLiteral(": genisoimage stops there (\"Incorrect sort file format\")");
} // namespace

class TestSortFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_root, m_image;
    QString path(const QString &n) const { return m_dir.filePath(n); }
    // "R" in a line is the root folder.
    QByteArray withRoot(QByteArray text) const { return text.replace('R', QFile::encodeName(m_root)); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_root = path("r");
        QVERIFY(QDir().mkpath(m_root));
        for (const char *n : {"a", "b", "c"})
            QVERIFY(writeAll(m_root + "/" + n, QByteArray(5000, n[0])));
        m_image = path("plain.iso");
        QCOMPARE(runProgram(binDir() + "/mkisofs", {"-quiet", "-r", "-o", m_image, m_root}).code, 0);
    }

    // What the reader says of a file is what genisoimage does with it: it
    // stops (status 255) exactly where the reader says, and otherwise lays
    // the files out by the weights the reader gives.
    void readerAgreesWithGenisoimage_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("stopLine");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("empty line") << QByteArray("R/a 1\n\nR/c 3\n") << 2 << QStringList{"line 2 is empty" + kStops};
        QTest::newRow("empty line, CR LF") << QByteArray("R/a 1\r\n\r\nR/c 3\r\n") << 2
                                           << QStringList{"line 2 is empty" + kStops};
        QTest::newRow("no blank") << QByteArray("R/a 1\nR/b7\nR/c 3\n") << 2
                                  << QStringList{"line 2 has no blank or tab before a weight" + kStops};
        QTest::newRow("no blank, no line end") << QByteArray("R/a 1\nR/c") << 2
                                               << QStringList{"line 2 has no blank or tab before a weight" + kStops};
        QTest::newRow("NUL byte") << QByteArray("R/a 1\nxy\0 5\nR/c 3\n", 18) << 2
                                  << QStringList{"line 2 holds a NUL byte, and no blank or tab before it" + kStops};
        QTest::newRow("line end past 4095 bytes")
            << QByteArray("R/a 1\n" + QByteArray(4093, 'x') + " 5\nR/c 3\n") << 2
            << QStringList{"line 2 is longer than 4095 bytes: genisoimage reads the rest as another line, without a "
                           "blank or tab, and stops there (\"Incorrect sort file format\")"};
        QTest::newRow("33-bit weights") << QByteArray("R/a 4294967296\nR/b 1\nR/c 8589934591\n") << 0
                                        << QStringList{"line 1: weight 4294967296 does not fit 32 bits: genisoimage takes 0",
                                                       "line 3: weight 8589934591 does not fit 32 bits: genisoimage takes -1"};
        QTest::newRow("a blank line is read") << QByteArray("R/a 5\n \nR/b 7\n") << 0 << QStringList{};
        QTest::newRow("tab before, blank after the weight")
            << QByteArray("R/a\t9\nR/b 2 \n") << 0
            << QStringList{"line 2: weight '' is not a whole number: genisoimage takes 0"};
        QTest::newRow("the last line wins") << QByteArray("R/c 1\nR/a 2\nR/c 3\n") << 0 << QStringList{};
        QTest::newRow("weight with a tail") << QByteArray("R/a 12abc\nR/b 20\n") << 0
                                            << QStringList{"line 1: weight '12abc' is not a whole number: genisoimage takes 12"};
        QTest::newRow("patterns") << QByteArray("R/[ab] 4\nR/\\c 6\nR/? 1\nR/b 5\n") << 0 << QStringList{};
    }
    void readerAgreesWithGenisoimage()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, stopLine);
        QFETCH(QStringList, messages);
        text = withRoot(text);
        const base::SortLines lines = base::readSortLines(view(text));
        QCOMPARE(lines.stopLine, stopLine);
        QStringList said;
        for (const std::string &m : lines.messages)
            said << QString::fromStdString(m);
        QCOMPARE(said, messages);

        const QString sortFile = path("case.sort"), image = path("case.iso");
        QVERIFY(writeAll(sortFile, text));
        QFile::remove(image);
        const ProgramRun r = runProgram(binDir() + "/mkisofs", {"-quiet", "-r", "-sort", sortFile, "-o", image, m_root});
        if (stopLine != 0) {
            QCOMPARE(r.code, 255);
            QVERIFY2(r.err.contains("Incorrect sort file format"), r.err.constData());
            return;
        }
        QVERIFY2(r.code == 0, r.err.constData());
        const iso::FileImage file(image.toStdString());
        const iso::ImageListing listing = iso::readImageOrder(file);
        QVERIFY(listing.ok);
        const iso::OrderCheck c = iso::checkOrder(listing, lines, m_root.toStdString());
        QCOMPARE(c.files.size(), size_t(3));
        for (size_t i = 1; i < c.files.size(); ++i)
            QVERIFY2(c.files[i - 1].weight >= c.files[i].weight,
                     qPrintable(QStringLiteral("%1 (%2) lies before %3 (%4)")
                                    .arg(QString::fromStdString(c.files[i - 1].file.path))
                                    .arg(c.files[i - 1].weight)
                                    .arg(QString::fromStdString(c.files[i].file.path))
                                    .arg(c.files[i].weight)));
    }

    // The Layout Sorter (Load List), Check and spindle-cli order give one
    // verdict on one file, in the same words.
    void sameVerdictEverywhere_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("verdict");
        QTest::addColumn<QString>("weights"); // the weights order gives; no line below a stop counts
        QTest::newRow("empty line") << QByteArray("R/a 1\n\nR/c 3\n") << QStringList{"line 2 is empty" + kStops}
                                    << "a 1, b 0, c 0";
        QTest::newRow("no blank") << QByteArray("R/a 1\nR/b7\nR/c 3\n")
                                  << QStringList{"line 2 has no blank or tab before a weight" + kStops}
                                  << "a 1, b 0, c 0";
        QTest::newRow("33-bit weight") << QByteArray("R/a 4294967296\nR/b 1\n")
                                       << QStringList{"line 1: weight 4294967296 does not fit 32 bits: genisoimage takes 0"}
                                       << "a 0, b 1, c 0";
        QTest::newRow("all three") << QByteArray("R/a 4294967296\nR/b7\n\nR/c 3\n")
                                   << QStringList{"line 1: weight 4294967296 does not fit 32 bits: genisoimage takes 0",
                                                  "line 2 has no blank or tab before a weight" + kStops,
                                                  "line 3 is empty" + kStops}
                                   << "a 0, b 0, c 0";
    }
    void sameVerdictEverywhere()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, verdict);
        QFETCH(QString, weights);
        const QString sortFile = path("verdict.sort");
        QVERIFY(writeAll(sortFile, withRoot(text)));

        iso::IsoOptions o;
        o.clearAll();
        o.setText(iso::Opt::root_folder, m_root);
        o.setCheck(iso::Opt::sorting, true);
        o.setText(iso::Opt::sorting_list, sortFile);
        iso::CheckReport report;
        iso::checkTree(o, iso::resolvePaths(o), &report);
        const QString check = report.text();

        auto *dialogs = new FakeDialogs;
        ui::setDialogs(dialogs);
        {
            Tsorter_form sorter;
            dialogs->fileAnswers << sortFile;
            sorter.Button14Click();
        }
        ui::setDialogs(nullptr);
        const QString sorter = dialogs->log.join('\n');
        delete dialogs;

        const ProgramRun order = runProgram(binDir() + "/spindle-cli", {"order", "--root", m_root, m_image, sortFile});
        const bool stops = verdict.join('\n').contains("stops there");
        if (stops)
            QCOMPARE(order.code, 1);
        QCOMPARE(report.hasFatal(), stops);
        QStringList given;
        for (const QByteArray &line : order.out.split('\n'))
            if (!line.isEmpty())
                given << QString::fromUtf8(line.split('\t').at(2) + ' ' + line.split('\t').at(3));
        QCOMPARE(given.join(", "), weights);
        for (const QString &v : verdict) {
            QVERIFY2(check.contains(v), qPrintable("Check:\n" + check));
            QVERIFY2(sorter.contains(v), qPrintable("Layout Sorter:\n" + sorter));
            QVERIFY2(order.err.contains(v.toUtf8()), order.err.constData());
        }
    }

    // The hash of exact names and the index of patterns find what trying
    // fnmatch with every line finds (the last matching line, and all).
    void matcherAgreesWithFnmatch()
    {
        QRandomGenerator rng(11);
        const char names[] = "abc/\\*?[]!-";
        const char paths[] = "abc/[]\\*-";
        auto word = [&](const char *alphabet, int size, int most) {
            std::string s;
            for (int i = int(rng.bounded(most + 1)); i > 0; --i)
                s += alphabet[rng.bounded(size)];
            return s;
        };
        for (int round = 0; round < 300; ++round) {
            // Brackets of plain bytes among them, which the matcher spells out.
            std::vector<std::string> lines{"a[bc]", "[ab]/c", "a[b-c]"};
            for (int i = 0; i < 30; ++i)
                lines.push_back(word(names, 11, 7));
            const base::SortMatcher m(lines);
            for (int k = 0; k < 100; ++k) {
                const std::string p = word(paths, 9, 6);
                long last = -1;
                std::vector<uint32_t> all, found;
                for (size_t i = 0; i < lines.size(); ++i)
                    if (::fnmatch(lines[i].c_str(), p.c_str(), FNM_PATHNAME) != FNM_NOMATCH) {
                        last = long(i);
                        all.push_back(uint32_t(i));
                    }
                QCOMPARE(m.lastMatch(p), last);
                m.allMatches(p, &found);
                std::sort(found.begin(), found.end());
                QCOMPARE(found, all);
            }
        }
    }

    // A name holding a tab or ending in a blank goes through
    // `sortlist sort` as it is; order writes the tab escaped.
    void namesWithTabsAndBlanks()
    {
        const QString root = path("odd");
        QVERIFY(QDir().mkpath(root));
        for (const char *n : {"t\tab", "end ", "plain"})
            QVERIFY(writeAll(root + "/" + n, QByteArray(5000, 'z')));
        const QByteArray r = QFile::encodeName(root);
        const QString in = path("odd.lst"), out = path("odd-sorted.lst"), image = path("odd.iso");
        QVERIFY(writeAll(in, r + "/t\tab 5\r\n" + r + "/end  9\r\n" + r + "/plain 1\r\n"));
        QCOMPARE(runProgram(binDir() + "/spindle-cli", {"sortlist", "sort", in, out}).code, 0);
        QCOMPARE(readAll(out), r + "/end  9\r\n" + r + "/t\tab 5\r\n" + r + "/plain 1\r\n");
        QCOMPARE(runProgram(binDir() + "/mkisofs", {"-quiet", "-r", "-sort", out, "-o", image, root}).code, 0);
        const ProgramRun order = runProgram(binDir() + "/spindle-cli", {"order", image, out});
        QVERIFY2(order.code == 0, order.err.constData());
        QCOMPARE(order.out.split('\n').size(), 4);
        QVERIFY2(order.out.contains("\tend \t9\n") && order.out.contains("\tt\\tab\t5\n"), order.out.constData());
    }
};

QTEST_MAIN(TestSortFile)
#include "test_sort_file.moc"
