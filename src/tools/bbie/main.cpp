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
            *error = "reading the source at byte " + std::to_string(x.offset + done) + ": " + *error;
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

// 38912 -> "38,912"
std::string grouped(uint64_t v)
{
    const std::string digits = std::to_string(v);
    std::string s;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            s += ',';
        s += digits[i];
    }
    return s;
}

// What a no-emulation image is: the whole loader file, or only its load count.
std::string loaderNote(size_t n, const eltorito::PlannedImage &p, const std::string &treeStopped)
{
    const unsigned count = p.entry.sectorCount ? p.entry.sectorCount : 1;
    std::string s = "boot image " + std::to_string(n) + ": no emulation, loads " + std::to_string(count) +
                    (count == 1 ? " sector; " : " sectors; ");
    if (p.wholeFile) {
        s += "the file " + p.file + " at that sector is " + grouped(p.fileSize) + " bytes: ";
        return s + (p.extent.truncated ? "only " + grouped(p.extent.size) + " bytes of it written (the source ends first)"
                                       : std::string("written whole"));
    }
    s += "no file of the image's folders starts at that sector";
    if (!treeStopped.empty())
        s += " (the folder walk stopped: " + treeStopped + ")";
    return s + ": wrote " + grouped(p.extent.size) + " bytes, which may be only the start of the loader";
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help"))
        return usage();
    const char *path = argv[1];
    // O_NONBLOCK: a FIFO without a writer must not hold the open; what is
    // neither a file nor a disc device is refused before a byte is read.
    int fd;
    do
        fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        std::fprintf(stderr, "bbie: cannot open %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        std::fprintf(stderr, "bbie: cannot read %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
        std::fprintf(stderr, "bbie: cannot read %s: not a regular file or a block device\n", path);
        return 1;
    }
    if (S_ISBLK(st.st_mode)) {
        // Opened without blocking, a CD drive skips its check for a disc:
        // open the same device again the ordinary way, so an empty drive
        // says "No medium found" instead of looking like an empty image.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        int again;
        do
            again = ::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        while (again < 0 && errno == EINTR);
        if (again < 0 && errno != ENOENT) { // ENOENT: no /proc; the first open serves
            std::fprintf(stderr, "bbie: cannot open %s: %s\n", path, std::strerror(errno));
            return 1;
        }
        if (again >= 0) {
            ::close(fd);
            fd = again;
        }
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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

    const eltorito::RunPlan plan = eltorito::planRun(src, cat);
    // Entries left out are named one by one up to this many, then counted.
    constexpr size_t kMaxNotes = 16;
    size_t notes = 0;
    bool afterNote = false; // notes stand one a line, a blank line before the first
    size_t toWrite = 0;
    for (const eltorito::PlannedImage &p : plan.images)
        toWrite += p.action == eltorito::Action::Write;

    int written = 0;
    for (size_t i = 0; i < plan.images.size(); ++i) {
        const eltorito::PlannedImage &p = plan.images[i];
        const eltorito::BootEntry &e = p.entry;
        const eltorito::Extent &x = p.extent;
        const size_t n = i + 1;
        if (p.action == eltorito::Action::Same || p.action == eltorito::Action::TooMany
            || p.action == eltorito::Action::OverBound) {
            if (++notes > kMaxNotes)
                continue;
            if (!afterNote)
                std::printf("\n");
            afterNote = true;
            if (p.action == eltorito::Action::Same)
                std::printf("Image %zu: the same image as image %zu; not written again\n", n, p.sameAs);
            else if (p.action == eltorito::Action::TooMany)
                std::printf("Image %zu: not written (more than %zu images)\n", n, eltorito::kMaxImages);
            else
                std::printf("Image %zu: not written (its %s bytes would take all images past %s bytes)\n", n,
                            grouped(x.size).c_str(), grouped(plan.bound).c_str());
            continue;
        }
        afterNote = false;
        const std::string name = "image" + std::to_string(n) + ".bin";
        std::printf("\nImage %zu: %s\n", n, name.c_str());
        std::printf("  Platform:      %s\n", eltorito::platformName(e.platform).c_str());
        std::printf("  Bootable:      %s\n", e.bootable ? "yes" : "no");
        std::printf("  Emulation:     %s\n", eltorito::mediaName(e.media).c_str());
        std::printf("  Load segment:  0x%04X%s\n", e.loadSegment, e.loadSegment == 0 ? " (default 0x07C0)" : "");
        std::printf("  System type:   0x%02X\n", e.systemType);
        std::printf("  Sector count:  %u\n", e.sectorCount);
        std::printf("  Load RBA:      %" PRIu32 "\n", e.loadRba);
        if (p.action == eltorito::Action::Outside) {
            std::printf("  Bytes written: 0 (the image starts beyond the end of the source)\n");
            std::fprintf(stderr, "bbie: image %zu starts at sector %" PRIu32 ", beyond the end of the source\n", n, e.loadRba);
            continue;
        }
        std::string error;
        if (!writeImage(src, x, name, &error)) {
            std::printf("  Bytes written: 0\n");
            std::fflush(stdout);
            const size_t left = toWrite - size_t(written) - 1;
            std::fprintf(stderr, "bbie: cannot write %s: %s; stopped%s\n", name.c_str(), error.c_str(),
                         left ? (", " + std::to_string(left) + " more image(s) not written").c_str() : "");
            return 1;
        }
        std::printf("  Bytes written: %" PRIu64 "%s\n", x.size,
                    x.truncated ? " (cut at the end of the source)" : "");
        if (e.media == uint8_t(eltorito::Media::NoEmulation))
            std::printf("%s\n", loaderNote(n, p, plan.treeStopped).c_str());
        if (x.truncated && x.size == x.holds)
            std::fprintf(stderr, "bbie: boot image %zu claims %" PRIu64 " bytes, the source holds %" PRIu64 "\n",
                         n, x.wanted, x.holds);
        else if (x.truncated)
            std::fprintf(stderr, "bbie: boot image %zu claims %" PRIu64 " bytes, more than the %" PRIu64 " an image can have\n",
                         n, x.wanted, eltorito::kMaxImage);
        ++written;
    }
    if (plan.same || plan.tooMany || plan.overBound)
        std::printf("\n");
    if (plan.same)
        std::printf("Not written: %s entries with the same image as an earlier entry\n", grouped(plan.same).c_str());
    if (plan.tooMany)
        std::printf("Not written: %s entries past the limit of %zu images\n", grouped(plan.tooMany).c_str(),
                    eltorito::kMaxImages);
    if (plan.overBound)
        std::printf("Not written: %s entries past the bound of %s bytes for all images together (the volume's size)\n",
                    grouped(plan.overBound).c_str(), grouped(plan.bound).c_str());
    std::fflush(stdout);
    if (plan.tooMany || plan.overBound) {
        std::fprintf(stderr, "bbie: %s boot image(s) not written: a run writes at most %zu images and at most %s bytes "
                             "(the volume's size) in all\n",
                     grouped(plan.tooMany + plan.overBound).c_str(), eltorito::kMaxImages, grouped(plan.bound).c_str());
        return 1;
    }
    if (written == 0) {
        if (cat.entries.empty())
            std::fprintf(stderr, "bbie: invalid boot catalog: it describes no boot image\n");
        return 1;
    }
    return 0; // at least one image; the others were reported above
}
