#include "testutil.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>

namespace {

QByteArray randomBytes(int n, quint32 seed)
{
    QRandomGenerator g(seed);
    QByteArray b(n, 0);
    for (int i = 0; i < n; ++i)
        b[i] = char(g.bounded(256));
    return b;
}

// A small FAT boot sector image of `sectors` 512-byte sectors.
QByteArray fatImage(int sectors)
{
    QByteArray b = randomBytes(sectors * 512, 7);
    b[11] = 0; b[12] = 2;          // 512 bytes per sector
    b[13] = 1;                     // sectors per cluster
    b[19] = char(sectors & 0xff);  // total sectors (16-bit)
    b[20] = char(sectors >> 8);
    b[510] = char(0x55); b[511] = char(0xAA);
    return b;
}

// A hard-disk image: an MBR whose first partition covers the rest.
QByteArray hardDiskImage(int sectors)
{
    QByteArray b = randomBytes(sectors * 512, 9);
    b.replace(446, 64, QByteArray(64, 0));
    char *p = b.data() + 446;
    p[0] = char(0x80);
    p[1] = 1; p[2] = 1; p[3] = 0;   // CHS of the first sector
    p[4] = 0x06;                    // FAT16
    p[5] = 1; p[6] = char(0x3f); p[7] = 0;
    const quint32 start = 1, count = quint32(sectors - 1);
    for (int i = 0; i < 4; ++i) {
        p[8 + i] = char((start >> (8 * i)) & 0xff);
        p[12 + i] = char((count >> (8 * i)) & 0xff);
    }
    b[510] = char(0x55); b[511] = char(0xAA);
    return b;
}

void put32(QByteArray &b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

// A 448 KiB volume whose 40-sector catalog holds 2,557 no-emulation
// entries after the initial one; `entry(i)` gives the start sector and
// load count of entry i (0 is the initial entry).
QByteArray floodedImage(const std::function<std::pair<quint32, quint16>(int)> &entry)
{
    QByteArray b(224 * 2048, 0);
    b[16 * 2048] = 1;
    b.replace(16 * 2048 + 1, 5, "CD001");
    put32(b, 16 * 2048 + 80, 224);
    b.replace(17 * 2048 + 1, 5, "CD001");
    b.replace(17 * 2048 + 7, 23, "EL TORITO SPECIFICATION");
    put32(b, 17 * 2048 + 0x47, 18);
    const qsizetype cat = 18 * 2048;
    b[cat] = 1;
    b[cat + 30] = char(0x55);
    b[cat + 31] = char(0xAA);
    quint16 sum = 0;
    for (int i = 0; i < 32; i += 2)
        sum = quint16(sum + (uchar(b[cat + i]) | uchar(b[cat + i + 1]) << 8));
    b[cat + 28] = char(quint16(-sum) & 0xff);
    b[cat + 29] = char(quint16(-sum) >> 8);
    const int sectionEntries = 2557;
    b[cat + 64] = char(0x91);
    b[cat + 66] = char(sectionEntries & 0xff);
    b[cat + 67] = char(sectionEntries >> 8);
    for (int i = 0; i <= sectionEntries; ++i) {
        const qsizetype at = cat + (i == 0 ? 32 : 64 + 32 * i);
        const auto [rba, count] = entry(i);
        b[at] = char(0x88);
        b[at + 6] = char(count & 0xff);
        b[at + 7] = char(count >> 8);
        put32(b, at + 8, rba);
    }
    return b;
}

// The files a run left in `dir`, and their bytes together.
qint64 bytesIn(const QString &dir, int *files)
{
    const QFileInfoList list = QDir(dir).entryInfoList(QDir::Files | QDir::Hidden);
    qint64 sum = 0;
    for (const QFileInfo &i : list)
        sum += i.size();
    *files = int(list.size());
    return sum;
}
} // namespace

class TestBbie : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_noemul, m_floppy, m_hd, m_efi;
    QString bbie() const { return binDir() + "/bbie"; }
    QString path(const QString &n) const { return m_dir.filePath(n); }

    // Builds an image from the tree "root" with the given mkisofs options.
    QString makeIso(const QString &name, const QStringList &opts, bool xorriso = false)
    {
        const QString iso = path(name);
        QStringList args;
        QString program = "genisoimage";
        if (xorriso) {
            program = "xorriso";
            args << "-as" << "mkisofs";
        }
        args << "-quiet" << opts << "-o" << iso << path("root");
        const ProgramRun r = runProgram(program, args, m_dir.path());
        if (r.code != 0)
            qWarning() << program << args << r.err;
        return r.code == 0 ? iso : QString();
    }

    ProgramRun extract(const QString &iso, const QString &out)
    {
        QDir().mkpath(out);
        return runProgram(bbie(), {iso}, out);
    }

