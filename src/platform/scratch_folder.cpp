#include "platform/scratch_folder.h"

#include "platform/files.h"
#include "platform/path_codec.h"
#include "platform/paths.h"

#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
// Folders in the data folder for a third session and on.
constexpr int kMaxSessions = 9;

QString withSeparator(QString p)
{
    if (!p.isEmpty() && !p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}
} // namespace

bool ScratchFolder::claim(const QString &folder, QString *reason)
{
    release();
    const QByteArray path = encodePath(folder);
    const int fd = ::open(path.isEmpty() ? "." : path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (reason)
            *reason = errno == EWOULDBLOCK ? QStringLiteral("another Spindle session uses it") : lastErrorText();
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_fd = fd;
    m_folder = withSeparator(folder);
    return true;
}

void ScratchFolder::release()
{
    if (m_fd >= 0)
        ::close(m_fd); // the last descriptor of the open file: the lock goes
    m_fd = -1;
    m_folder.clear();
}

QStringList scratchCandidates()
{
    QStringList out{workFolder()};
    const QString data = dataFolder();
    if (data.isEmpty())
        return out;
    if (!out.contains(data))
        out << data;
    for (int n = 2; n <= kMaxSessions; ++n)
        out << data + QStringLiteral("session-%1/").arg(n);
    return out;
}

ScratchFolder &sessionScratch()
{
    static ScratchFolder s;
    return s;
}

bool claimSessionScratch(QString *taken, QString *reason)
{
    taken->clear();
    const QStringList candidates = scratchCandidates();
    QString firstReason;
    for (const QString &folder : candidates) {
        QDir().mkpath(folder);
        QString why;
        if (sessionScratch().claim(folder, &why)) {
            if (folder != candidates.first())
                *taken = candidates.first();
            return true;
        }
        if (firstReason.isEmpty())
            firstReason = why;
    }
    if (reason)
        *reason = firstReason;
    return false;
}

QString scratchFolder()
{
    const ScratchFolder &s = sessionScratch();
    return s.held() ? s.folder() : workFolder();
}

void removeScratchFiles(const QStringList &names)
{
    ScratchFolder stale;
    ScratchFolder &own = sessionScratch();
    ScratchFolder &where = own.held() ? own : stale;
    if (!where.held() && !stale.claim(workFolder()))
        return; // another session's
    for (const QString &name : names)
        ::unlink(encodePath(where.folder() + name).constData());
    where.release();
}

bool createScratchFile(const QString &path, QString *reason)
{
    const QByteArray bytes = encodePath(path);
    int fd = -1;
    // Two tries: whatever stood there is removed once.
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(bytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST || attempt > 0)
            break;
        struct stat st;
        if (::lstat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            break;
        }
        if (::unlink(bytes.constData()) != 0 && errno != ENOENT)
            break;
    }
    if (fd < 0) {
        if (reason)
            *reason = lastErrorText();
        return false;
    }
    ::close(fd);
    return true;
}

bool openScratchForAppend(const QString &path, QFile *file, QString *reason)
{
    // Non-blocking, so a FIFO put there cannot hold the open.
    const int fd = ::open(encodePath(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (reason)
            *reason = errno == ELOOP ? QStringLiteral("it is a symbolic link") : lastErrorText();
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (reason)
            *reason = QStringLiteral("it is not a regular file");
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, O_APPEND); // blocking again
    if (!file->open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        if (reason)
            *reason = file->errorString();
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace platform
