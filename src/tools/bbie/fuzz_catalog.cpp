// libFuzzer target: the catalog reader, the extent rules, the folder walk
// for no-emulation loaders and the bounds of a whole run, on any bytes laid
// out as an image whose sectors 16 and 17 are valid enough to get past the
// first checks.
#include "tools/bbie/eltorito.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr size_t S = eltorito::kSector;
    // Sectors 0-15 zero, 16 a volume descriptor, 17 the boot record pointing
    // at sector 18; the input's first kCatalog bytes are the catalog sector,
    // the rest from sector 19 on, where the root folder lies: short inputs
    // reach the loader walk too.
    constexpr size_t kCatalog = 1024;
    std::vector<uint8_t> img(19 * S, 0);
    img[16 * S] = 1;
    std::memcpy(&img[16 * S + 1], "CD001", 5);
    std::memcpy(&img[17 * S + 1], "CD001", 5);
    std::memcpy(&img[17 * S + 7], eltorito::kBootSystemId, sizeof eltorito::kBootSystemId - 1);
    img[17 * S + 0x47] = 18;
    // The input's first bytes double as the volume size, so the cut at the
    // volume's end is reached too, and its fifth as the root folder's length.
    if (size >= 4)
        std::memcpy(&img[16 * S + 80], data, 4);
    img[16 * S + 129] = 8; // 2048-byte blocks
    uint8_t *root = &img[16 * S + 156];
    root[0] = 34;
    root[2] = 19;
    const uint32_t rootLength = uint32_t(size >= 5 ? data[4] : 1) * S;
    std::memcpy(root + 10, &rootLength, 4);
    root[25] = 2;
    root[32] = 1;
    const size_t head = std::min(size, kCatalog);
    std::memcpy(&img[18 * S], data, head);
    img.insert(img.end(), data + head, data + size);
    // A valid validation entry unless the sixth byte says otherwise, so the
    // fuzzer spends its runs on the entries, the walk and the run's bounds.
    if (size < 6 || data[5] != 0xFF) {
        uint8_t *v = &img[18 * S];
        v[0] = 1;
        v[30] = 0x55;
        v[31] = 0xAA;
        v[28] = v[29] = 0;
        uint16_t sum = 0;
        for (int i = 0; i < 32; i += 2)
            sum = uint16_t(sum + (v[i] | v[i + 1] << 8));
        v[28] = uint8_t(uint16_t(-sum) & 0xff);
        v[29] = uint8_t(uint16_t(-sum) >> 8);
    }
    // The seventh byte's low bit puts Rock Ridge's SP into the root's "."
    // record, so the names are read from the fuzzer's system use areas.
    if (size >= 7 && (data[6] & 1) && img.size() >= 19 * S + 48) {
        uint8_t *dot = &img[19 * S];
        dot[0] = uint8_t(34 + 7 + (dot[0] & 0x3F));
        dot[32] = 1;
        dot[33] = 0;
        std::memcpy(dot + 34, "SP\x07\x01\xBE\xEF", 6);
    }
    const eltorito::MemorySource src(img.data(), img.size());
    const eltorito::Catalog c = eltorito::readCatalog(src);
    const eltorito::RunPlan plan = eltorito::planRun(src, c);
    if (plan.images.size() != c.entries.size() || plan.total > plan.bound)
        __builtin_trap();
    size_t written = 0;
    for (const eltorito::PlannedImage &p : plan.images) {
        const eltorito::Extent &x = p.extent;
        if (!x.outside && (x.offset + x.size > src.size() || x.size > x.holds || x.size > eltorito::kMaxImage))
            __builtin_trap();
        written += p.action == eltorito::Action::Write;
    }
    if (written > eltorito::kMaxImages)
        __builtin_trap();
    return 0;
}
