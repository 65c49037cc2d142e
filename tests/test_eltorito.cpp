#include "tools/bbie/eltorito.h"
#include "tools/bbie/iso_tree.h"

#include <QTest>

#include <cstring>
#include <vector>

using namespace eltorito;

namespace {
// A synthetic image: volume descriptors at 16 and 17, the catalog at 18.
struct Image
{
    std::vector<uint8_t> bytes = std::vector<uint8_t>(40 * kSector, 0);
    Image()
    {
        bytes[16 * kSector] = 1;
        std::memcpy(&bytes[16 * kSector + 1], "CD001", 5);
        std::memcpy(&bytes[17 * kSector + 1], "CD001", 5);
        std::memcpy(&bytes[17 * kSector + 7], eltorito::kBootSystemId, sizeof eltorito::kBootSystemId - 1);
        bytes[17 * kSector + 0x47] = 18;
        uint8_t *v = cat();
        v[0] = 1;
        v[30] = 0x55;
        v[31] = 0xAA;
        fixChecksum();
    }
    uint8_t *cat() { return &bytes[18 * kSector]; }
    void fixChecksum()
    {
        uint8_t *v = cat();
        v[28] = v[29] = 0;
        uint16_t sum = 0;
        for (int i = 0; i < 32; i += 2)
            sum = uint16_t(sum + (v[i] | v[i + 1] << 8));
        const uint16_t c = uint16_t(-sum);
        v[28] = uint8_t(c & 0xff);
        v[29] = uint8_t(c >> 8);
    }
    void entry(size_t at, uint8_t indicator, uint8_t media, uint16_t count, uint32_t rba)
    {
        uint8_t *e = cat() + at;
        e[0] = indicator;
        e[1] = media;
        e[6] = uint8_t(count);
        e[7] = uint8_t(count >> 8);
        std::memcpy(e + 8, &rba, 4);
    }
    void header(size_t at, uint8_t kind, uint8_t platform, uint16_t count)
    {
        uint8_t *h = cat() + at;
        h[0] = kind;
        h[1] = platform;
        h[2] = uint8_t(count);
        h[3] = uint8_t(count >> 8);
    }
    MemorySource source() const { return MemorySource(bytes.data(), bytes.size()); }
    void volumeSectors(uint32_t n) { std::memcpy(&bytes[16 * kSector + 80], &n, 4); }
    // An MBR at `sector` whose one partition claims `count` sectors.
    void mbr(uint32_t sector, uint32_t count)
    {
        uint8_t *m = &bytes[sector * kSector];
        m[446 + 4] = 0x06;
        const uint32_t start = 1;
        std::memcpy(m + 446 + 8, &start, 4);
        std::memcpy(m + 446 + 12, &count, 4);
        m[510] = 0x55;
        m[511] = 0xAA;
    }
};

// The image's bytes followed by zeros up to `size`: a file extended
// sparsely, without the memory.
class ExtendedSource : public Source
{
public:
    ExtendedSource(const std::vector<uint8_t> &b, uint64_t size) : m_b(b), m_size(size) {}
    uint64_t size() const override { return m_size; }
    bool read(uint64_t off, void *buf, size_t n, std::string *) const override
    {
        if (off > m_size || n > m_size - off)
            return false;
        auto *p = static_cast<uint8_t *>(buf);
        for (size_t i = 0; i < n; ++i)
            p[i] = off + i < m_b.size() ? m_b[off + i] : 0;
        return true;
    }

private:
    const std::vector<uint8_t> &m_b;
    uint64_t m_size;
};
} // namespace

class TestElTorito : public QObject
{
    Q_OBJECT
private slots:
    // A count of 0 or 1 on a FAT image takes the size from the boot sector.
    void fatSizeForSmallCounts()
    {
        Image img;
        img.entry(32, 0x88, 0, 1, 20);
        uint8_t *bs = &img.bytes[20 * kSector];
        bs[11] = 0; bs[12] = 2; bs[13] = 4; bs[19] = 16; // 16 sectors of 512
        bs[510] = 0x55; bs[511] = 0xAA;
        const MemorySource src = img.source();
        const Catalog c = readCatalog(src);
        QCOMPARE(int(c.status), int(Status::Ok));
        QCOMPARE(c.entries.size(), size_t(1));
        QCOMPARE(imageExtent(src, c.entries[0]).size, uint64_t(16 * 512));
        img.entry(32, 0x88, 0, 3, 20); // a real count wins
        const MemorySource src2 = img.source();
        QCOMPARE(imageExtent(src2, readCatalog(src2).entries[0]).size, uint64_t(3 * 512));
    }

