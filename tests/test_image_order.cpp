#include "testutil.h"

#include "iso/order_check.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <map>

using namespace iso;

namespace {

std::string bytes(const QString &s) { return s.toStdString(); }

ImageListing listingOf(const QByteArray &data, const ReadLimits &limits = {})
{
    const MemoryImage src(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
    return readImageOrder(src, limits);
}

// Sort lines as the reader gives them: name, weight, line.
struct Line
{
    std::string name;
    int32_t weight;
    int line;
};
base::SortLines sortLines(const std::vector<Line> &lines)
{
    base::SortLines out;
    for (const Line &l : lines) {
        out.names.push_back(l.name);
        out.weights.push_back(l.weight);
        out.lineNumbers.push_back(l.line);
    }
    return out;
}
OrderCheck checkOrder(const ImageListing &l, const std::vector<Line> &lines, const std::string &root)
{
    return iso::checkOrder(l, sortLines(lines), root);
}

std::map<std::string, uint64_t> sizes(const ImageListing &l)
{
    std::map<std::string, uint64_t> m;
    for (const ImageFile &f : l.files)
        m[f.path] = f.size;
    return m;
}

// A hand-made image: descriptors at 16 (primary) and 17 (terminator),
// folders where the test puts them.
struct Synthetic
{
    QByteArray data = QByteArray(40 * 2048, 0);
    Synthetic()
    {
        char *pvd = data.data() + 16 * 2048;
        pvd[0] = 1;
        std::memcpy(pvd + 1, "CD001", 5);
        pvd[129] = 8; // block size 2048
        char *t = data.data() + 17 * 2048;
        t[0] = char(255);
        std::memcpy(t + 1, "CD001", 5);
    }
    static QByteArray record(const QByteArray &name, uint32_t extent, uint32_t size, bool dir)
    {
        QByteArray r(33 + name.size() + (name.size() % 2 ? 0 : 1), 0);
        r[0] = char(r.size());
        std::memcpy(r.data() + 2, &extent, 4);
        std::memcpy(r.data() + 10, &size, 4);
        r[25] = dir ? 2 : 0;
        r[32] = char(name.size());
        std::memcpy(r.data() + 33, name.constData(), size_t(name.size()));
        return r;
    }
    void root(uint32_t extent, uint32_t size)
    {
        const QByteArray r = record(QByteArray(1, 0), extent, size, true);
        data.replace(16 * 2048 + 156, r.size(), r);
    }
    // A folder at `sector` holding "." and ".." and the given records.
    void folder(uint32_t sector, const QList<QByteArray> &records, uint32_t parent = 20)
    {
        QByteArray d = record(QByteArray(1, 0), sector, 2048, true) + record(QByteArray(1, 1), parent, 2048, true);
        for (const QByteArray &r : records)
            d += r;
        if (data.size() < qsizetype(sector + 1) * 2048)
            data.resize(qsizetype(sector + 1) * 2048, 0);
        data.replace(qsizetype(sector) * 2048, d.size(), d);
    }
};
} // namespace

class TestImageOrder : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_root;
    QMap<QString, QString> m_images; // option -> image
    QString path(const QString &n) const { return m_dir.filePath(n); }
    QString cli() const { return binDir() + "/spindle-cli"; }

    // The tree, with files of distinct sizes so each can be told apart.
    const QMap<QString, int> m_tree{{"boot/loader.bin", 3000},   {"video/intro.mpg", 50000},
                                    {"video/credits.mpg", 40000}, {"setup.exe", 9000},
                                    {"docs/readme.txt", 700},     {"docs/license.txt", 800},
                                    {"docs/old/notes.txt", 900},  {"empty.txt", 0}};

    QString buildImage(const QString &name, const QStringList &opts, const QString &sortFile)
    {
        const QString iso = path(name);
        QStringList args{"-quiet"};
        args << opts << "-sort" << sortFile << "-o" << iso << m_root;
        const ProgramRun r = runProgram(binDir() + "/mkisofs", args);
        if (r.code != 0)
            qWarning() << args << r.err;
        return r.code == 0 ? iso : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_root = path("src");
        for (auto it = m_tree.begin(); it != m_tree.end(); ++it) {
            QDir().mkpath(QFileInfo(m_root + "/" + it.key()).path());
            QVERIFY(writeAll(m_root + "/" + it.key(), QByteArray(it.value(), 'x')));
        }
        // The build's sort file: boot first, the video next, setup, then the
        // docs folder's weight for everything under it except old/.
        const QByteArray sort = (m_root + "/boot/loader.bin 1000\n" + m_root + "/video/intro.mpg 500\n" + m_root +
                                 "/video/credits.mpg 499\n" + m_root + "/setup.exe 100\n" + m_root + "/docs 50\n" +
                                 m_root + "/docs/old -10\n")
                                    .toUtf8();
        QVERIFY(writeAll(path("build.sort"), sort));
        // The same files weighed the other way round.
        const QByteArray other = (m_root + "/boot/loader.bin 1\n" + m_root + "/video 2000\n" + m_root + "/setup.exe 100\n").toUtf8();
        QVERIFY(writeAll(path("other.sort"), other));
        for (const QString &opt : {QString("-r"), QString("-J"), QString()}) {
            const QString iso = buildImage("img" + opt + ".iso", opt.isEmpty() ? QStringList() : QStringList{opt},
                                           path("build.sort"));
            QVERIFY(!iso.isEmpty());
            m_images[opt] = iso;
        }
    }

