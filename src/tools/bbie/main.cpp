// bbie: extracts the El Torito boot images of a bootable CD or ISO 9660
// image into image1.bin, image2.bin, ... in the current directory.
#include "tools/bbie/eltorito.h"
#include "platform/read_exactly.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileSource : public eltorito::Source
{
public:
    explicit FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t size() const override { return m_size; }
    bool read(uint64_t off, void *buf, size_t n, std::string *error) const override
    {
        return platform::readExactly(m_fd, off, buf, n, error, "unexpected end of data");
    }

private:
    int m_fd;
    uint64_t m_size;
};

// Copies the extent into `name` through a temporary file that is renamed
// only when complete, so an error never leaves a half-written image.
bool writeImage(const FileSource &src, const eltorito::Extent &x, const std::string &name, std::string *error)
{
    std::string tmp = "." + name + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    ::fchmod(fd, 0644);
    static char buf[1 << 16];
    uint64_t done = 0;
    bool ok = true;
    while (ok && done < x.size) {
        const size_t n = size_t(std::min<uint64_t>(sizeof buf, x.size - done));
        if (!src.read(x.offset + done, buf, n, error)) {
            ok = false;
            break;
        }
        for (size_t w = 0; w < n;) {
            const ssize_t put = ::write(fd, buf + w, n - w);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                *error = std::strerror(errno);
                ok = false;
                break;
            }
            w += size_t(put);
        }
        done += n;
    }
    if (ok && ::fsync(fd) != 0 && errno != EINVAL) {
        *error = std::strerror(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *error = std::strerror(errno);
        ok = false;
    }
    if (ok && ::rename(tmp.c_str(), name.c_str()) != 0) {
        *error = std::strerror(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

int usage()
{
    std::fputs("usage: bbie SOURCE\n"
               "Extracts the El Torito boot images of SOURCE (an ISO 9660 image file or a CD\n"
               "device such as /dev/sr0) into image1.bin, image2.bin, ... in the current directory.\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help"))
        return usage();
    const char *path = argv[1];
    const int fd = ::open(path, O_RDONLY);
    if (fd < 0) {
        std::fprintf(stderr, "bbie: cannot open %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "bbie: cannot read %s: %s\n", path, S_ISDIR(st.st_mode) ? "is a directory" : std::strerror(errno));
        return 1;
    }
    // Block devices report their size through seeking to the end.
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) {
        std::fprintf(stderr, "bbie: cannot read %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    FileSource src(fd, uint64_t(end));

    const eltorito::Catalog cat = eltorito::readCatalog(src);
    switch (cat.status) {
    case eltorito::Status::Ok: break;
    case eltorito::Status::NotIso:
        std::fprintf(stderr, "bbie: %s is not an ISO 9660 image (%s)\n", path, cat.message.c_str());
        return 1;
    case eltorito::Status::NoBootRecord:
        std::fprintf(stderr, "bbie: %s has no El Torito boot record\n", path);
        return 1;
    case eltorito::Status::BadCatalog:
        std::fprintf(stderr, "bbie: invalid boot catalog: %s\n", cat.message.c_str());
        return 1;
    case eltorito::Status::ReadError:
        std::fprintf(stderr, "bbie: cannot read %s: %s\n", path, cat.message.c_str());
        return 1;
    }
    std::printf("Boot catalog at sector %" PRIu32 ", %zu image(s)\n", cat.sector, cat.entries.size());
    for (const std::string &w : cat.warnings)
        std::fprintf(stderr, "bbie: warning: %s\n", w.c_str());

    int written = 0;
    for (size_t i = 0; i < cat.entries.size(); ++i) {
        const eltorito::BootEntry &e = cat.entries[i];
        const std::string name = "image" + std::to_string(i + 1) + ".bin";
        const eltorito::Extent x = eltorito::imageExtent(src, e, cat.volumeEnd);
        std::printf("\nImage %zu: %s\n", i + 1, name.c_str());
        std::printf("  Platform:      %s\n", eltorito::platformName(e.platform).c_str());
        std::printf("  Bootable:      %s\n", e.bootable ? "yes" : "no");
        std::printf("  Emulation:     %s\n", eltorito::mediaName(e.media).c_str());
        std::printf("  Load segment:  0x%04X%s\n", e.loadSegment, e.loadSegment == 0 ? " (default 0x07C0)" : "");
        std::printf("  System type:   0x%02X\n", e.systemType);
        std::printf("  Sector count:  %u\n", e.sectorCount);
        std::printf("  Load RBA:      %" PRIu32 "\n", e.loadRba);
        if (x.outside) {
            std::printf("  Bytes written: 0 (the image starts beyond the end of the source)\n");
            std::fprintf(stderr, "bbie: image %zu starts at sector %" PRIu32 ", beyond the end of the source\n", i + 1, e.loadRba);
            continue;
        }
        std::string error;
        if (!writeImage(src, x, name, &error)) {
            std::printf("  Bytes written: 0\n");
            std::fprintf(stderr, "bbie: cannot write %s: %s\n", name.c_str(), error.c_str());
            continue;
        }
        std::printf("  Bytes written: %" PRIu64 "%s\n", x.size,
                    x.truncated ? " (cut at the end of the source)" : "");
        if (x.truncated && x.size == x.holds)
            std::fprintf(stderr, "bbie: boot image %zu claims %" PRIu64 " bytes, the source holds %" PRIu64 "\n",
                         i + 1, x.wanted, x.holds);
        else if (x.truncated)
            std::fprintf(stderr, "bbie: boot image %zu claims %" PRIu64 " bytes, more than the %" PRIu64 " an image can have\n",
                         i + 1, x.wanted, eltorito::kMaxImage);
        ++written;
    }
    std::fflush(stdout);
    if (written == 0) {
        if (cat.entries.empty())
            std::fprintf(stderr, "bbie: invalid boot catalog: it describes no boot image\n");
        return 1;
    }
    return 0; // at least one image; the others were reported above
}
