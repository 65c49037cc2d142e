#include "platform/files.h"

#include "platform/path_codec.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <sys/file.h>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace platform {

// By the name's bytes: Qt's own file classes re-encode a name that is not UTF-8.
bool fileExists(const QString &path)
{
    struct stat st {};
    return !path.isEmpty() && ::stat(encodePath(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool isFolder(const QString &path)
{
    struct stat st {};
    return !path.isEmpty() && ::stat(encodePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool removeFile(const QString &path) { return QFile::remove(path); }

namespace {
// A save's temporary file is "NAME.spindle-PID-XXXXXX": NAME the file it
// replaces, PID its writer's, which holds a lock on it while it writes.
constexpr char kTempMark[] = ".spindle-";

// Whether `rest` (what follows "NAME.spindle-") is "PID-XXXXXX"; *pid
// receives PID.
bool temporaryTail(const char *rest, pid_t *pid)
{
    long n = 0;
    const char *c = rest;
    for (; *c >= '0' && *c <= '9' && n < 1L << 31; ++c)
        n = n * 10 + (*c - '0');
    if (c == rest || *c != '-' || n <= 0)
        return false;
    int letters = 0;
    for (++c; (*c >= '0' && *c <= '9') || (*c >= 'A' && *c <= 'Z') || (*c >= 'a' && *c <= 'z'); ++c)
        ++letters;
    *pid = pid_t(n);
    return *c == 0 && letters == 6;
}

// Removes what saves of `name` in `folder` left behind when their writer was
// killed: a temporary file of that name whose writer has ended and which no
// one holds locked. Anything else stays: other names, a live writer's file,
// links, files of other users.
void removeStaleTemporaries(const QByteArray &folder, const QByteArray &name)
{
    DIR *dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (!dir)
        return;
    const int dfd = ::dirfd(dir);
    const QByteArray prefix = name + kTempMark;
    while (const dirent *e = ::readdir(dir)) {
        pid_t pid = 0;
        if (std::strncmp(e->d_name, prefix.constData(), size_t(prefix.size())) != 0
            || !temporaryTail(e->d_name + prefix.size(), &pid))
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH)
            continue; // its writer may still be at work
        const int fd = ::openat(dfd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat st, now;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(dfd, e->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == st.st_dev
            && now.st_ino == st.st_ino)
            ::unlinkat(dfd, e->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}
} // namespace

bool writeFileAtomic(const QString &path, const QByteArray &data, QString *reason)
{
    bool given = false;
    return writeFileAtomic(
        path, [&] { return std::exchange(given, true) ? QByteArray() : data; }, reason);
}

bool writeFileAtomic(const QString &path, const std::function<QByteArray()> &next, QString *reason)
{
    // A temporary file beside the target, renamed over it only once every
    // byte is on the disk: a full disk or any other failure leaves the old
    // file whole, and the reason is the system's own (errno) text.
    const QByteArray target = encodePath(path);
    const qsizetype slash = target.lastIndexOf('/');
    removeStaleTemporaries(slash < 0 ? QByteArray(".") : target.left(slash), target.mid(slash + 1));
    QByteArray temp = target + kTempMark + QByteArray::number(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    auto fail = [&](int err) {
        if (reason) *reason = errorText(err);
        return false;
    };
    if (fd < 0)
        return fail(errno);
    ::flock(fd, LOCK_EX); // a new file: nobody else holds it
    auto failAndRemove = [&](int err) {
        ::close(fd);
        ::unlink(temp.constData());
        return fail(err);
    };
    // The file keeps the mode of the one it replaces (or gets the usual
    // mode of a new file), not the temporary file's 0600.
    struct stat st {};
    mode_t mode = 0;
    if (::stat(target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        return failAndRemove(errno);
    for (QByteArray data = next(); !data.isEmpty(); data = next()) {
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return failAndRemove(errno);
            }
            done += n;
        }
    }
    if (::fsync(fd) != 0)
        return failAndRemove(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(err);
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return fail(err);
    }
    return true;
}

QString cannotOpenText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

QString cannotCreateText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QString lastErrorText() { return errorText(errno); }

QString errorText(int errnum) { return QString::fromLocal8Bit(std::strerror(errnum)); }

void noReadAhead(int fd)
{
    if (fd >= 0)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
}

} // namespace platform
