// libFuzzer target: the image order reader on any bytes. The first byte
// picks the layout: the input as everything from sector 16 on (the fuzzer
// writes the descriptors), or fixed descriptors (Rock Ridge root, Joliet, or
// plain) whose root folder is the input. The listing then goes through the
// sort comparison, and the input through the sort file reader and matcher.
#include "base/sort_lines.h"
#include "iso/order_check.h"

#include <cstring>
#include <vector>

namespace {
void rootRecord(uint8_t *r, uint32_t extent, uint32_t length)
{
    r[0] = 34;
    std::memcpy(r + 2, &extent, 4);
    std::memcpy(r + 10, &length, 4);
    r[25] = 2;
    r[32] = 1;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0] % 4;
    ++data;
    --size;
    constexpr size_t S = iso::kIsoSector;
    std::vector<uint8_t> img(16 * S, 0);
    if (mode == 0) {
        img.insert(img.end(), data, data + size);
    } else {
        img.resize(19 * S, 0);
        uint8_t *pvd = &img[16 * S];
        pvd[0] = 1;
        std::memcpy(pvd + 1, "CD001", 5);
        pvd[128] = 0x00;
        pvd[129] = 0x08;
        const uint32_t length = uint32_t(size ? ((size + S - 1) / S) * S : S);
        rootRecord(pvd + 156, 19, length);
        uint8_t *next = &img[17 * S];
        if (mode == 3) { // a Joliet descriptor with the same root
            next[0] = 2;
            std::memcpy(next + 1, "CD001", 5);
            next[88] = '%';
            next[89] = '/';
            next[90] = 'E';
            next[129] = 0x08;
            rootRecord(next + 156, 19, length);
            next = &img[18 * S];
        }
        next[0] = 255;
        std::memcpy(next + 1, "CD001", 5);
        img.insert(img.end(), data, data + size);
        if (mode == 2 && img.size() >= 19 * S + 34 + 7) {
            // The root's "." record carries SP, so Rock Ridge is read.
            uint8_t *dot = &img[19 * S];
            dot[0] = uint8_t(34 + 7 + (dot[0] & 0x3F));
            dot[32] = 1;
            dot[33] = 0;
            std::memcpy(dot + 34, "SP\x07\x01\xBE\xEF", 6);
        }
    }
    const iso::MemoryImage src(img.data(), img.size());
    iso::ReadLimits limits;
    limits.maxEntries = 20000;
    const iso::ImageListing listing = iso::readImageOrder(src, limits);
    base::SortLines lines;
    auto add = [&](std::string name, int32_t weight) {
        lines.names.push_back(std::move(name));
        lines.weights.push_back(weight);
        lines.lineNumbers.push_back(int(lines.names.size()));
    };
    for (const iso::ImageFile &f : listing.files)
        if (lines.names.size() < 50)
            add("/r/" + f.path, int32_t(f.extent % 7));
    for (const std::string &d : listing.folders)
        if (lines.names.size() < 60)
            add("/r/" + d + "/*", 3);
    const iso::OrderCheck check = iso::checkOrder(listing, lines, std::string());
    if (check.files.size() != listing.files.size())
        __builtin_trap();
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const base::SortLines read = base::readSortLines(text);
    if (read.names.size() != read.weights.size() || (read.stopLine == 0 && !read.messages.empty() &&
                                                     read.messages.size() > read.names.size()))
        __builtin_trap();
    iso::checkOrder(listing, read, "/r");
    return 0;
}
