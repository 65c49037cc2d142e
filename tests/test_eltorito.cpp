#include "eltorito.h"

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