    // Every file of the tree, with its size, under the names each kind of
    // image carries, sorted by first sector, and in the build's order.
    void genisoimageImages_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("names");
        QTest::newRow("Rock Ridge") << "-r" << int(NameSource::RockRidge);
        QTest::newRow("Joliet") << "-J" << int(NameSource::Joliet);
        QTest::newRow("plain") << "" << int(NameSource::Iso9660);
    }
    void genisoimageImages()
    {
        QFETCH(QString, option);
        QFETCH(int, names);
        const FileImage image(bytes(m_images[option]));
        QVERIFY(image.isOpen());
        const ImageListing l = readImageOrder(image);
        QVERIFY2(l.ok, l.error.c_str());
        QVERIFY(l.problems.empty());
        QCOMPARE(int(l.names), names);
        std::map<std::string, uint64_t> want;
        for (auto it = m_tree.begin(); it != m_tree.end(); ++it)
            want[bytes(names == int(NameSource::Iso9660) ? it.key().toUpper() : it.key())] = uint64_t(it.value());
        QCOMPARE(sizes(l), want);
        for (size_t i = 1; i < l.files.size(); ++i)
            QVERIFY(l.files[i - 1].extent <= l.files[i].extent);
        if (names == int(NameSource::Iso9660))
            return; // mapped names cannot match the tree's
        const OrderCheck c = iso::checkOrder(l, base::readSortLines(readAll(path("build.sort")).toStdString()), std::string());
        QCOMPARE(QString::fromStdString(c.root), m_root);
        QVERIFY(c.rootGuessed);
        QCOMPARE(c.outOfOrder, size_t(0));
        QCOMPARE(c.linesMatched, size_t(6));
        // The first file is the heaviest, the docs folder's weight reaches
        // its files, old/ has its own.
        QCOMPARE(c.files.front().file.path, std::string("boot/loader.bin"));
        for (const OrderedFile &o : c.files) {
            if (o.file.path == "docs/readme.txt")
                QCOMPARE(o.weight, 50);
            if (o.file.path == "docs/old/notes.txt")
                QCOMPARE(o.weight, -10);
            if (o.file.path == "empty.txt")
                QCOMPARE(o.weight, 0);
        }
    }

    // The command line: in order with the build's file, out of order with
    // another, and the marks on exactly the files that lie too late.
    void orderCommand()
    {
        const QString iso = m_images["-r"];
        ProgramRun r = runProgram(cli(), {"order", iso});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count('\n'), m_tree.size());
        QVERIFY(r.out.contains("\t3000\tboot/loader.bin\n"));

        r = runProgram(cli(), {"order", iso, path("build.sort")});
        QCOMPARE(r.code, 0);
        QVERIFY(!r.out.contains("out of order"));
        QVERIFY(r.out.contains("\t3000\tboot/loader.bin\t1000\n"));
        QVERIFY2(r.err.contains("root folder " + m_root.toUtf8() + " (from the sort file); 6 of 6 sort lines match; 0 of 8 files out of order"),
                 r.err.constData());

        r = runProgram(cli(), {"order", "--root", m_root + "/", iso, path("other.sort")});
        QCOMPARE(r.code, 1);
        QStringList marked;
        for (const QByteArray &line : r.out.split('\n'))
            if (line.endsWith("\tout of order"))
                marked << QString::fromUtf8(line.split('\t').at(2));
        // loader (1) lies first: everything heavier after it is late, but
        // not the docs (0) nor the empty file.
        marked.sort();
        QCOMPARE(marked, QStringList({"setup.exe", "video/credits.mpg", "video/intro.mpg"}));
        QVERIFY(r.out.contains("\t40000\tvideo/credits.mpg\t2000\tout of order\n"));
        QVERIFY(r.err.contains("root folder " + m_root.toUtf8() + "; 3 of 3 sort lines match; 3 of 8 files out of order"));

        // A root under which nothing matches.
        r = runProgram(cli(), {"order", "--root", "/nowhere", iso, path("build.sort")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(": no line names a file or folder of the image under /nowhere"), r.err.constData());

        QCOMPARE(runProgram(cli(), {"order"}).code, 2);
        QCOMPARE(runProgram(cli(), {"order", "--root", "/x", iso}).code, 2);
        QCOMPARE(runProgram(cli(), {"order", iso, path("build.sort"), "extra"}).code, 2);
        QCOMPARE(runProgram(cli(), {"order", "--bogus", iso}).code, 2);
        r = runProgram(cli(), {"order", path("missing.iso")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, path("missing.iso").toUtf8() + ": No such file or directory\n");
        QVERIFY(writeAll(path("plain.bin"), QByteArray(100000, 'z')));
        r = runProgram(cli(), {"order", path("plain.bin")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("no volume descriptor at sector 16"), r.err.constData());
    }

    // The weight rules on a listing without an image.
    void weights()
    {
        ImageListing l;
        l.ok = true;
        l.folders = {"a", "a/deep", "b"};
        l.files = {{"a/x", 10, 5}, {"a/deep/w", 11, 5}, {"b/z", 12, 5}, {"top", 13, 5},
                   {"b/empty", 13, 0}, {"b/same", 14, 5}, {"b/twin", 14, 5}};
        auto weightsOf = [&](const std::vector<Line> &lines, const std::string &root) {
            std::map<std::string, int32_t> m;
            for (const OrderedFile &o : checkOrder(l, lines, root).files)
                m[o.file.path] = o.weight;
            return m;
        };
        // The last matching line wins; a folder line reaches everything under
        // it, a deeper folder's own line wins over it whatever the order.
        auto w = weightsOf({{"/r/a", 100, 1}, {"/r/a/deep", 5, 2}, {"/r/a/x", 7, 3}, {"/r/a/x", 8, 4}}, "/r");
        QCOMPARE(w["a/x"], 8);
        QCOMPARE(w["a/deep/w"], 5);
        QCOMPARE(w["b/z"], 0);
        w = weightsOf({{"/r/a/deep", 5, 1}, {"/r/a", 100, 2}}, "/r//");
        QCOMPARE(w["a/deep/w"], 5);
        QCOMPARE(w["a/x"], 100);
        // Wildcards do not cross a slash; a match on a folder reaches into it.
        w = weightsOf({{"/r/*", 3, 1}, {"/r/a/*", 9, 2}}, "/r");
        QCOMPARE(w["top"], 3);
        QCOMPARE(w["b/z"], 3);
        QCOMPARE(w["a/deep/w"], 9);
        w = weightsOf({{"/r/*z", 3, 1}}, "/r");
        QCOMPARE(w["b/z"], 0);
        // A line for the root folder itself.
        w = weightsOf({{"/r", 4, 1}}, "/r");
        QCOMPARE(w["a/deep/w"], 4);

        // Out of order: a heavier file after a lighter one; equal sectors
        // and empty files never count.
        OrderCheck c = checkOrder(l, {{"/r/a/x", -1, 1}, {"/r/b/empty", 50, 2}, {"/r/b/twin", -3, 3}}, "/r");
        std::map<std::string, bool> late;
        for (const OrderedFile &o : c.files)
            late[o.file.path] = o.outOfOrder;
        QVERIFY(!late["a/x"]);
        QVERIFY(late["a/deep/w"] && late["b/z"] && late["top"] && late["b/same"]);
        QVERIFY(!late["b/twin"] && !late["b/empty"]);
        QCOMPARE(c.outOfOrder, size_t(4));
        c = checkOrder(l, {{"/r/a/x", 9, 1}, {"/r/b/same", -2, 2}, {"/r/b/twin", -2, 3}}, "/r");
        QCOMPARE(c.outOfOrder, size_t(0));

        // The root from the lines: the folder most lines agree on, the
        // shortest on a tie.
        c = checkOrder(l, {{"/m/r/a/x", 1, 1}, {"/m/r/top", 1, 2}, {"/q/b/z", 1, 3}}, "");
        QCOMPARE(c.root, std::string("/m/r"));
        QVERIFY(c.rootGuessed);
        QCOMPARE(c.linesMatched, size_t(2));
        c = checkOrder(l, {{"/m/a/deep/w", 1, 1}}, "");
        QCOMPARE(c.root, std::string("/m"));
        c = checkOrder(l, {{"/k/b/z", 1, 1}}, "");
        QCOMPARE(c.root, std::string("/k"));
        QCOMPARE(checkOrder(l, {{"/k/none", 1, 1}}, "").root, std::string());
    }

    // An image cut at every sector boundary and at random points: a clear
    // error or a listing; complete only when nothing was reported.
    void truncatedImages()
    {
        const QByteArray full = readAll(m_images["-r"]);
        const ImageListing whole = listingOf(full);
        QVERIFY(whole.ok);
        QList<qsizetype> cuts;
        for (qsizetype at = 0; at < full.size(); at += 2048)
            cuts << at;
        QRandomGenerator g(17);
        for (int i = 0; i < 300; ++i)
            cuts << qsizetype(g.bounded(quint32(full.size())));
        int errors = 0, partial = 0;
        for (qsizetype at : cuts) {
            const ImageListing l = listingOf(full.left(at));
            if (!l.ok) {
                QVERIFY(!l.error.empty());
                ++errors;
                continue;
            }
            if (l.problems.empty()) {
                QCOMPARE(sizes(l), sizes(whole));
            } else {
                ++partial;
                QVERIFY(l.files.size() <= whole.files.size());
            }
        }
        QVERIFY(errors > 0 && partial > 0);
    }

    // A folder that points at itself or at its parent, a zero length in
    // the middle of a sector, lengths past the end, a depth bomb.
    void hostileImages()
    {
        {
            Synthetic s;
            s.root(20, 2048);
            s.folder(20, {Synthetic::record("SELF", 21, 2048, true), Synthetic::record("F.TXT;1", 30, 10, false)});
            s.folder(21, {Synthetic::record("UP", 20, 2048, true), Synthetic::record("ME", 21, 2048, true),
                          Synthetic::record("G.TXT;1", 31, 20, false)});
            const ImageListing l = listingOf(s.data);
            QVERIFY(l.ok);
            QCOMPARE(sizes(l), (std::map<std::string, uint64_t>{{"F.TXT", 10}, {"SELF/G.TXT", 20}}));
            QCOMPARE(l.problems.size(), size_t(2));
            QVERIFY(l.problems[0].find("points at a folder already read") != std::string::npos);
        }
        {
            // A zero length ends the sector's records: the file after it
            // is not read, the next sector is.
            Synthetic s;
            s.root(20, 4096);
            QByteArray one = Synthetic::record("A;1", 30, 1, false);
            s.folder(20, {one, QByteArray(1, 0), Synthetic::record("B;1", 31, 2, false)});
            const QByteArray c = Synthetic::record("C;1", 32, 3, false);
            s.data.replace(21 * 2048, c.size(), c);
            const ImageListing l = listingOf(s.data);
            QVERIFY(l.ok);
            QCOMPARE(sizes(l), (std::map<std::string, uint64_t>{{"A", 1}, {"C", 3}}));
        }
        {
            // Lengths past the end: of the root, of a file, a record over
            // its sector, a folder beyond the image.
            Synthetic s;
            s.root(20, 0xFFFFFFFFu);
            // ".", "..", BIG, FAR, then fillers up to 100 bytes before the
            // sector's end, where a 200-byte record starts.
            QByteArray d = Synthetic::record("BIG;1", 30, 0xFFFFFFF0u, false) +
                           Synthetic::record("FAR", 4000000000u, 2048, true);
            qsizetype used = 68 + d.size();
            for (int i = 0; used < 1948; ++i) {
                const qsizetype left = 1948 - used;
                const int n = left >= 248 ? 181 : int(left - 33); // record sizes are even, >= 34
                const QByteArray f = Synthetic::record(QByteArray(n, char('a' + i)), 30, 1, false);
                d += f;
                used += f.size();
            }
            QCOMPARE(used, qsizetype(1948));
            QByteArray over = Synthetic::record("OVER;1", 30, 1, false);
            over[0] = char(200);
            s.folder(20, {d + over});
            const ImageListing l = listingOf(s.data);
            QVERIFY(l.ok);
            const auto got = sizes(l);
            QCOMPARE(got.at("BIG"), uint64_t(0xFFFFFFF0u));
            QVERIFY(!got.count("OVER"));
            std::string all;
            for (const std::string &p : l.problems)
                all += p + "\n";
            QVERIFY2(all.find("the root folder runs past the end of the image") != std::string::npos, all.c_str());
            QVERIFY2(all.find("file \"BIG\" runs past the end of the image") != std::string::npos, all.c_str());
            QVERIFY2(all.find("overruns its sector") != std::string::npos, all.c_str());
            QVERIFY2(all.find("folder \"FAR\" starts past the end of the image") != std::string::npos, all.c_str());
        }
        {
            // 300 folders, each inside the last.
            Synthetic s;
            s.root(20, 2048);
            for (uint32_t i = 0; i < 300; ++i)
                s.folder(20 + i, {Synthetic::record("D", 21 + i, 2048, true)}, i ? 19 + i : 20);
            const ImageListing l = listingOf(s.data);
            QVERIFY(l.ok);
            QCOMPARE(l.folders.size(), size_t(65));
            QCOMPARE(l.problems.size(), size_t(1));
            QVERIFY(l.problems[0].find("deeper than 64 levels") != std::string::npos);
        }
        {
            // One folder of many entries against a small entry cap.
            Synthetic s;
            s.root(20, 2048 * 8);
            s.data.resize(30 * 2048);
            qsizetype at = 20 * 2048, inSector = 0;
            for (int i = 0; i < 400; ++i) {
                const QByteArray r = Synthetic::record(QByteArray("F") + QByteArray::number(i) + ";1", 25, 1, false);
                if (inSector + r.size() > 2048) {
                    at += 2048 - inSector;
                    inSector = 0;
                }
                s.data.replace(at, r.size(), r);
                at += r.size();
                inSector += r.size();
            }
            ReadLimits limits;
            limits.maxEntries = 100;
            const ImageListing l = listingOf(s.data, limits);
            QCOMPARE(l.files.size(), size_t(100));
            QCOMPARE(l.problems.back(), std::string("more than 100 entries; the listing stops"));
        }
        // Descriptors that are not there.
        QVERIFY(!listingOf(QByteArray(17 * 2048 - 1, 0)).ok);
        Synthetic s;
        s.data[16 * 2048 + 1] = 'X';
        QCOMPARE(listingOf(s.data).error, std::string("no volume descriptor at sector 16 (no \"CD001\")"));
        Synthetic noRoot;
        QCOMPARE(listingOf(noRoot.data).error, std::string("the primary volume descriptor holds no root folder record"));
    }

    // Rock Ridge names longer than a record holds go on in a continuation
    // area; one that points past the end is skipped with a word.
    void rockRidgeContinuation()
    {
        Synthetic s;
        s.root(20, 2048);
        QByteArray dot = Synthetic::record(QByteArray(1, 0), 20, 2048, true);
        dot += QByteArray("SP\x07\x01\xBE\xEF\x00", 7);
        dot[0] = char(dot.size());
        auto withSu = [](QByteArray r, const QByteArray &su) {
            r += su;
            r[0] = char(r.size());
            return r;
        };
        auto ce = [](uint32_t block, uint32_t offset, uint32_t len) {
            QByteArray e(28, 0);
            e[0] = 'C'; e[1] = 'E'; e[2] = 28; e[3] = 1;
            std::memcpy(e.data() + 4, &block, 4);
            std::memcpy(e.data() + 12, &offset, 4);
            std::memcpy(e.data() + 20, &len, 4);
            return e;
        };
        auto nm = [](uint8_t flags, const QByteArray &name) {
            QByteArray e = QByteArray("NM\0\x01", 4) + char(flags) + name;
            e[2] = char(e.size());
            return e;
        };
        const QByteArray nm1 = nm(1, "first");
        const QByteArray nm2 = nm(0, "-second");
        QByteArray d = dot + Synthetic::record(QByteArray(1, 1), 20, 2048, true);
        d += withSu(Synthetic::record("LONG;1", 30, 5, false), nm1 + ce(25, 100, quint32(nm2.size())));
        d += withSu(Synthetic::record("GONE;1", 31, 6, false), ce(99999, 0, 20));
        d += withSu(Synthetic::record("LOOP;1", 32, 7, false), ce(25, 200, 28));
        s.data.replace(20 * 2048, d.size(), d);
        s.data.replace(25 * 2048 + 100, nm2.size(), nm2);
        const QByteArray loop = ce(25, 200, 28); // a continuation area that continues in itself
        s.data.replace(25 * 2048 + 200, loop.size(), loop);
        const ImageListing l = listingOf(s.data);
        QVERIFY(l.ok);
        QCOMPARE(int(l.names), int(NameSource::RockRidge));
        QCOMPARE(sizes(l), (std::map<std::string, uint64_t>{{"first-second", 5}, {"GONE", 6}, {"LOOP", 7}}));
        QCOMPARE(l.problems.size(), size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestImageOrder)
#include "test_image_order.moc"
