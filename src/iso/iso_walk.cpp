#include "iso/iso_walk.h"

#include "platform/read_exactly.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace iso {

namespace {

uint16_t le16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Descriptors read after sector 16 before giving up on a terminator.
constexpr int kMaxDescriptors = 64;
// Problems kept word for word; the rest are counted.
constexpr size_t kMaxProblems = 200;

void appendUtf8(std::string &out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// UCS-2 big-endian (surrogate pairs joined, lone halves replaced) to UTF-8.
std::string fromUcs2(const uint8_t *p, size_t n)
{
    std::string out;
    n &= ~size_t(1);
    for (size_t i = 0; i < n; i += 2) {
        uint32_t c = uint32_t(p[i] << 8 | p[i + 1]);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < n) {
            const uint32_t lo = uint32_t(p[i + 2] << 8 | p[i + 3]);
            if (lo >= 0xDC00 && lo < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

// ";1" and, for a name without an extension, the dot before it.
std::string withoutVersion(std::string name, bool stripDot)
{
    const size_t semi = name.rfind(';');
    if (semi != std::string::npos)
        name.erase(semi);
    if (stripDot && name.size() > 1 && name.back() == '.')
        name.pop_back();
    return name;
}

struct Folder
{
    uint32_t extent;
    uint32_t length;
    std::string path;
    int depth;
};

// What a directory record's system use area says, as Rock Ridge puts it.
struct RockRidge
{
    bool hasName = false;
    std::string name;
    bool relocated = false;   // RE: the real place is a CL elsewhere
    bool childLink = false;   // CL: a folder relocated to `child`
    uint32_t child = 0;
};

class Walker
{
public:
    Walker(const ImageSource &src, const ReadLimits &limits, ImageListing &out)
        : m_src(src), m_limits(limits), m_out(out)
    {
    }

    void problem(std::string text)
    {
        if (m_out.problems.size() < kMaxProblems)
            m_out.problems.push_back(std::move(text));
        else
            ++m_moreProblems;
    }
    void finish()
    {
        if (m_moreProblems)
            m_out.problems.push_back("and " + std::to_string(m_moreProblems) + " more problems");
    }

    bool read(uint64_t off, void *buf, size_t n, std::string *err) const
    {
        if (off > m_src.size() || n > m_src.size() - off) {
            if (err)
                *err = "read past the end of the image";
            return false;
        }
        return m_src.read(off, buf, n, err);
    }

    // The system use entries of one record (and its continuation areas).
    RockRidge rockRidge(const uint8_t *su, size_t n, const std::string &where)
    {
        RockRidge rr;
        std::vector<uint8_t> area;
        int continuations = 0;
        bool nameOpen = true;
        size_t skip = m_suSkip; // the SP skip applies to the record's own area only
        for (;;) {
            uint32_t ceBlock = 0, ceOffset = 0, ceLength = 0;
            bool ce = false;
            size_t i = skip;
            while (i + 4 <= n) {
                const uint8_t *e = su + i;
                const size_t len = e[2];
                if (len < 4 || len > n - i)
                    break;
                if (e[0] == 'N' && e[1] == 'M' && len >= 5) {
                    const uint8_t flags = e[4];
                    if (!(flags & 0x06) && nameOpen) {
                        rr.name.append(reinterpret_cast<const char *>(e + 5), len - 5);
                        rr.hasName = true;
                        nameOpen = flags & 0x01;
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
            if (!ce)
                break;
            if (++continuations > m_limits.maxContinuations) {
                problem(where + ": more than " + std::to_string(m_limits.maxContinuations) +
                        " Rock Ridge continuation areas; the rest skipped");
                break;
            }
            const uint64_t off = uint64_t(ceBlock) * kIsoSector + ceOffset;
            if (ceOffset >= kIsoSector || ceLength == 0 || ceLength > kIsoSector - ceOffset) {
                problem(where + ": a Rock Ridge continuation area that does not fit its sector; skipped");
                break;
            }
            area.resize(ceLength);
            if (!read(off, area.data(), ceLength, nullptr)) {
                problem(where + ": a Rock Ridge continuation area past the end of the image; skipped");
                break;
            }
            su = area.data();
            n = area.size();
            skip = 0;
        }
        return rr;
    }

    void setSuSkip(size_t skip) { m_suSkip = skip; }

    void walk(uint32_t rootExtent, uint32_t rootLength)
    {
        std::vector<Folder> stack{{rootExtent, rootLength, std::string(), 0}};
        m_visited.insert(rootExtent);
        uint64_t budget = m_src.size(); // directory bytes: never more than the image holds
        std::vector<uint8_t> dir;
        while (!stack.empty()) {
            const Folder f = std::move(stack.back());
            stack.pop_back();
            const std::string where = f.path.empty() ? std::string("the root folder") : "folder \"" + f.path + "\"";
            const uint64_t start = uint64_t(f.extent) * kIsoSector;
            if (start >= m_src.size()) {
                problem(where + " starts past the end of the image; not read");
                continue;
            }
            uint64_t length = f.length;
            if (length > m_limits.maxDirectoryBytes) {
                problem(where + " claims " + std::to_string(length) + " bytes; only the first " +
                        std::to_string(m_limits.maxDirectoryBytes) + " read");
                length = m_limits.maxDirectoryBytes;
            }
            if (length > m_src.size() - start) {
                problem(where + " runs past the end of the image; read up to the end");
                length = m_src.size() - start;
            }
            if (length > budget) {
                problem(where + ": the folders together claim more than the image holds; not read");
                continue;
            }
            budget -= length;
            dir.resize(size_t(length));
            std::string err;
            if (!read(start, dir.data(), dir.size(), &err)) {
                problem(where + " cannot be read: " + err);
                continue;
            }
            if (!records(f, where, dir, stack))
                return;
        }
    }

    NameSource names = NameSource::Iso9660;

private:
    // Reads one directory's records; false when the entry cap was reached.
    bool records(const Folder &f, const std::string &where, const std::vector<uint8_t> &dir,
                 std::vector<Folder> &stack)
    {
        const size_t len = dir.size();
        size_t pos = 0;
        std::string lastName;
        bool lastMulti = false;
        size_t lastFile = 0;
        while (pos < len) {
            const size_t rl = dir[pos];
            const size_t inSector = pos % kIsoSector;
            if (rl == 0) { // the rest of the sector is padding
                pos += kIsoSector - inSector;
                continue;
            }
            if (rl < 34 || inSector + rl > kIsoSector || pos + rl > len) {
                problem(where + ": a record at byte " + std::to_string(pos) + (rl < 34 ? " is too short" :
                        inSector + rl > kIsoSector ? " overruns its sector" : " overruns the folder") +
                        "; the rest of its sector skipped");
                pos += kIsoSector - inSector;
                continue;
            }
            const uint8_t *r = dir.data() + pos;
            pos += rl;
            const size_t nameLen = r[32];
            if (33 + nameLen > rl) {
                problem(where + ": a record whose name overruns it; skipped");
                continue;
            }
            const bool self = nameLen == 1 && (r[33] == 0 || r[33] == 1);
            if (self)
                continue;
            const uint32_t extent = le32(r + 2);
            const uint32_t size = le32(r + 10);
            const uint8_t flags = r[25];
            bool isDir = flags & 0x02;
            std::string name;
            uint32_t childExtent = extent;
            if (names == NameSource::Joliet) {
                name = withoutVersion(fromUcs2(r + 33, nameLen), false);
            } else {
                name = withoutVersion(std::string(reinterpret_cast<const char *>(r + 33), nameLen), !isDir);
                if (names == NameSource::RockRidge) {
                    const size_t suStart = 33 + nameLen + ((nameLen & 1) ? 0 : 1);
                    if (suStart < rl) {
                        const RockRidge rr = rockRidge(r + suStart, rl - suStart,
                                                       where + ": \"" + name + "\"");
                        if (rr.relocated)
                            continue; // reached through its CL placeholder
                        if (rr.hasName)
                            name = rr.name;
                        if (rr.childLink) {
                            isDir = true;
                            childExtent = rr.child;
                        }
                    }
                }
            }
            if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos
                || name.find('\0') != std::string::npos) {
                problem(where + ": an entry named \"" + name + "\" cannot be a name; skipped");
                continue;
            }
            const std::string path = f.path.empty() ? name : f.path + "/" + name;
            if (++m_entries > m_limits.maxEntries) {
                problem("more than " + std::to_string(m_limits.maxEntries) + " entries; the listing stops");
                return false;
            }
            if (isDir) {
                lastMulti = false;
                m_out.folders.push_back(path);
                if (f.depth + 1 > m_limits.maxDepth) {
                    problem("folder \"" + path + "\" lies deeper than " + std::to_string(m_limits.maxDepth) +
                            " levels; not read");
                    continue;
                }
                if (!m_visited.insert(childExtent).second) {
                    problem("folder \"" + path + "\" points at a folder already read (sector " +
                            std::to_string(childExtent) + "); not read again");
                    continue;
                }
                uint32_t childLength = size;
                if (childExtent != extent) {
                    // A relocated folder: its length is in its own "." record.
                    uint8_t dot[34];
                    if (!read(uint64_t(childExtent) * kIsoSector, dot, sizeof dot, nullptr)) {
                        problem("folder \"" + path + "\" was moved past the end of the image; not read");
                        continue;
                    }
                    childLength = le32(dot + 10);
                }
                stack.push_back({childExtent, childLength, path, f.depth + 1});
                continue;
            }
            if (lastMulti && name == lastName) {
                m_out.files[lastFile].size += size; // the next section of one file
            } else {
                m_out.files.push_back({path, extent, size});
                lastFile = m_out.files.size() - 1;
                lastName = name;
                if (uint64_t(extent) * kIsoSector + size > m_src.size())
                    problem("file \"" + path + "\" runs past the end of the image");
            }
            lastMulti = flags & 0x80;
        }
        return true;
    }

    const ImageSource &m_src;
    const ReadLimits &m_limits;
    ImageListing &m_out;
    std::unordered_set<uint32_t> m_visited;
    size_t m_entries = 0;
    size_t m_moreProblems = 0;
    size_t m_suSkip = 0;
};

// The SP entry in the root's "." record: Rock Ridge, and how many bytes of
// every system use area precede the entries.
bool rockRidgeRoot(const ImageSource &src, uint32_t extent, size_t *skip)
{
    uint8_t sector[kIsoSector];
    if (uint64_t(extent) * kIsoSector + kIsoSector > src.size()
        || !src.read(uint64_t(extent) * kIsoSector, sector, sizeof sector, nullptr))
        return false;
    const size_t rl = sector[0];
    const size_t nameLen = sector[32];
    if (rl < 34 || 33 + nameLen > rl)
        return false;
    const size_t su = 33 + nameLen + ((nameLen & 1) ? 0 : 1);
    if (su + 7 > rl)
        return false;
    const uint8_t *e = sector + su;
    if (e[0] != 'S' || e[1] != 'P' || e[2] < 7 || e[4] != 0xBE || e[5] != 0xEF)
        return false;
    *skip = e[6];
    return true;
}

} // namespace

bool MemoryImage::read(uint64_t off, void *buf, size_t n, std::string *error) const
{
    if (off > m_size || n > m_size - off) {
        if (error)
            *error = "read past the end of the image";
        return false;
    }
    std::memcpy(buf, m_data + off, n);
    return true;
}

FileImage::FileImage(const std::string &bytesPath)
{
    // O_NONBLOCK: a FIFO without a writer must not hold the open.
    do
        m_fd = ::open(bytesPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        m_error = std::strerror(errno);
        return;
    }
    struct stat st {};
    const bool statted = ::fstat(m_fd, &st) == 0;
    if (!statted || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        m_error = statted ? "not a regular file or block device" : std::strerror(errno);
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    // Block devices give their size through seeking to the end.
    const off_t end = ::lseek(m_fd, 0, SEEK_END);
    if (end < 0) {
        m_error = std::strerror(errno);
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_size = uint64_t(end);
}

FileImage::~FileImage()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileImage::read(uint64_t off, void *buf, size_t n, std::string *error) const
{
    return platform::readExactly(m_fd, off, buf, n, error, "unexpected end of the image");
}

ImageListing readImageOrder(const ImageSource &src, const ReadLimits &limits)
{
    ImageListing out;
    if (src.size() < 17 * kIsoSector) {
        out.error = "too short for an ISO 9660 image (" + std::to_string(src.size()) + " bytes)";
        return out;
    }
    uint8_t vd[kIsoSector];
    uint8_t root[34] = {}, jolietRoot[34] = {};
    bool primary = false, joliet = false, terminated = false;
    for (int i = 0; i < kMaxDescriptors; ++i) {
        const uint64_t off = (16 + uint64_t(i)) * kIsoSector;
        std::string err;
        if (off + kIsoSector > src.size())
            break;
        if (!src.read(off, vd, sizeof vd, &err)) {
            out.error = "cannot read volume descriptor " + std::to_string(16 + i) + ": " + err;
            return out;
        }
        if (std::memcmp(vd + 1, "CD001", 5) != 0) {
            if (i == 0) {
                out.error = "no volume descriptor at sector 16 (no \"CD001\")";
                return out;
            }
            break;
        }
        if (vd[0] == 255) {
            terminated = true;
            break;
        }
        if (vd[0] == 1 && !primary) {
            primary = true;
            const unsigned block = le16(vd + 128);
            if (block != kIsoSector) {
                out.error = "logical block size " + std::to_string(block) + " is not 2048";
                return out;
            }
            std::memcpy(root, vd + 156, sizeof root);
        } else if (vd[0] == 2 && !joliet && vd[88] == '%' && vd[89] == '/'
                   && (vd[90] == '@' || vd[90] == 'C' || vd[90] == 'E') && le16(vd + 128) == kIsoSector) {
            joliet = true;
            std::memcpy(jolietRoot, vd + 156, sizeof jolietRoot);
        }
    }
    if (!primary) {
        out.error = "no primary volume descriptor";
        return out;
    }
    if (!terminated)
        out.problems.push_back("no volume descriptor set terminator");
    if (root[0] < 34 || !(root[25] & 0x02)) {
        out.error = "the primary volume descriptor holds no root folder record";
        return out;
    }

    ImageListing listing = std::move(out);
    Walker w(src, limits, listing);
    size_t skip = 0;
    const uint8_t *top = root;
    if (rockRidgeRoot(src, le32(root + 2), &skip)) {
        w.names = NameSource::RockRidge;
        w.setSuSkip(skip);
    } else if (joliet && jolietRoot[0] >= 34 && (jolietRoot[25] & 0x02)) {
        w.names = NameSource::Joliet;
        top = jolietRoot;
    }
    listing.names = w.names;
    w.walk(le32(top + 2), le32(top + 10));
    w.finish();
    std::sort(listing.files.begin(), listing.files.end(), [](const ImageFile &a, const ImageFile &b) {
        return a.extent != b.extent ? a.extent < b.extent : a.path < b.path;
    });
    listing.ok = true;
    return listing;
}

} // namespace iso
