// libFuzzer target: the catalog reader and extent rules on any bytes laid
// out as an image whose sectors 16 and 17 are valid enough to get past the
// first checks.
#include "tools/bbie/eltorito.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Sectors 0-15 zero, 16 a volume descriptor, 17 the boot record pointing
    // at sector 18, then the fuzzer's bytes as the catalog and beyond.
    std::vector<uint8_t> img(18 * eltorito::kSector, 0);
    img[16 * 2048] = 1;
    std::memcpy(&img[16 * 2048 + 1], "CD001", 5);
    std::memcpy(&img[17 * 2048 + 1], "CD001", 5);
    std::memcpy(&img[17 * 2048 + 7], eltorito::kBootSystemId, sizeof eltorito::kBootSystemId - 1);
    img[17 * 2048 + 0x47] = 18;
    // The input's first bytes double as the volume size, so the cut at the
    // volume's end is reached too.
    if (size >= 4)
        std::memcpy(&img[16 * 2048 + 80], data, 4);
    img.insert(img.end(), data, data + size);
    eltorito::MemorySource src(img.data(), img.size());
    const eltorito::Catalog c = eltorito::readCatalog(src);
    for (const eltorito::BootEntry &e : c.entries) {
        const eltorito::Extent x = eltorito::imageExtent(src, e, c.volumeEnd);
        if (!x.outside && (x.offset + x.size > src.size() || x.size > x.holds || x.size > eltorito::kMaxImage))
            __builtin_trap();
    }
    return 0;
}