    QByteArray patched(const QString &iso, const std::function<void(QByteArray &, qsizetype catalog)> &f)
    {
        QByteArray data = readAll(iso);
        const uchar *p = reinterpret_cast<const uchar *>(data.constData()) + 17 * 2048 + 0x47;
        const qsizetype catalog = qsizetype(p[0] | p[1] << 8 | p[2] << 16 | quint32(p[3]) << 24) * 2048;
        f(data, catalog);
        return data;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir().mkpath(path("root/boot"));
        writeAll(path("root/readme.txt"), "hello");
        writeAll(path("root/boot/loader.bin"), randomBytes(5000, 1));
        writeAll(path("root/boot/floppy.img"), randomBytes(1474560, 2));
        writeAll(path("root/boot/hd.img"), hardDiskImage(200));
        writeAll(path("root/boot/efi.img"), fatImage(128));
        // The images every test reads, built once so each test runs alone too.
        m_noemul = makeIso("noemul.iso", {"-b", "boot/loader.bin", "-c", "boot/boot.cat",
                                          "-no-emul-boot", "-boot-load-size", "4"});
        m_floppy = makeIso("floppy.iso", {"-b", "boot/floppy.img", "-c", "boot/boot.cat"});
        m_hd = makeIso("hd.iso", {"-b", "boot/hd.img", "-hard-disk-boot", "-c", "boot/boot.cat"});
        m_efi = makeIso("efi.iso", {"-b", "boot/loader.bin", "-c", "boot/boot.cat", "-no-emul-boot",
                                    "-boot-load-size", "4", "-eltorito-alt-boot", "-e", "boot/efi.img",
                                    "-no-emul-boot"},
                        true);
        QVERIFY(!m_noemul.isEmpty() && !m_floppy.isEmpty() && !m_hd.isEmpty() && !m_efi.isEmpty());
    }

