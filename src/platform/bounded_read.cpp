#include "platform/bounded_read.h"

#include "platform/files.h"
#include "platform/path_codec.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace platform {

namespace {
constexpr qint64 kChunk = 1 << 20;

BoundedRead failed(BoundedRead::Status status, int errnum, const QString &reason)
{
    BoundedRead r;
    r.status = status;
    r.errnum = errnum;
    r.reason = reason;
    return r;
}

QString tooLargeReason(qint64 limit)
{
    return QStringLiteral("larger than %1 bytes").arg(limit);
}

class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

private:
    int m_fd;
};
} // namespace

QString notRegularText() { return QStringLiteral("not a regular file"); }

BoundedRead readBounded(const QString &path, qint64 limit)
{
    const QByteArray name = encodePath(path);
    if (name.isEmpty())
        return failed(BoundedRead::CannotOpen, ENOENT, errorText(ENOENT));
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead
    // of waiting; O_NOCTTY: a terminal never becomes ours.
    int fd;
    do
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int e = errno;
        return failed(BoundedRead::CannotOpen, e, errorText(e));
    }
    const Fd closer(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        return failed(BoundedRead::CannotOpen, e, errorText(e));
    }
    if (!S_ISREG(st.st_mode))
        return failed(BoundedRead::NotRegular, 0, notRegularText());
    if (st.st_size > limit)
        return failed(BoundedRead::TooLarge, 0, tooLargeReason(limit));

    // Sized by fstat, grown in chunks when the file grows (or reports no
    // size, as files under /proc do), and given up one byte past the limit.
    // Allocated to the size, not to the next power of two.
    QByteArray data(qsizetype(std::min<qint64>(qint64(st.st_size), limit) + 1), Qt::Uninitialized);
    qint64 have = 0;
    for (;;) {
        if (have == data.size()) {
            if (have > limit)
                return failed(BoundedRead::TooLarge, 0, tooLargeReason(limit));
            data.resize(qsizetype(std::min<qint64>(have + kChunk, limit + 1)));
        }
        const ssize_t n = ::read(fd, data.data() + have, size_t(data.size() - have));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int e = errno;
            return failed(BoundedRead::CannotOpen, e, errorText(e));
        }
        if (n == 0)
            break;
        have += n;
    }
    if (have > limit)
        return failed(BoundedRead::TooLarge, 0, tooLargeReason(limit));
    data.truncate(qsizetype(have));
    BoundedRead r;
    r.status = BoundedRead::Ok;
    r.data = std::move(data);
    return r;
}

} // namespace platform
