#include "tools/bbie/eltorito.h"

#include "tools/bbie/iso_tree.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

namespace eltorito {

namespace {

constexpr uint64_t kVirtualSector = 512;
// The catalog is read in one piece of at most this many sectors: enough for
// thousands of entries, and a bound on what a hostile count can make us read.
constexpr uint64_t kMaxCatalogSectors = 16;

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

std::string hex2(unsigned v)
{
    static const char d[] = "0123456789ABCDEF";
    return std::string{'0', 'x', d[(v >> 4) & 15], d[v & 15]};
}

BootEntry entryFrom(const uint8_t *p, uint8_t platform)
{
    BootEntry e;
    e.platform = platform;
    e.bootable = p[0] == 0x88;
    e.media = p[1] & 0x0F;
    e.loadSegment = le16(p + 2);
    e.systemType = p[4];
    e.sectorCount = le16(p + 6);
    e.loadRba = le32(p + 8);
    return e;
}

// An entry that describes an image, bootable or not; all-zero slots do not.
bool describesImage(const uint8_t *p) { return p[0] == 0x88 || (p[0] == 0x00 && le32(p + 8) != 0); }

Catalog fail(Status s, std::string msg)
{
    Catalog c;
    c.status = s;
    c.message = std::move(msg);
    return c;
}

} // namespace

bool MemorySource::read(uint64_t off, void *buf, size_t n, std::string *error) const
{
    if (off > m_size || n > m_size - off) {
        if (error)
            *error = "read past the end";
        return false;
    }
    std::memcpy(buf, m_data + off, n);
    return true;
}

Catalog readCatalog(const Source &src)
{
    std::string err;
    uint8_t vd[kSector];
    if (src.size() < 18 * kSector)
        return fail(Status::NotIso, "too short for an ISO 9660 image");
    if (!src.read(16 * kSector, vd, kSector, &err))
        return fail(Status::ReadError, err);
    if (std::memcmp(vd + 1, "CD001", 5) != 0)
        return fail(Status::NotIso, "no volume descriptor at sector 16");
    const uint64_t volumeEnd = vd[0] == 1 ? uint64_t(le32(vd + 80)) * kSector : 0;
    if (!src.read(17 * kSector, vd, kSector, &err))
        return fail(Status::ReadError, err);
    if (vd[0] != 0 || std::memcmp(vd + 1, "CD001", 5) != 0
        || std::memcmp(vd + 7, kBootSystemId, sizeof kBootSystemId - 1) != 0)
        return fail(Status::NoBootRecord, "no El Torito boot record at sector 17");

    Catalog cat;
    cat.volumeEnd = volumeEnd;
    cat.sector = le32(vd + 0x47);
    const uint64_t start = uint64_t(cat.sector) * kSector;
    if (start >= src.size() || src.size() - start < 64)
        return fail(Status::BadCatalog, "catalog sector " + std::to_string(cat.sector) + " lies beyond the end of the source");
    const uint64_t len = std::min<uint64_t>(src.size() - start, kMaxCatalogSectors * kSector);
    std::vector<uint8_t> buf(len);
    if (!src.read(start, buf.data(), len, &err))
        return fail(Status::ReadError, err);

    const uint8_t *v = buf.data();
    if (v[0] != 1)
        return fail(Status::BadCatalog, "validation entry header id is " + hex2(v[0]) + ", not 0x01");
    if (v[30] != 0x55 || v[31] != 0xAA)
        return fail(Status::BadCatalog, "validation entry key bytes are " + hex2(v[30]) + " " + hex2(v[31]) + ", not 0x55 0xAA");
    uint16_t sum = 0;
    for (int i = 0; i < 32; i += 2)
        sum = uint16_t(sum + le16(v + i));
    if (sum != 0)
        return fail(Status::BadCatalog, "validation entry checksum does not add up to zero");
    const uint8_t *initial = v + 32;
    if (initial[0] != 0x88 && initial[0] != 0x00)
        return fail(Status::BadCatalog, "initial entry boot indicator is " + hex2(initial[0]));
    if (describesImage(initial))
        cat.entries.push_back(entryFrom(initial, v[1]));

    // Sections: a header (0x90, or 0x91 for the last), its entries, each
    // perhaps followed by extension entries (0x44). The walk only moves
    // forward through a bounded buffer, so no header can make it loop.
    size_t off = 64;
    bool last = false;
    while (!last && off + 32 <= len) {
        const uint8_t *h = buf.data() + off;
        if (h[0] != 0x90 && h[0] != 0x91)
            break; // the catalog ends
        last = h[0] == 0x91;
        const uint8_t platform = h[1];
        const unsigned count = le16(h + 2);
        off += 32;
        for (unsigned i = 0; i < count; ++i) {
            if (off + 32 > len) {
                cat.warnings.push_back("boot catalog ends inside a section (" + std::to_string(count - i) +
                                       " of its entries missing)");
                return cat;
            }
            const uint8_t *e = buf.data() + off;
            if (e[0] != 0x88 && e[0] != 0x00) {
                cat.warnings.push_back("section entry with boot indicator " + hex2(e[0]) + " ends the catalog");
                return cat;
            }
            if (describesImage(e))
                cat.entries.push_back(entryFrom(e, platform));
            off += 32;
            while (off + 32 <= len && buf[off] == 0x44)
                off += 32;
        }
    }
    return cat;
}

static uint64_t fatSize(const Source &src, uint64_t at)
{
    uint8_t bs[512];
    if (!src.read(at, bs, sizeof bs, nullptr) || bs[510] != 0x55 || bs[511] != 0xAA)
        return 0;
    const unsigned bytesPerSector = le16(bs + 11);
    if (bytesPerSector != 512 && bytesPerSector != 1024 && bytesPerSector != 2048 && bytesPerSector != 4096)
        return 0;
    if (bs[13] == 0 || (bs[13] & (bs[13] - 1)) != 0) // sectors per cluster: a power of two
        return 0;
    const uint64_t total = le16(bs + 19) ? le16(bs + 19) : le32(bs + 32);
    return total * bytesPerSector;
}

// The disk ends where its last partition ends, whichever slot holds it.
static uint64_t partitionsEnd(const Source &src, uint64_t at)
{
    uint8_t mbr[512];
    if (!src.read(at, mbr, sizeof mbr, nullptr) || mbr[510] != 0x55 || mbr[511] != 0xAA)
        return 0;
    uint64_t end = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t *p = mbr + 446 + 16 * i;
        if (p[4] == 0) // an unused slot
            continue;
        end = std::max(end, (uint64_t(le32(p + 8)) + le32(p + 12)) * kVirtualSector);
    }
    return end;
}

