#pragma once
// Reads that take exactly what was asked: plain C++, no Qt, so the boot
// image extractor and the image order reader (and their fuzz targets) share
// it.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>

namespace platform {

// Reads `n` bytes at `off` of `fd`, across short reads and interruptions.
// False with the system's reason, or `endText` when the file ends first.
inline bool readExactly(int fd, uint64_t off, void *buf, size_t n, std::string *error, const char *endText)
{
    auto *p = static_cast<char *>(buf);
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, off_t(off));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (error)
                *error = got < 0 ? std::strerror(errno) : endText;
            return false;
        }
        p += got;
        off += uint64_t(got);
        n -= size_t(got);
    }
    return true;
}

} // namespace platform
