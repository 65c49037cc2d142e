#include "platform/files.h"

#include "platform/path_codec.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
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

bool createEmptyFile(const QString &path, QString *reason)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (reason) *reason = f.errorString();
        return false;
    }
    return true;
}

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
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    auto fail = [&](int err) {
        if (reason) *reason = errorText(err);
        return false;
    };
    if (fd < 0)
        return fail(errno);
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

bool appendToFile(const QString &path, const QByteArray &data, QString *reason)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(data) != data.size()
        || !f.flush()) {
        if (reason) *reason = f.errorString();
        return false;
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

} // namespace platform
