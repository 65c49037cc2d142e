#include "tools/bbie/iso_tree.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace eltorito {

namespace {

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

uint64_t sectorsOf(uint64_t bytes) { return (bytes + kSector - 1) / kSector; }

struct RockRidge
{
    bool hasName = false;
    std::string name;
    bool relocated = false; // RE: reached through its CL placeholder instead
    bool childLink = false; // CL: the folder lies at `child`
    uint32_t child = 0;
};

// One folder being read, a sector at a time: memory stays at a sector per
// level whatever the folder's size.
struct Level
{
    uint32_t extent = 0;
    uint64_t length = 0;
    std::string name;
    uint64_t pos = 0;
    uint64_t loaded = UINT64_MAX;
    uint8_t sector[kSector];
    // A multi-extent file found here whose further sections are summed
    // while they follow one another on the source.
    bool multi = false;
    uint32_t multiKey = 0;
    std::string multiId;
    uint64_t nextExtent = 0;
};

class Walker
{
public:
    Walker(const Source &src, const std::set<uint32_t> &sectors, const TreeLimits &limits, TreeSearch &out)
        : m_src(src), m_sectors(sectors), m_limits(limits), m_out(out),
          m_budget(std::min<uint64_t>(limits.maxDirectoryBytes, src.size()))
    {
        m_levels.reserve(size_t(std::max(limits.maxDepth, 0)) + 1);
    }

    void run()
    {
        walk();
        // A multi-extent file the walk left before its last section.
        for (Level &l : m_levels)
            if (l.multi)
                dropPending(l);
    }

private:
    void walk()
    {
        uint8_t vd[kSector];
        if (m_src.size() < 17 * kSector || !m_src.read(16 * kSector, vd, kSector, nullptr)
            || vd[0] != 1 || std::memcmp(vd + 1, "CD001", 5) != 0) {
            m_out.stopped = "no primary volume descriptor at sector 16";
            return;
        }
        const uint8_t *root = vd + 156;
        if (le16(vd + 128) != kSector || root[0] < 34 || !(root[25] & 0x02)) {
            m_out.stopped = "the primary volume descriptor holds no usable root folder";
            return;
        }
        rockRidgeRoot(le32(root + 2));
        if (!enter(le32(root + 2), le32(root + 10), std::string()))
            return;
        while (!m_levels.empty() && m_out.stopped.empty()) {
            if (m_out.files.size() == m_sectors.size() && m_pending == 0)
                return; // everything asked for is found
            step();
        }
    }

    // The SP entry of the root's "." record: Rock Ridge, and the bytes
    // that precede the entries of every record's own system use area.
    void rockRidgeRoot(uint32_t extent)
    {
        uint8_t s[kSector] = {};
        const uint64_t at = uint64_t(extent) * kSector;
        if (at >= m_src.size() || !m_src.read(at, s, size_t(std::min<uint64_t>(kSector, m_src.size() - at)), nullptr))
            return;
        const size_t rl = s[0], nameLen = s[32];
        if (rl < 34 || 33 + nameLen > rl)
            return;
        const size_t su = 33 + nameLen + ((nameLen & 1) ? 0 : 1);
        if (su + 7 > rl)
            return;
        const uint8_t *e = s + su;
        if (e[0] == 'S' && e[1] == 'P' && e[2] >= 7 && e[4] == 0xBE && e[5] == 0xEF) {
            m_rockRidge = true;
            m_suSkip = e[6];
        }
    }

    RockRidge rockRidge(const uint8_t *su, size_t n)
    {
        RockRidge rr;
        uint8_t area[kSector];
        bool nameOpen = true;
        size_t skip = m_suSkip;
        for (int continuations = 0;; ++continuations) {
            bool ce = false;
            uint32_t ceBlock = 0, ceOffset = 0, ceLength = 0;
            for (size_t i = skip; i + 4 <= n;) {
                const uint8_t *e = su + i;
                const size_t len = e[2];
                if (len < 4 || len > n - i)
                    break;
                if (e[0] == 'N' && e[1] == 'M' && len >= 5) {
                    if (!(e[4] & 0x06) && nameOpen) {
                        rr.name.append(reinterpret_cast<const char *>(e + 5), len - 5);
                        rr.hasName = true;
                        nameOpen = e[4] & 0x01;
                    }
                } else if (e[0] == 'C' && e[1] == 'E' && len >= 28) {
                    ce = true;
                    ceBlock = le32(e + 4);
                    ceOffset = le32(e + 12);
                    ceLength = le32(e + 20);
                } else if (e[0] == 'C' && e[1] == 'L' && len >= 12) {
                    rr.childLink = true;
                    rr.child = le32(e + 4);
                } else if (e[0] == 'R' && e[1] == 'E') {
                    rr.relocated = true;
                } else if (e[0] == 'S' && e[1] == 'T') {
                    break;
                }
                i += len;
            }
            if (!ce || continuations >= m_limits.maxContinuations || ceOffset >= kSector || ceLength == 0
                || ceLength > kSector - ceOffset)
                break;
            const uint64_t at = uint64_t(ceBlock) * kSector + ceOffset;
            if (at > m_src.size() || ceLength > m_src.size() - at || !m_src.read(at, area, ceLength, nullptr))
                break;
            su = area;
            n = ceLength;
            skip = 0;
        }
        return rr;
    }