    // A no-emulation entry loads a few sectors of a longer loader: the file
    // that starts at its sector is written whole; where none does, the
    // load count, said to be perhaps only the loader's start.
    void noEmulationLoader_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("offTheFileStart");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QByteArray>("note");
        const QStringList boot{"-b", "boot/loader.bin", "-c", "boot/boot.cat", "-no-emul-boot", "-boot-load-size", "4"};
        QTest::newRow("Rock Ridge names") << (QStringList{"-R"} + boot) << false << 0 << 5000
            << QByteArray("boot image 1: no emulation, loads 4 sectors; the file /boot/loader.bin at that sector "
                          "is 5,000 bytes: written whole\n");
        QTest::newRow("ISO 9660 names") << boot << false << 0 << 5000
            << QByteArray("boot image 1: no emulation, loads 4 sectors; the file /BOOT/LOADER.BIN at that sector "
                          "is 5,000 bytes: written whole\n");
        QTest::newRow("no file starts there") << boot << true << 2048 << 2048
            << QByteArray("boot image 1: no emulation, loads 4 sectors; no file of the image's folders starts at "
                          "that sector: wrote 2,048 bytes, which may be only the start of the loader\n");
    }
    void noEmulationLoader()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, offTheFileStart);
        QFETCH(int, from);
        QFETCH(int, bytes);
        QFETCH(QByteArray, note);
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
        QString iso = makeIso(tag + ".iso", options);
        QVERIFY(!iso.isEmpty());
        if (offTheFileStart) {
            // The entry points one sector into the loader.
            writeAll(iso, patched(iso, [](QByteArray &d, qsizetype cat) { d[cat + 32 + 8] = char(d[cat + 32 + 8] + 1); }));
        }
        const QString out = path("loader_" + tag);
        const ProgramRun r = extract(iso, out);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("Sector count:  4\n  Load RBA:      "), r.out.constData());
        QVERIFY2(r.out.contains(note), r.out.constData());
        QCOMPARE(readAll(out + "/image1.bin"), readAll(path("root/boot/loader.bin")).mid(from, bytes));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"image1.bin"});
    }

    void floppyEmulation()
    {
        const ProgramRun r = extract(m_floppy, path("out2"));
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Emulation:     1.44M diskette"));
        QCOMPARE(readAll(path("out2/image1.bin")), readAll(path("root/boot/floppy.img")));
    }

    void hardDiskEmulation()
    {
        const ProgramRun r = extract(m_hd, path("out3"));
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Emulation:     hard disk"));
        QCOMPARE(readAll(path("out3/image1.bin")), readAll(path("root/boot/hd.img")));
    }

    void biosAndEfiSections()
    {
        const ProgramRun r = extract(m_efi, path("out4"));
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Image 2: image2.bin\n  Platform:      EFI"));
        QCOMPARE(readAll(path("out4/image1.bin")), readAll(path("root/boot/loader.bin")));
        QCOMPARE(readAll(path("out4/image2.bin")), readAll(path("root/boot/efi.img")));
    }

    void corruptedCatalogs_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("bad checksum") << 0 << QByteArray("bbie: invalid boot catalog: validation entry checksum does not add up to zero\n");
        QTest::newRow("missing key bytes") << 1 << QByteArray("bbie: invalid boot catalog: validation entry key bytes are 0x00 0xAA, not 0x55 0xAA\n");
        QTest::newRow("entry beyond the end") << 2 << QByteArray("bbie: image 1 starts at sector 4000000000, beyond the end of the source\n");
        QTest::newRow("truncated catalog") << 3 << QByteArray("lies beyond the end of the source\n");
        QTest::newRow("bad header id") << 4 << QByteArray("bbie: invalid boot catalog: validation entry header id is 0x02, not 0x01\n");
    }
    void corruptedCatalogs()
    {
        QFETCH(int, variant);
        QFETCH(QByteArray, message);
        const QByteArray data = patched(m_noemul, [&](QByteArray &d, qsizetype cat) {
            switch (variant) {
            case 0: d[cat + 4] = char(d[cat + 4] ^ 0x5a); break;
            case 1: d[cat + 30] = 0; break;
            case 2: d[cat + 40] = 0; d[cat + 41] = char(0x28); d[cat + 42] = char(0x6b); d[cat + 43] = char(0xee); break;
            case 3: d.truncate(cat + 40); break;
            case 4: d[cat] = 2; break;
            }
        });
        const QString bad = path(QStringLiteral("bad%1.iso").arg(variant));
        writeAll(bad, data);
        const QString out = path(QStringLiteral("bad%1").arg(variant));
        const ProgramRun r = extract(bad, out);
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.endsWith(message), r.err.constData());
        QVERIFY(QDir(out).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void sourceErrors()
    {
        writeAll(path("plain.bin"), randomBytes(100000, 3));
        ProgramRun r = extract(path("plain.bin"), path("e1"));
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.startsWith("bbie: " + path("plain.bin").toUtf8() + " is not an ISO 9660 image"));

        const QString noboot = makeIso("noboot.iso", {});
        r = extract(noboot, path("e2"));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, "bbie: " + noboot.toUtf8() + " has no El Torito boot record\n");

        r = extract(path("missing.iso"), path("e3"));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, "bbie: cannot open " + path("missing.iso").toUtf8() + ": No such file or directory\n");

        // A FIFO without a writer must not hold bbie; a character device or
        // a folder is no image either.
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
        for (const QString &source : {path("fifo"), QStringLiteral("/dev/zero"), path("root")}) {
            r = extract(source, path("e4"));
            QCOMPARE(r.code, 1);
            QCOMPARE(r.err, "bbie: cannot read " + source.toUtf8() + ": not a regular file or a block device\n");
        }
    }

    // An image that runs past the end of the source is cut there, and said so.
    void truncatedImage()
    {
        const QByteArray cut = patched(m_floppy, [&](QByteArray &d, qsizetype cat) {
            const uchar *p = reinterpret_cast<const uchar *>(d.constData()) + cat + 32 + 8;
            const qsizetype start = qsizetype(p[0] | p[1] << 8 | p[2] << 16) * 2048;
            d.truncate(start + 1000);
        });
        writeAll(path("cut.iso"), cut);
        const ProgramRun r = extract(path("cut.iso"), path("out5"));
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Bytes written: 1000 (cut at the end of the source)"));
        QCOMPARE(readAll(path("out5/image1.bin")), readAll(path("root/boot/floppy.img")).left(1000));
    }

    // One image beyond the end, one good: the good one is written and the
    // run counts as a success.
    void oneOfTwoImages()
    {
        const QByteArray data = patched(m_efi, [&](QByteArray &d, qsizetype cat) {
            d[cat + 32 + 8] = 0; d[cat + 32 + 9] = 0; d[cat + 32 + 10] = char(0x6b); d[cat + 32 + 11] = char(0xee);
        });
        writeAll(path("half.iso"), data);
        const ProgramRun r = extract(path("half.iso"), path("out8"));
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("bbie: image 1 starts at sector"));
        QCOMPARE(QDir(path("out8")).entryList(QDir::Files | QDir::Hidden), QStringList{"image2.bin"});
        QCOMPARE(readAll(path("out8/image2.bin")), readAll(path("root/boot/efi.img")));
    }

    // A hard-disk entry whose MBR claims 0xFFFFFFF0 sectors, in a small
    // image extended sparsely to 4 GB: only what the volume holds after the
    // image's start is written, and the claim is reported.
    void hardDiskClaimBeyondTheSource()
    {
        QDir().mkpath(path("small/boot"));
        writeAll(path("small/boot/hd.img"), hardDiskImage(200));
        const QString iso = path("claim.iso");
        const ProgramRun built = runProgram("genisoimage", {"-quiet", "-b", "boot/hd.img", "-hard-disk-boot", "-c", "boot/boot.cat",
                                              "-o", iso, path("small")}, m_dir.path());
        QCOMPARE(built.code, 0);
        qsizetype start = 0;
        QByteArray data = patched(iso, [&](QByteArray &d, qsizetype cat) {
            const uchar *p = reinterpret_cast<const uchar *>(d.constData()) + cat + 32 + 8;
            start = qsizetype(p[0] | p[1] << 8 | p[2] << 16) * 2048;
            for (int i = 0; i < 4; ++i)
                d[start + 446 + 12 + i] = char((0xFFFFFFF0u >> (8 * i)) & 0xff);
        });
        const qsizetype volume = data.size();
        QVERIFY(volume < 1024 * 1024);
        writeAll(iso, data);
        QVERIFY(QFile::resize(iso, qint64(4) << 30));

        const ProgramRun r = extract(iso, path("out9"));
        QCOMPARE(r.code, 0);
        const QByteArray claim = QByteArray::number((quint64(1) + 0xFFFFFFF0u) * 512);
        const QByteArray held = QByteArray::number(volume - start);
        QVERIFY2(r.err.contains("bbie: boot image 1 claims " + claim + " bytes, the source holds " + held + "\n"),
                 r.err.constData());
        QCOMPARE(QFileInfo(path("out9/image1.bin")).size(), volume - start);
        QCOMPARE(readAll(path("out9/image1.bin")), data.mid(start));
        QVERIFY(r.out.contains("Bytes written: " + held + " (cut at the end of the source)"));
        QFile::remove(iso);
    }

    // A catalog of a thousand entries, each claiming most of the volume:
    // each image is written once, at most 64 of them, together no more than
    // the volume holds, and what was left out is said.
    void floodedCatalogs_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("maxFiles");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("one extent") << 0 << 0 << 1
            << QByteArray("Not written: 1,021 entries with the same image as an earlier entry\n");
        QTest::newRow("overlapping extents") << 1 << 1 << 64
            << QByteArray(" entries past the bound of 458,752 bytes for all images together (the volume's size)\n");
        QTest::newRow("many small images") << 2 << 1 << 64
            << QByteArray("Not written: 958 entries past the limit of 64 images\n");
    }
    void floodedCatalogs()
    {
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(int, maxFiles);
        QFETCH(QByteArray, said);
        const QByteArray image = floodedImage([kind](int i) -> std::pair<quint32, quint16> {
            switch (kind) {
            case 0: return {1, 65535};
            case 1: return {quint32(1 + i % 200), 65535};
            default: return {quint32(30 + i % 190), quint16(1 + i / 190)};
            }
        });
        const QString iso = path(QStringLiteral("flood%1.iso").arg(kind));
        QVERIFY(writeAll(iso, image));
        const QString out = path(QStringLiteral("flood%1").arg(kind));
        const ProgramRun r = extract(iso, out);
        int files = 0;
        const qint64 bytes = bytesIn(out, &files);
        QVERIFY2(files >= 1 && files <= maxFiles, qPrintable(QString::number(files)));
        QVERIFY2(bytes <= image.size(), qPrintable(QString::number(bytes)));
        QCOMPARE(r.code, code);
        QVERIFY2(r.out.contains(said), r.out.right(600).constData());
        QVERIFY(r.out.size() < 64 * 1024);
    }

    // A write that fails (here at a file size limit, as on a full disk)
    // ends the run at once with a non-zero status and the reason; no
    // partial image is left.
    void writeErrorEndsTheRun()
    {
        const QString out = path("full");
        QDir().mkpath(out);
        const ProgramRun r = runProgram(bbie(), {m_efi}, out, [] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{16384, 16384};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.endsWith("bbie: cannot write image2.bin: File too large; stopped\n"), r.err.constData());
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{"image1.bin"});
    }

    void staysInCurrentDirectory()
    {
        // An existing image is replaced whole, never half-written.
        QDir().mkpath(path("out6"));
        writeAll(path("out6/image1.bin"), "old");
        const ProgramRun r = extract(m_noemul, path("out6"));
        QCOMPARE(r.code, 0);
        QCOMPARE(readAll(path("out6/image1.bin")), readAll(path("root/boot/loader.bin")));
    }

    void unwritableFolder()
    {
        // A regular file in place of the output name's folder cannot be
        // written even by root: make the image name a directory.
        QDir().mkpath(path("out7/image1.bin"));
        const ProgramRun r = extract(m_noemul, path("out7"));
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.startsWith("bbie: cannot write image1.bin: "), r.err.constData());
        QCOMPARE(QDir(path("out7")).entryList(QDir::Files | QDir::Hidden), QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestBbie)
#include "test_bbie.moc"
