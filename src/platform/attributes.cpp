// The attribute word on Linux, read and written in one place, and the rename
// that never replaces an entry.
#include "platform/attribute_word.h"
#include "platform/platform.h"

#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>

namespace platform {

namespace {
constexpr quint16 kStoredBits = kReadOnly | kHidden | kSystem | kArchive;
constexpr quint16 kXattrOnlyBits = kHidden | kSystem | kArchive;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

// Samba's value begins with the word as hex text ("0x22"), NUL-terminated;
// its binary form follows that text. False when the value has no such text.
bool parseDosAttrib(const QByteArray &v, quint32 *bits)
{
    if (v.size() < 3 || v[0] != '0' || (v[1] != 'x' && v[1] != 'X'))
        return false;
    quint32 n = 0;
    qsizetype i = 2;
    for (; i < v.size() && i < 10; ++i) {
        const char c = v[i];
        const int d = c >= '0' && c <= '9' ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (d < 0)
            break;
        n = n << 4 | quint32(d);
    }
    if (i == 2)
        return false;
    *bits = n;
    return true;
}

QByteArray dosAttribText(quint32 bits) { return "0x" + QByteArray::number(bits, 16) + '\0'; }

// The path as bytes without trailing slashes, and where its last name starts.
QByteArray entryBytes(const QString &path, qsizetype *nameAt)
{
    QByteArray bytes = encodePath(path);
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    *nameAt = bytes.lastIndexOf('/') + 1;
    return bytes;
}

// Not an errno value: the chosen folder is no longer the one listed.
constexpr int kReplaced = -1;

// A descriptor closed on every way out.
class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    int *out()
    {
        reset();
        return &m_fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            fileCalls().close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

// Splits a path into the folder the user chose and the `below` names under
// it (fewer when the path has fewer). Doubled and trailing slashes go; "."
// and ".." are refused below the chosen folder, so nothing can climb out.
int splitBelow(const QByteArray &bytes, int below, QByteArray *root, QList<QByteArray> *names)
{
    QByteArray clean;
    clean.reserve(bytes.size());
    for (const char c : bytes)
        if (c != '/' || !clean.endsWith('/'))
            clean += c;
    if (clean.size() > 1 && clean.endsWith('/'))
        clean.chop(1);
    if (clean.isEmpty())
        return ENOENT;
    names->clear();
    if (clean == "/") {
        *root = clean;
        return 0;
    }
    qsizetype end = clean.size();
    for (int i = 0; i < std::max(below, 1); ++i) {
        const qsizetype slash = clean.lastIndexOf('/', end - 1);
        QByteArray name = clean.mid(slash + 1, end - slash - 1);
        if (name == "." || name == "..")
            return EINVAL;
        names->prepend(std::move(name));
        end = slash;
        if (slash <= 0)
            break;
    }
    *root = end < 0 ? QByteArray(".") : end == 0 ? QByteArray("/") : clean.left(end);
    return 0;
}

// The folders of `names` but the last, one below the other from `dirfd`,
// each opened without following a link: for kernels without openat2.
int walkBelow(int dirfd, const QList<QByteArray> &names, Fd *out)
{
    FileCalls &calls = fileCalls();
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        int next;
        if (const int e = calls.openAt(i == 0 ? dirfd : out->get(), names[i].constData(), O_PATH | O_NOFOLLOW, &next))
            return e;
        out->reset(next);
        struct stat st;
        if (const int e = calls.stat(next, &st))
            return e;
        if (S_ISLNK(st.st_mode))
            return ELOOP;
        if (!S_ISDIR(st.st_mode))
            return ENOTDIR;
    }
    return 0;
}

// The folder of an entry, opened as described at changeAttributes, and the
// entry's last name ("" for the root folder itself). ELOOP when a folder
// below the chosen one is a symbolic link.
int openFolderOf(const QByteArray &path, const Beneath &where, Fd *folder, QByteArray *name)
{
    QByteArray root;
    QList<QByteArray> names;
    if (const int e = splitBelow(path, where.names, &root, &names))
        return e;
    FileCalls &calls = fileCalls();
    // The chosen folder itself is taken as the user named it, as long as it
    // is still the folder that was listed.
    if (const int e = calls.openAt(AT_FDCWD, root.constData(), O_PATH | O_DIRECTORY, folder->out()))
        return e;
    if (where.device || where.inode) {
        struct stat st;
        if (const int e = calls.stat(folder->get(), &st))
            return e;
        if (quint64(st.st_dev) != where.device || quint64(st.st_ino) != where.inode)
            return kReplaced;
    }
    name->clear();
    if (names.isEmpty())
        return 0;
    *name = names.last();
    if (names.size() == 1)
        return 0;
    QByteArray folders = names.first();
    for (qsizetype i = 1; i + 1 < names.size(); ++i)
        folders += '/' + names[i];
    Fd sub;
    int e = calls.openBeneath(folder->get(), folders.constData(), sub.out());
    // No openat2 (an older kernel, or a sandbox that refuses the call):
    // the same walk one name at a time.
    if (e == ENOSYS || e == EPERM || e == E2BIG)
        e = walkBelow(folder->get(), names, &sub);
    if (e != 0)
        return e;
    struct stat st;
    if (const int e2 = calls.stat(sub.get(), &st))
        return e2;
    if (S_ISLNK(st.st_mode))
        return ELOOP;
    if (!S_ISDIR(st.st_mode))
        return ENOTDIR;
    folder->reset(sub.release());
    return 0;
}

// The entry itself in its folder, never following it: a link opens as the link.
int openEntry(const Fd &folder, const QByteArray &name, Fd *entry)
{
    return fileCalls().openAt(folder.get(), name.isEmpty() ? "." : name.constData(), O_PATH | O_NOFOLLOW,
                              entry->out());
}

QString reasonText(int e)
{
    return e == ELOOP ? linkInPathText() : e == kReplaced ? folderReplacedText() : errnoText(e);
}
} // namespace

namespace detail {

bool dotName(const char *name)
{
    return name[0] == '.' && name[1] != 0 && !(name[1] == '.' && name[2] == 0);
}

WordReader::Device &WordReader::device(int fd, dev_t dev)
{
    for (Device &d : m_devices)
        if (d.dev == dev)
            return d;
    bool fat = false;
    fileCalls().onFat(fd, &fat);
    m_devices.append({dev, fat, false});
    return m_devices.last();
}

quint16 WordReader::linkWord(int dirfd, const char *path, const char *name)
{
    struct stat st;
    quint16 w = fileCalls().statAt(dirfd, path, &st, true) == 0 && S_ISDIR(st.st_mode) ? quint16(kDirectory)
                                                                                      : quint16(0);
    return dotName(name) ? quint16(w | kHidden) : w;
}

int WordReader::word(int fd, const char *name, const struct stat &st, quint16 *word)
{
    FileCalls &calls = fileCalls();
    quint16 w = S_ISDIR(st.st_mode) ? quint16(kDirectory) : quint16(0);
    if (dotName(name))
        w |= kHidden;
    Device &dev = device(fd, st.st_dev);
    int error = 0;
    if (dev.fat) {
        quint32 a = 0;
        error = calls.getFatAttributes(fd, &a);
        if (error == 0) {
            *word = w | quint16(a & (kStoredBits | kDirectory));
            return 0;
        }
        if (error != ENOTTY)
            return *word = w, error;
        dev.fat = false; // not FAT after all: the usual way
        error = 0;
    }
    if ((st.st_mode & kWriteBits) == 0)
        w |= kReadOnly;
    if (!dev.noXattr) {
        QByteArray value;
        const int e = calls.getDosAttrib(fd, &value);
        error = addStored(e, value, &dev, &w);
    }
    *word = w;
    return error;
}

int WordReader::addStored(int e, const QByteArray &value, Device *dev, quint16 *word)
{
    quint32 bits = 0;
    if (e == 0 && parseDosAttrib(value, &bits))
        *word |= quint16(bits & kXattrOnlyBits);
    else if (e == ENOTSUP)
        dev->noXattr = true; // asked no more on this file system
    else if (e != 0 && e != ENODATA)
        return e;
    return 0;
}

bool WordReader::byName(int dirfd, dev_t dev)
{
    if (m_byName < 0)
        m_byName = fileCalls().haveDosAttribAt() ? 1 : 0;
    return m_byName == 1 && !device(dirfd, dev).fat;
}

int WordReader::wordAt(int dirfd, const char *name, const struct stat &st, quint16 *word)
{
    quint16 w = S_ISDIR(st.st_mode) ? quint16(kDirectory) : quint16(0);
    if (dotName(name))
        w |= kHidden;
    if ((st.st_mode & kWriteBits) == 0)
        w |= kReadOnly;
    Device &dev = device(dirfd, st.st_dev);
    int error = 0;
    if (!dev.noXattr) {
        QByteArray value;
        const int e = fileCalls().getDosAttribAt(dirfd, name, &value);
        error = addStored(e, value, &dev, &w);
    }
    *word = w;
    return error;
}

} // namespace detail

namespace {
// Gives the entry opened as `fd` (not a link; fstat result `st`, last name
// `name`) the four stored bits of `word`.
bool writeWord(int fd, const char *name, const struct stat &st, quint16 word, QString *error)
{
    FileCalls &calls = fileCalls();
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const quint16 want = word & kStoredBits;

    bool fat = false;
    calls.onFat(fd, &fat);
    quint32 fatBits = 0;
    if (fat) {
        const int e = calls.getFatAttributes(fd, &fatBits);
        if (e == ENOTTY)
            fat = false;
        else if (e != 0)
            return fail(errnoText(e));
    }
    if (fat) {
        const quint32 wanted = (fatBits & ~quint32(kStoredBits)) | want;
        if (wanted != fatBits)
            if (const int e = calls.setFatAttributes(fd, wanted))
                return fail(errnoText(e));
    } else {
        QByteArray value;
        quint32 stored = 0;
        bool present = false;
        bool noXattr = false;
        const int e = calls.getDosAttrib(fd, &value);
        if (e == 0)
            present = parseDosAttrib(value, &stored);
        else if (e == ENOTSUP)
            noXattr = true;
        else if (e != ENODATA)
            return fail(errnoText(e));
        const bool readOnly = (st.st_mode & kWriteBits) == 0;
        const bool wantReadOnly = want & kReadOnly;
        // Write permission first when it comes back, last when it goes: an
        // unprivileged owner needs it to store the extended attribute.
        if (readOnly && !wantReadOnly)
            if (const int e = calls.changeMode(fd, (st.st_mode & 07777) | S_IWUSR))
                return fail(errnoText(e));
        // The read-only copy in the extended attribute is for Windows
        // clients only: it follows a change, and only a failure for the other
        // three counts.
        const quint32 now = stored | (detail::dotName(name) ? kHidden : 0);
        const bool othersChange = ((now ^ want) & kXattrOnlyBits) != 0;
        const bool copyReadOnly = readOnly != wantReadOnly || othersChange;
        const quint32 wanted = (stored & ~quint32(kStoredBits)) | want;
        QString problem;
        if (copyReadOnly && !noXattr && (present ? wanted != stored : wanted != 0)) {
            const int e = calls.setDosAttrib(fd, dosAttribText(wanted));
            noXattr = e == ENOTSUP;
            if (e != 0 && !noXattr && othersChange)
                problem = errnoText(e);
        }
        if (noXattr && othersChange)
            problem = QStringLiteral("this file system keeps no extended attributes, so hidden, system "
                                     "and archive cannot be stored");
        if (!readOnly && wantReadOnly)
            if (const int e = calls.changeMode(fd, st.st_mode & 07777 & ~kWriteBits))
                return fail(errnoText(e));
        if (!problem.isEmpty())
            return fail(problem);
    }
    if (!(want & kHidden) && detail::dotName(name))
        return fail(QStringLiteral("the name begins with \".\", so it always reads as hidden"));
    return true;
}
} // namespace

QString symbolicLinkText() { return QStringLiteral("symbolic link, not changed"); }

QString linkInPathText() { return QStringLiteral("a folder on its path is a symbolic link"); }

QString folderReplacedText() { return QStringLiteral("the chosen folder was replaced since it was listed"); }

bool folderIdentity(const QString &folder, quint64 *device, quint64 *inode)
{
    const QByteArray bytes = encodePath(folder);
    struct stat st;
    if (::stat(bytes.isEmpty() ? "/" : bytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    *device = quint64(st.st_dev);
    *inode = quint64(st.st_ino);
    return true;
}

bool openFoldersBlockRenames()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false; // a rename on Linux does not care who has the folder open
#endif
}

bool readAttributes(const QString &path, quint16 *word, QString *error)
{
    qsizetype nameAt;
    const QByteArray bytes = entryBytes(path, &nameAt);
    FileCalls &calls = fileCalls();
    Fd fd;
    struct stat st;
    int e = bytes.isEmpty() ? ENOENT : calls.openAt(AT_FDCWD, bytes.constData(), O_PATH | O_NOFOLLOW, fd.out());
    if (e == 0)
        e = calls.stat(fd.get(), &st);
    if (e == 0 && S_ISLNK(st.st_mode)) {
        *word = detail::WordReader::linkWord(AT_FDCWD, bytes.constData(), bytes.constData() + nameAt);
    } else if (e == 0) {
        detail::WordReader reader;
        e = reader.word(fd.get(), bytes.constData() + nameAt, st, word);
    }
    if (e != 0 && error)
        *error = errnoText(e);
    return e == 0;
}

namespace {
// Change Attrib. for the entry `name` of the opened folder.
bool changeIn(const Fd &folder, const QByteArray &name, quint16 set, quint16 clear, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    Fd entry;
    int e = openEntry(folder, name, &entry);
    struct stat st;
    if (e == 0)
        e = fileCalls().stat(entry.get(), &st);
    if (e != 0)
        return fail(reasonText(e));
    if (S_ISLNK(st.st_mode))
        return fail(symbolicLinkText());
    detail::WordReader reader;
    quint16 word = 0;
    if (const int r = reader.word(entry.get(), name.constData(), st, &word))
        return fail(errnoText(r));
    return writeWord(entry.get(), name.constData(), st, quint16((word | set) & ~clear), error);
}
} // namespace

bool changeAttributes(const QString &path, const Beneath &where, quint16 set, quint16 clear, QString *error)
{
    Fd folder;
    QByteArray name;
    if (const int e = openFolderOf(encodePath(path), where, &folder, &name)) {
        if (error)
            *error = reasonText(e);
        return false;
    }
    return changeIn(folder, name, set, clear, error);
}

OpenedFolder::~OpenedFolder()
{
    if (m_fd >= 0)
        fileCalls().close(m_fd);
}

bool OpenedFolder::open(const QString &path, QString *error)
{
    Fd root, folder;
    QByteArray names = encodePath(path);
    int e = names.startsWith('/') ? 0 : EINVAL;
    while (names.startsWith('/'))
        names.remove(0, 1);
    while (names.endsWith('/'))
        names.chop(1);
    FileCalls &calls = fileCalls();
    if (e == 0)
        e = calls.openAt(AT_FDCWD, "/", O_PATH | O_DIRECTORY, root.out());
    if (e == 0 && names.isEmpty()) {
        folder.reset(root.release());
    } else if (e == 0) {
        e = calls.openBeneath(root.get(), names.constData(), folder.out());
        if (e == ENOSYS || e == EPERM || e == E2BIG) {
            QList<QByteArray> parts = names.split('/');
            parts.append(QByteArray()); // the walk opens every name but the last
            e = walkBelow(root.get(), parts, &folder);
        }
    }
    struct stat st;
    if (e == 0)
        e = calls.stat(folder.get(), &st);
    if (e == 0 && S_ISLNK(st.st_mode))
        e = ELOOP;
    else if (e == 0 && !S_ISDIR(st.st_mode))
        e = ENOTDIR;
    if (e != 0) {
        if (error)
            *error = reasonText(e);
        return false;
    }
    m_fd = folder.release();
    return true;
}

bool OpenedFolder::changeAttributes(const QByteArray &name, quint16 set, quint16 clear, QString *error) const
{
    Fd folder(m_fd);
    const bool ok = changeIn(folder, name, set, clear, error);
    folder.release(); // still this object's
    return ok;
}

bool OpenedFolder::readAttributes(const QByteArray &name, quint16 *word, QString *error) const
{
    FileCalls &calls = fileCalls();
    const char *n = name.isEmpty() ? "." : name.constData();
    Fd entry;
    struct stat st;
    int e = calls.openAt(m_fd, n, O_PATH | O_NOFOLLOW, entry.out());
    if (e == 0)
        e = calls.stat(entry.get(), &st);
    if (e == 0 && S_ISLNK(st.st_mode)) {
        *word = detail::WordReader::linkWord(m_fd, n, n);
    } else if (e == 0) {
        detail::WordReader reader;
        e = reader.word(entry.get(), n, st, word);
    }
    if (e != 0 && error)
        *error = errnoText(e);
    return e == 0;
}

bool renameEntry(const QString &path, const Beneath &where, const QString &newName, QString *error, int *code,
                 bool *folder)
{
    FileCalls &calls = fileCalls();
    const auto done = [&](int e) {
        if (code)
            *code = e;
        if (e != 0 && error)
            *error = reasonText(e);
        return e == 0;
    };
    if (folder)
        *folder = false;
    const QByteArray bytes = encodePath(path);
    Fd dir;
    QByteArray src;
    if (const int e = openFolderOf(bytes, where, &dir, &src))
        return done(e);
    const QByteArray dst = encodePath(newName);
    if (src.isEmpty() || dst.isEmpty() || dst.contains('/') || dst == "." || dst == "..")
        return done(EINVAL);
    struct stat a, b;
    const bool known = calls.statAt(dir.get(), src.constData(), &a, false) == 0;
    if (folder)
        *folder = known && S_ISDIR(a.st_mode);
    const int d = dir.get();
    int e = calls.renameNoReplace(d, src.constData(), d, dst.constData());
    if (e != EEXIST || src == dst)
        return done(e);
    // The target may be the entry itself under a name that differs only in
    // case (FAT, case-folding folders): go through a temporary name.
    if (!known || calls.statAt(d, dst.constData(), &b, false) != 0 || a.st_dev != b.st_dev || a.st_ino != b.st_ino)
        return done(EEXIST);
    QByteArray tmp;
    int t = EEXIST;
    for (int i = 0; i < 16 && t == EEXIST; ++i) {
        tmp = ".spindle-rename-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        t = calls.renameNoReplace(d, src.constData(), d, tmp.constData());
    }
    if (t != 0)
        return done(EEXIST);
    if (calls.renameNoReplace(d, tmp.constData(), d, dst.constData()) == 0)
        return done(0);
    // A second name for the same file (a hard link): put the entry back.
    if (calls.renameNoReplace(d, tmp.constData(), d, src.constData()) != 0) {
        if (code)
            *code = EEXIST;
        if (error)
            *error = QStringLiteral("%1; the entry is now named %2")
                         .arg(errnoText(EEXIST), decodePath(bytes.left(bytes.lastIndexOf('/') + 1) + tmp));
        return false;
    }
    return done(EEXIST);
}

} // namespace platform
