#include "platform/attributes.h"

#include "platform/attribute_word.h"
#include "platform/file_calls.h"
#include "platform/files.h"
#include "platform/path_codec.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

ListingMemory::ListingMemory() : m_reader(std::make_unique<detail::WordReader>()) {}

ListingMemory::~ListingMemory() = default;

#ifndef Q_OS_WIN
bool readFolder(const QString &folder, const std::function<void(const FolderEntry &)> &each,
                QString *error, FolderEntry *self, bool noFollow, ListingMemory *memory)
{
    QByteArray path = encodePath(folder);
    // A trailing slash would make the open follow a link after all.
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    if (path.isEmpty())
        path = "/";
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0));
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (error)
            *error = lastErrorText();
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    struct stat own;
    const bool known = ::fstat(fd, &own) == 0;
    if (self && known) {
        self->device = quint64(own.st_dev);
        self->inode = quint64(own.st_ino);
        self->realFolder = true;
    }
    FileCalls &calls = fileCalls();
    ListingMemory local;
    detail::WordReader &words = (memory ? memory : &local)->reader();
    // By name where the kernel can (one fstatat and one getxattrat per
    // entry); else each entry opened and read through its descriptor.
    const bool byName = known && words.byName(fd, own.st_dev);
    FolderEntry e;
    while (const dirent *d = ::readdir(dir)) {
        const char *name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        struct stat st;
        if (byName) {
            if (calls.statAt(fd, name, &st, false) != 0)
                continue; // vanished
        }
        if (byName && S_ISLNK(st.st_mode)) {
            e.attributes = detail::WordReader::linkWord(fd, name, name);
        } else if (byName && st.st_dev == own.st_dev) {
            // A part of the word that cannot be read is left out of it.
            words.wordAt(fd, name, st, &e.attributes);
        } else {
            // The entry itself, never what a link points to: its word is
            // read through this descriptor. Read-only where it may (the
            // attribute calls are quickest so); a link, or an entry that
            // cannot be read, as O_PATH.
            int entry;
            const bool plain = d->d_type == DT_REG || d->d_type == DT_DIR;
            if ((!plain || calls.openAt(fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, &entry) != 0)
                && calls.openAt(fd, name, O_PATH | O_NOFOLLOW, &entry) != 0)
                continue; // vanished
            const bool seen = calls.stat(entry, &st) == 0;
            if (seen && S_ISLNK(st.st_mode))
                e.attributes = detail::WordReader::linkWord(fd, name, name);
            else if (seen)
                words.word(entry, name, st, &e.attributes);
            calls.close(entry);
            if (!seen)
                continue;
        }
        e.name = QByteArray::fromRawData(name, qsizetype(std::strlen(name)));
        e.link = S_ISLNK(st.st_mode);
        e.realFolder = S_ISDIR(st.st_mode);
        e.size = qint64(st.st_size);
        e.device = quint64(st.st_dev);
        e.inode = quint64(st.st_ino);
        each(e);
    }
    ::closedir(dir);
    return true;
}
#endif

QString pathFromQt(const QString &qtPath)
{
    if (!qtPath.contains(QChar(QChar::ReplacementCharacter)))
        return qtPath;
    const QStringList names = qtPath.split(QLatin1Char('/'));
    QString out = names.first();
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QString &name = names[i];
        QString real = name;
        if (name.contains(QChar(QChar::ReplacementCharacter))) {
            int found = 0;
            QString err;
            readFolder(out.isEmpty() ? QStringLiteral("/") : out, [&](const FolderEntry &e) {
                if (QString::fromUtf8(e.name) == name) {
                    real = decodePath(e.name);
                    ++found;
                }
            }, &err);
            if (found != 1)
                return QString();
        }
        out += QLatin1Char('/') + real;
    }
    return out;
}

} // namespace platform