    // Counts at their maximum and endless runs of headers stay inside the
    // bounded catalog buffer.
    void hostileSections()
    {
        Image img;
        img.entry(32, 0x88, 0, 4, 30);
        img.header(64, 0x90, 0xEF, 65535);
        for (size_t at = 96; at < 16 * kSector && at + 32 <= img.bytes.size() - 18 * kSector; at += 32)
            img.entry(at, 0x88, 0, 4, 31);
        const MemorySource src = img.source();
        const Catalog c = readCatalog(src);
        QCOMPARE(int(c.status), int(Status::Ok));
        QVERIFY(!c.warnings.empty());
        QVERIFY(c.entries.size() <= 16 * kSector / 32);

        Image loop;
        loop.entry(32, 0x88, 0, 4, 30);
        for (size_t at = 64; at + 32 <= 22 * kSector - 18 * kSector; at += 32)
            loop.header(at, 0x90, 0, 0); // headers with no entries, never a final one
        const MemorySource src2 = loop.source();
        const Catalog c2 = readCatalog(src2);
        QCOMPARE(c2.entries.size(), size_t(1));
    }

    // A hard-disk image ends where its last partition ends, in whatever
    // slot of the partition table that partition sits.
    void hardDiskSizeFromAllPartitions()
    {
        Image img;
        img.entry(32, 0x88, 4, 1, 20);
        uint8_t *mbr = &img.bytes[20 * kSector];
        auto slot = [&](int i, uint8_t type, uint32_t start, uint32_t count) {
            uint8_t *p = mbr + 446 + 16 * i;
            p[4] = type;
            std::memcpy(p + 8, &start, 4);
            std::memcpy(p + 12, &count, 4);
        };
        mbr[510] = 0x55;
        mbr[511] = 0xAA;
        slot(0, 0x06, 1, 20);  // ends at sector 21
        slot(2, 0x83, 21, 30); // unused slot 1 between; ends at 51
        slot(3, 0x01, 5, 4);   // a lower end later in the table
        const MemorySource src = img.source();
        const Extent x = imageExtent(src, readCatalog(src).entries[0]);
        QCOMPARE(x.wanted, uint64_t(51 * 512));
        QCOMPARE(x.size, uint64_t(51 * 512));
        QVERIFY(!x.truncated);
    }

    void extensionsAndUnusedSlots()
    {
        Image img;
        img.entry(32, 0x00, 0, 0, 0); // unused initial slot
        img.header(64, 0x91, 0x00, 2);
        img.entry(96, 0x88, 0x20 | 2, 0, 25); // extension follows
        img.cat()[128] = 0x44;
        img.entry(160, 0x00, 4, 1, 26); // not bootable, still an image
        const MemorySource src = img.source();
        const Catalog c = readCatalog(src);
        QCOMPARE(c.entries.size(), size_t(2));
        QCOMPARE(int(c.entries[0].media), 2);
        QVERIFY(c.entries[0].bootable);
        QVERIFY(!c.entries[1].bootable);
        QCOMPARE(c.entries[1].loadRba, 26u);
        // A hard-disk image without a partition table falls back to its count.
        QCOMPARE(imageExtent(src, c.entries[1]).size, uint64_t(512));
    }

    // Whatever an entry, MBR or boot sector claims, every kind of image is
    // cut at the end of the volume it starts in, and at the source's end
    // when the descriptor gives no volume size.
    void everyEmulationCappedByWhatTheSourceHolds_data()
    {
        QTest::addColumn<int>("media");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("fatSector");
        QTest::newRow("no emulation, full count") << 0 << 65535 << false;
        QTest::newRow("no emulation, FAT boot sector") << 0 << 1 << true;
        QTest::newRow("1.2M diskette") << 1 << 1 << false;
        QTest::newRow("1.44M diskette") << 2 << 1 << false;
        QTest::newRow("2.88M diskette") << 3 << 1 << false;
        QTest::newRow("hard disk, huge MBR") << 4 << 1 << false;
    }
    void everyEmulationCappedByWhatTheSourceHolds()
    {
        QFETCH(int, media);
        QFETCH(int, count);
        QFETCH(bool, fatSector);
        Image img;
        img.entry(32, 0x88, uint8_t(media), uint16_t(count), 30);
        if (media == 4)
            img.mbr(30, 0xFFFFFFF0u);
        if (fatSector) {
            uint8_t *bs = &img.bytes[30 * kSector];
            bs[11] = 0; bs[12] = 16; bs[13] = 1; // 4096-byte sectors
            const uint32_t total = 0xFFFFFFFFu;
            std::memcpy(bs + 32, &total, 4);
            bs[510] = 0x55; bs[511] = 0xAA;
        }
        img.fixChecksum();
        {
            // The volume ends at sector 35; the file goes on to 40.
            img.volumeSectors(35);
            const MemorySource src = img.source();
            const Catalog c = readCatalog(src);
            QCOMPARE(c.volumeEnd, uint64_t(35 * kSector));
            const Extent x = imageExtent(src, c.entries.at(0), c.volumeEnd);
            QVERIFY(x.wanted > 5 * kSector);
            QCOMPARE(x.holds, uint64_t(5 * kSector));
            QCOMPARE(x.size, uint64_t(5 * kSector));
            QVERIFY(x.truncated);
        }
        {
            img.volumeSectors(0);
            const MemorySource src = img.source();
            const Catalog c = readCatalog(src);
            const Extent x = imageExtent(src, c.entries.at(0), c.volumeEnd);
            QCOMPARE(x.size, uint64_t(10 * kSector));
            QVERIFY(x.truncated);
        }
        {
            // A volume that claims more than the file has: the file's end counts.
            img.volumeSectors(1000000);
            const MemorySource src = img.source();
            const Catalog c = readCatalog(src);
            QCOMPARE(imageExtent(src, c.entries.at(0), c.volumeEnd).size, uint64_t(10 * kSector));
        }
    }

