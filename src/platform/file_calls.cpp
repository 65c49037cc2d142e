#include "file_calls.h"

#include <cerrno>

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr const char *kDosAttrib = "user.DOSATTRIB";

int result(int rc) { return rc == 0 ? 0 : errno; }

// Opens an entry for the FAT ioctls. Only done on FAT, where there are no
// device nodes or pipes that an open could wake.
int openForIoctl(const char *path, int *fd)
{
    *fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    return *fd < 0 ? errno : 0;
}

FileCalls g_systemCalls;
FileCalls *g_calls = &g_systemCalls;
} // namespace

int FileCalls::stat(const char *path, struct stat *st, bool follow)
{
    return result(follow ? ::stat(path, st) : ::lstat(path, st));
}

int FileCalls::changeMode(const char *path, mode_t mode) { return result(::chmod(path, mode)); }

int FileCalls::getDosAttrib(const char *path, QByteArray *value)
{
    char buf[256];
    const ssize_t n = ::getxattr(path, kDosAttrib, buf, sizeof buf);
    if (n >= 0) {
        *value = QByteArray(buf, n);
        return 0;
    }
    if (errno != ERANGE)
        return errno;
    // Samba's binary form can be longer than the text we need.
    const ssize_t size = ::getxattr(path, kDosAttrib, nullptr, 0);
    if (size < 0)
        return errno;
    value->resize(size);
    const ssize_t m = ::getxattr(path, kDosAttrib, value->data(), size_t(size));
    if (m < 0)
        return errno;
    value->resize(m);
    return 0;
}

int FileCalls::setDosAttrib(const char *path, const QByteArray &value)
{
    return result(::setxattr(path, kDosAttrib, value.constData(), size_t(value.size()), 0));
}

int FileCalls::onFat(const char *path, bool *fat)
{
    struct statfs fs;
    if (::statfs(path, &fs) != 0)
        return errno;
    *fat = fs.f_type == MSDOS_SUPER_MAGIC;
    return 0;
}

int FileCalls::getFatAttributes(const char *path, quint32 *attributes)
{
    int fd;
    if (const int e = openForIoctl(path, &fd))
        return e;
    __u32 a = 0;
    const int e = result(::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &a));
    ::close(fd);
    *attributes = a;
    return e;
}

int FileCalls::setFatAttributes(const char *path, quint32 attributes)
{
    int fd;
    if (const int e = openForIoctl(path, &fd))
        return e;
    __u32 a = attributes;
    const int e = result(::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &a));
    ::close(fd);
    return e;
}

int FileCalls::renameNoReplace(const char *from, const char *to)
{
    return result(::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
}

FileCalls &fileCalls() { return *g_calls; }

void setFileCalls(FileCalls *calls) { g_calls = calls ? calls : &g_systemCalls; }

} // namespace platform
