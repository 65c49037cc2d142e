#include "platform/file_calls.h"

#include <cerrno>

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <linux/openat2.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr const char *kDosAttrib = "user.DOSATTRIB";

int result(long rc) { return rc == 0 ? 0 : errno; }

// Opens the entry behind an O_PATH descriptor for the FAT ioctls. Only done
// on FAT, where there are no device nodes or pipes that an open could wake.
int openForIoctl(int pathFd, int *fd)
{
    *fd = ::open(descriptorPath(pathFd).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    return *fd < 0 ? errno : 0;
}

// getxattrat, where the C library does not name it yet: the number is the
// same on every architecture that numbers its calls in the common table.
#if !defined(SYS_getxattrat) && (defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) \
                                 || defined(__arm__) || defined(__riscv) || defined(__loongarch__))
#define SYS_getxattrat 464
#endif

struct XattrArgs // struct xattr_args
{
    alignas(8) quint64 value;
    quint32 size;
    quint32 flags;
};

long dosAttribAt(int dirfd, const char *name, char *buf, size_t size)
{
#ifdef SYS_getxattrat
    XattrArgs args{quint64(quintptr(buf)), quint32(size), 0};
    return ::syscall(SYS_getxattrat, dirfd, name, AT_SYMLINK_NOFOLLOW, kDosAttrib, &args, sizeof args);
#else
    (void)dirfd, (void)name, (void)buf, (void)size;
    errno = ENOSYS;
    return -1;
#endif
}

// Asked once: a kernel without the call, or a sandbox that refuses it,
// keeps the listing on the calls through a descriptor.
bool kernelHasGetxattrat()
{
    static const bool have = [] {
        char buf[8];
        return dosAttribAt(AT_FDCWD, "/", buf, sizeof buf) >= 0 || (errno != ENOSYS && errno != EPERM);
    }();
    return have;
}

FileCalls g_systemCalls;
FileCalls *g_calls = &g_systemCalls;
} // namespace

QByteArray descriptorPath(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

int FileCalls::openAt(int dirfd, const char *name, int flags, int *fd)
{
    *fd = ::openat(dirfd, name, flags | O_CLOEXEC);
    return *fd < 0 ? errno : 0;
}

int FileCalls::openBeneath(int dirfd, const char *path, int *fd)
{
#ifdef SYS_openat2
    struct open_how how = {};
    how.flags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    const long rc = ::syscall(SYS_openat2, dirfd, path, &how, sizeof how);
    *fd = int(rc);
    return rc < 0 ? errno : 0;
#else
    (void)dirfd, (void)path;
    *fd = -1;
    return ENOSYS;
#endif
}

int FileCalls::close(int fd) { return result(::close(fd)); }

int FileCalls::stat(int fd, struct stat *st) { return result(::fstat(fd, st)); }

int FileCalls::statAt(int dirfd, const char *name, struct stat *st, bool follow)
{
    return result(::fstatat(dirfd, name, st, follow ? 0 : AT_SYMLINK_NOFOLLOW));
}

int FileCalls::changeMode(int fd, mode_t mode)
{
    if (::fchmod(fd, mode) == 0)
        return 0;
    if (errno != EBADF)
        return errno;
    return result(::chmod(descriptorPath(fd).constData(), mode));
}

int FileCalls::getDosAttrib(int fd, QByteArray *value)
{
    char buf[256];
    // Straight through a readable descriptor; an O_PATH one needs its path.
    ssize_t n = ::fgetxattr(fd, kDosAttrib, buf, sizeof buf);
    const QByteArray path = descriptorPath(fd);
    if (n < 0 && errno == EBADF)
        n = ::getxattr(path.constData(), kDosAttrib, buf, sizeof buf);
    if (n >= 0) {
        *value = QByteArray(buf, n);
        return 0;
    }
    if (errno != ERANGE)
        return errno;
    // Samba's binary form can be longer than the text we need; an extended
    // attribute never holds more than 64 KiB.
    const ssize_t size = ::getxattr(path.constData(), kDosAttrib, nullptr, 0);
    if (size < 0)
        return errno;
    if (size > 65536)
        return E2BIG;
    value->resize(size);
    const ssize_t m = ::getxattr(path.constData(), kDosAttrib, value->data(), size_t(size));
    if (m < 0)
        return errno;
    value->resize(m);
    return 0;
}

int FileCalls::getDosAttribAt(int dirfd, const char *name, QByteArray *value)
{
    if (!kernelHasGetxattrat())
        return ENOSYS;
    char buf[256];
    const long n = dosAttribAt(dirfd, name, buf, sizeof buf);
    if (n >= 0) {
        *value = QByteArray(buf, qsizetype(n));
        return 0;
    }
    if (errno != ERANGE)
        return errno;
    // A long value (Samba's binary form): through the entry itself.
    int fd;
    if (const int e = openAt(dirfd, name, O_PATH | O_NOFOLLOW, &fd))
        return e;
    const int e = getDosAttrib(fd, value);
    close(fd);
    return e;
}

bool FileCalls::haveDosAttribAt() { return kernelHasGetxattrat(); }

int FileCalls::setDosAttrib(int fd, const QByteArray &value)
{
    if (::fsetxattr(fd, kDosAttrib, value.constData(), size_t(value.size()), 0) == 0)
        return 0;
    if (errno != EBADF)
        return errno;
    return result(::setxattr(descriptorPath(fd).constData(), kDosAttrib, value.constData(), size_t(value.size()), 0));
}

int FileCalls::onFat(int fd, bool *fat)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return errno;
    *fat = fs.f_type == MSDOS_SUPER_MAGIC;
    return 0;
}

int FileCalls::getFatAttributes(int pathFd, quint32 *attributes)
{
    int fd;
    if (const int e = openForIoctl(pathFd, &fd))
        return e;
    __u32 a = 0;
    const int e = result(::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &a));
    ::close(fd);
    *attributes = a;
    return e;
}

int FileCalls::setFatAttributes(int pathFd, quint32 attributes)
{
    int fd;
    if (const int e = openForIoctl(pathFd, &fd))
        return e;
    __u32 a = attributes;
    const int e = result(::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &a));
    ::close(fd);
    return e;
}

int FileCalls::renameNoReplace(int fromDir, const char *from, int toDir, const char *to)
{
    return result(::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE));
}

FileCalls &fileCalls() { return *g_calls; }

void setFileCalls(FileCalls *calls) { g_calls = calls ? calls : &g_systemCalls; }

} // namespace platform