    // A source that really holds more than 4 GiB after the start still
    // gives at most 4 GiB for an emulated disk claiming terabytes.
    void hardDiskCappedAtFourGib()
    {
        Image img;
        img.entry(32, 0x88, 4, 1, 30);
        img.mbr(30, 0xFFFFFFF0u);
        img.fixChecksum();
        const ExtendedSource src(img.bytes, uint64_t(9) << 30);
        const Catalog c = readCatalog(src);
        const Extent x = imageExtent(src, c.entries.at(0), c.volumeEnd);
        QCOMPARE(x.wanted, (uint64_t(1) + 0xFFFFFFF0u) * 512);
        QCOMPARE(x.size, kMaxImage);
        QCOMPARE(x.holds, (uint64_t(9) << 30) - 30 * kSector);
        QVERIFY(x.truncated);
    }

    // The walk that finds the loader file: a folder that leads back to the
    // root ends nothing but that branch, and a multi-extent file is one file
    // only when its sections follow one another.
    void loaderFileInTheTree_data()
    {
        QTest::addColumn<int>("tree");
        QTest::addColumn<QString>("found");
        QTest::addColumn<quint64>("size");
        QTest::newRow("folders that lead back") << 0 << QString() << quint64(0);
        QTest::newRow("sections in a row") << 1 << QStringLiteral("/SUB/BIG.BIN") << quint64(2048 + 100);
        QTest::newRow("sections apart") << 2 << QString() << quint64(0);
    }
    void loaderFileInTheTree()
    {
        QFETCH(int, tree);
        QFETCH(QString, found);
        QFETCH(quint64, size);
        Image img;
        auto folder = [&](uint32_t sector, std::vector<std::vector<uint8_t>> records) {
            size_t at = sector * kSector;
            for (const std::vector<uint8_t> &r : records) {
                std::memcpy(&img.bytes[at], r.data(), r.size());
                at += r.size();
            }
        };
        auto record = [](const char *id, uint32_t extent, uint32_t length, uint8_t flags) {
            const size_t n = std::strlen(id) ? std::strlen(id) : 1;
            std::vector<uint8_t> r(33 + n + (n % 2 ? 0 : 1), 0);
            r[0] = uint8_t(r.size());
            std::memcpy(&r[2], &extent, 4);
            std::memcpy(&r[10], &length, 4);
            r[25] = flags;
            r[32] = uint8_t(n);
            std::memcpy(&r[33], id, std::strlen(id));
            return r;
        };
        uint8_t *pvd = &img.bytes[16 * kSector];
        pvd[129] = 8; // 2048-byte blocks
        const std::vector<uint8_t> root = record("", 20, 2048, 2);
        std::memcpy(pvd + 156, root.data(), root.size());
        // Root at 20 holds SUB at 21; SUB leads back to the root and to itself.
        folder(20, {record("", 20, 2048, 2), record("\1", 20, 2048, 2), record("SUB", 21, 2048, 2)});
        std::vector<std::vector<uint8_t>> sub{record("", 21, 2048, 2), record("\1", 20, 2048, 2),
                                              record("UP", 20, 2048, 2), record("SELF", 21, 2048, 2)};
        if (tree > 0) {
            sub.push_back(record("BIG.BIN;1", 30, 2048, 0x80));
            sub.push_back(record("BIG.BIN;1", tree == 1 ? 31 : 33, 100, 0));
        }
        folder(21, sub);
        const MemorySource src = img.source();
        const TreeSearch t = filesStartingAt(src, {30});
        QCOMPARE(QString::fromStdString(t.stopped), QString());
        QCOMPARE(t.files.count(30) ? QString::fromStdString(t.files.at(30).path) : QString(), found);
        QCOMPARE(t.files.count(30) ? quint64(t.files.at(30).size) : quint64(0), size);
    }

    void tooShortSources()
    {
        Image img;
        for (size_t n : {size_t(0), size_t(100), size_t(17 * kSector), size_t(18 * kSector + 10)}) {
            MemorySource src(img.bytes.data(), n);
            const Catalog c = readCatalog(src);
            QVERIFY(c.status != Status::Ok);
        }
    }
};

QTEST_GUILESS_MAIN(TestElTorito)
#include "test_eltorito.moc"