Extent imageExtent(const Source &src, const BootEntry &e, uint64_t volumeEnd, uint64_t fileSize)
{
    Extent x;
    x.offset = uint64_t(e.loadRba) * kSector;
    if (x.offset >= src.size()) {
        x.outside = true;
        return x;
    }
    const uint64_t counted = uint64_t(e.sectorCount ? e.sectorCount : 1) * kVirtualSector;
    switch (e.media) {
    case uint8_t(Media::Floppy12): x.wanted = 1228800; break;
    case uint8_t(Media::Floppy144): x.wanted = 1474560; break;
    case uint8_t(Media::Floppy288): x.wanted = 2949120; break;
    case uint8_t(Media::HardDisk): {
        const uint64_t end = partitionsEnd(src, x.offset);
        x.wanted = end ? end : counted;
        break;
    }
    default: {
        const uint64_t fat = !fileSize && e.sectorCount <= 1 ? fatSize(src, x.offset) : 0;
        x.wanted = fileSize ? fileSize : fat ? fat : counted;
    }
    }
    const uint64_t end = volumeEnd > x.offset ? std::min(volumeEnd, src.size()) : src.size();
    x.holds = end - x.offset;
    x.size = std::min({x.wanted, x.holds, kMaxImage});
    x.truncated = x.size < x.wanted;
    return x;
}

RunPlan planRun(const Source &src, const Catalog &cat)
{
    RunPlan plan;
    plan.bound = cat.volumeEnd ? cat.volumeEnd : src.size();
    std::set<uint32_t> loaders;
    for (const BootEntry &e : cat.entries)
        if (e.media == uint8_t(Media::NoEmulation) && uint64_t(e.loadRba) * kSector < src.size())
            loaders.insert(e.loadRba);
    const TreeSearch tree = filesStartingAt(src, loaders);
    plan.treeStopped = tree.stopped;

    std::map<std::pair<uint64_t, uint64_t>, size_t> written; // extent -> entry number
    size_t count = 0;
    for (size_t i = 0; i < cat.entries.size(); ++i) {
        PlannedImage p;
        p.entry = cat.entries[i];
        if (p.entry.media == uint8_t(Media::NoEmulation)) {
            const auto f = tree.files.find(p.entry.loadRba);
            if (f != tree.files.end()) {
                p.wholeFile = true;
                p.file = f->second.path;
                p.fileSize = f->second.size;
            }
        }
        p.extent = imageExtent(src, p.entry, cat.volumeEnd, p.fileSize);
        const auto key = std::make_pair(p.extent.offset, p.extent.size);
        const auto same = written.find(key);
        if (p.extent.outside) {
            p.action = Action::Outside;
        } else if (same != written.end()) {
            p.action = Action::Same;
            p.sameAs = same->second;
            ++plan.same;
        } else if (count >= kMaxImages) {
            p.action = Action::TooMany;
            ++plan.tooMany;
        } else if (p.extent.size > plan.bound - plan.total) {
            p.action = Action::OverBound;
            ++plan.overBound;
        } else {
            written.emplace(key, i + 1);
            ++count;
            plan.total += p.extent.size;
        }
        plan.images.push_back(std::move(p));
    }
    return plan;
}

std::string platformName(uint8_t p)
{
    switch (p) {
    case 0x00: return "x86";
    case 0x01: return "PowerPC";
    case 0x02: return "Mac";
    case 0xEF: return "EFI";
    default: return std::to_string(p);
    }
}

std::string mediaName(uint8_t m)
{
    switch (m) {
    case 0: return "no emulation";
    case 1: return "1.2M diskette";
    case 2: return "1.44M diskette";
    case 3: return "2.88M diskette";
    case 4: return "hard disk";
    default: return "unknown (" + std::to_string(m) + ")";
    }
}

} // namespace eltorito