    // Starts reading a folder; false when the walk must stop.
    bool enter(uint32_t extent, uint64_t length, std::string name)
    {
        const uint64_t start = uint64_t(extent) * kSector;
        if (start >= m_src.size() || length == 0)
            return true; // nothing of it to read
        if (m_visited.count(extent))
            return true; // a loop, or two names for one folder
        length = std::min(length, m_src.size() - start);
        const uint64_t cost = std::max<uint64_t>(sectorsOf(length), 1) * kSector;
        if (cost > m_budget) {
            m_out.stopped = "the folders claim more than " + std::to_string(std::min<uint64_t>(m_limits.maxDirectoryBytes, m_src.size())) +
                            " bytes";
            return false;
        }
        m_budget -= cost;
        m_visited.insert(extent);
        m_levels.emplace_back();
        Level &l = m_levels.back();
        l.extent = extent;
        l.length = length;
        l.name = std::move(name);
        return true;
    }

    void leave()
    {
        if (m_levels.back().multi)
            dropPending(m_levels.back());
        m_levels.pop_back();
    }

    // A multi-extent file whose sections do not follow one another cannot
    // be copied as one piece: it counts as not found.
    void dropPending(Level &l)
    {
        m_out.files.erase(l.multiKey);
        l.multi = false;
        --m_pending;
    }

    std::string pathOf(const std::string &name) const
    {
        std::string p;
        for (size_t i = 1; i < m_levels.size(); ++i)
            p += "/" + m_levels[i].name;
        return p + "/" + name;
    }

    void step()
    {
        Level &l = m_levels.back();
        if (l.pos >= l.length) {
            leave();
            return;
        }
        const uint64_t index = l.pos / kSector;
        if (l.loaded != index) {
            const uint64_t at = (uint64_t(l.extent) + index) * kSector;
            const size_t n = size_t(std::min<uint64_t>(kSector, m_src.size() - at));
            std::memset(l.sector, 0, kSector);
            std::string err;
            if (!m_src.read(at, l.sector, n, &err)) {
                m_out.stopped = "cannot read sector " + std::to_string(at / kSector) + ": " + err;
                return;
            }
            l.loaded = index;
        }
        const size_t off = size_t(l.pos % kSector);
        const uint8_t *r = l.sector + off;
        const size_t rl = r[0];
        if (rl < 34 || off + rl > kSector || l.pos + rl > l.length) {
            // Padding to the sector's end, or a record that does not fit:
            // the next sector starts afresh.
            l.pos = (index + 1) * kSector;
            return;
        }
        l.pos += rl;
        const size_t nameLen = r[32];
        if (33 + nameLen > rl || (nameLen == 1 && (r[33] == 0 || r[33] == 1)))
            return;
        const std::string id(reinterpret_cast<const char *>(r + 33), nameLen);
        const uint8_t flags = r[25];
        bool isDir = flags & 0x02;
        uint32_t extent = le32(r + 2);
        const uint32_t size = le32(r + 10);

        if (l.multi) {
            if (!isDir && id == l.multiId && extent == l.nextExtent) {
                m_out.files[l.multiKey].size += size;
                l.nextExtent += sectorsOf(size);
                if (!(flags & 0x80)) {
                    l.multi = false;
                    --m_pending;
                }
                return;
            }
            dropPending(l);
        }

        std::string name = id;
        const size_t semi = name.rfind(';');
        if (!isDir && semi != std::string::npos)
            name.erase(semi);
        if (!isDir && name.size() > 1 && name.back() == '.')
            name.pop_back();
        if (m_rockRidge) {
            const size_t su = 33 + nameLen + ((nameLen & 1) ? 0 : 1);
            if (su < rl) {
                const RockRidge rr = rockRidge(r + su, rl - su);
                if (rr.relocated)
                    return;
                if (rr.hasName)
                    name = rr.name;
                if (rr.childLink) {
                    isDir = true;
                    extent = rr.child;
                }
            }
        }
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos
            || name.find('\0') != std::string::npos)
            return;

        if (isDir) {
            if (int(m_levels.size()) > m_limits.maxDepth)
                return;
            uint64_t length = size;
            if (extent != le32(r + 2)) {
                // A relocated folder: its length is in its own "." record.
                uint8_t dot[34];
                const uint64_t at = uint64_t(extent) * kSector;
                if (at > m_src.size() || m_src.size() - at < sizeof dot || !m_src.read(at, dot, sizeof dot, nullptr))
                    return;
                length = le32(dot + 10);
            }
            enter(extent, length, std::move(name)); // `l` is not used past this
            return;
        }
        if (size == 0 || !m_sectors.count(extent) || m_out.files.count(extent))
            return;
        m_out.files[extent] = TreeFile{pathOf(name), size};
        if (flags & 0x80) {
            l.multi = true;
            l.multiKey = extent;
            l.multiId = id;
            l.nextExtent = uint64_t(extent) + sectorsOf(size);
            ++m_pending;
        }
    }

    const Source &m_src;
    const std::set<uint32_t> &m_sectors;
    const TreeLimits &m_limits;
    TreeSearch &m_out;
    uint64_t m_budget;
    std::vector<Level> m_levels;
    std::unordered_set<uint32_t> m_visited;
    size_t m_pending = 0;
    bool m_rockRidge = false;
    size_t m_suSkip = 0;
};

} // namespace

TreeSearch filesStartingAt(const Source &src, const std::set<uint32_t> &sectors, const TreeLimits &limits)
{
    TreeSearch out;
    if (sectors.empty())
        return out;
    Walker(src, sectors, limits, out).run();
    return out;
}

} // namespace eltorito
