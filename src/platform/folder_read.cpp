#include "attributes.h"

#include "attribute_word.h"
#include "files.h"
#include "path_codec.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

#ifndef Q_OS_WIN
bool readFolder(const QString &folder, const std::function<void(const FolderEntry &)> &each,
                QString *error, FolderEntry *self)
{
    QByteArray prefix = encodePath(folder);
    DIR *dir = ::opendir(prefix.isEmpty() ? "/" : prefix.constData());
    if (!dir) {
        if (error)
            *error = lastErrorText();
        return false;
    }
    if (!prefix.endsWith('/'))
        prefix += '/';
    const int fd = ::dirfd(dir);
    struct stat own;
    if (self && ::fstat(fd, &own) == 0) {
        self->device = quint64(own.st_dev);
        self->inode = quint64(own.st_ino);
        self->realFolder = true;
    }
    detail::WordReader words;
    QByteArray full;
    FolderEntry e;
    while (const dirent *d = ::readdir(dir)) {
        const char *name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        full = prefix;
        full += name;
        struct stat st;
        if (::fstatat(fd, name, &st, 0) == 0) {
            // A part of the word that cannot be read is left out of it.
            words.word(full.constData(), name, st, &e.attributes);
        } else if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            e.attributes = detail::dotName(name) ? quint16(kHidden) : quint16(0); // a dangling link
        } else {
            continue; // vanished
        }
        bool real = S_ISDIR(st.st_mode);
        if (real && d->d_type != DT_DIR) {
            struct stat own;
            real = ::fstatat(fd, name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(own.st_mode);
        }
        e.name = QByteArray(name);
        e.realFolder = real;
        e.size = qint64(st.st_size);
        e.device = real ? quint64(st.st_dev) : 0;
        e.inode = real ? quint64(st.st_ino) : 0;
        each(e);
    }
    ::closedir(dir);
    return true;
}
#endif

} // namespace platform
