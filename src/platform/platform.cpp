#include "platform.h"

#include "attribute_word.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace platform {

namespace {
QString g_spindleFolder;

QString withSeparator(QString p)
{
    if (!p.isEmpty() && !p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}
} // namespace

QString exeSuffix()
{
#ifdef Q_OS_WIN
    return QStringLiteral(".exe");
#else
    return QString();
#endif
}

QString exeName(const QString &base) { return base + exeSuffix(); }

QString executableFolder()
{
    return withSeparator(QCoreApplication::applicationDirPath());
}

QString spindleFolder()
{
    return g_spindleFolder.isEmpty() ? executableFolder() : g_spindleFolder;
}

void setSpindleFolder(const QString &folder) { g_spindleFolder = withSeparator(folder); }

QString workFolder()
{
    const QString folder = spindleFolder();
    if (QFileInfo(folder).isWritable())
        return folder;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    // Without a home there is nowhere better: the writes fail and say so.
    if (data.isEmpty() || !QDir().mkpath(data))
        return folder;
    return withSeparator(data);
}

bool setCurrentDir(const QString &folder)
{
    return !folder.isEmpty() && QDir::setCurrent(folder);
}

QString currentDir() { return QDir::currentPath(); }

bool fileExists(const QString &path)
{
    QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
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
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        if (reason) *reason = f.errorString();
        return false;
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

static bool isRunnable(const QString &path)
{
    QFileInfo fi(path);
    return fi.isFile() && fi.isExecutable();
}

static bool isPlainFile(const QString &path) { return QFileInfo(path).isFile(); }

static QString search(const QString &name, bool (*accept)(const QString &))
{
    if (name.isEmpty())
        return QString();
    if (name.contains(QLatin1Char('/'))) {
        QFileInfo fi(name);
        return accept(name) ? fi.absoluteFilePath() : QString();
    }
    QStringList dirs{spindleFolder(), QDir::currentPath()};
    const QByteArray path = qgetenv("PATH");
    for (const QString &d : QString::fromLocal8Bit(path).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << d;
    for (const QString &d : dirs) {
        const QString candidate = QDir(d).absoluteFilePath(name);
        if (accept(candidate))
            return candidate;
    }
    return QString();
}

QString findProgram(const QString &name) { return search(name, isRunnable); }
QString findFile(const QString &name) { return search(name, isPlainFile); }

QString cannotOpenText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

QString cannotCreateText(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

bool hasDesktopHandler(const QString &path)
{
    // The desktop's own registry of default programs; without it (no
    // desktop integration installed) nothing can be handed over.
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return false;
    QProcess p;
    p.start(query, {QStringLiteral("query"), QStringLiteral("default"),
                    QMimeDatabase().mimeTypeForFile(path).name()});
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    return p.exitCode() == 0 && !p.readAllStandardOutput().trimmed().isEmpty();
}

QString lastErrorText() { return errorText(errno); }

QString errorText(int errnum) { return QString::fromLocal8Bit(std::strerror(errnum)); }

namespace {
constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF stand for bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when invalid.
int utf8Sequence(const uchar *p, qsizetype n)
{
    const uchar c = p[0];
    int len;
    char32_t cp;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))
        || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}
} // namespace

QString decodePath(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(bytes);
    if (!utf8.hasError())
        return s;
    s.clear();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int len = utf8Sequence(p + i, n - i);
        if (len == 0) {
            s += QChar(char16_t(kEscapeBase + p[i]));
            ++i;
        } else {
            s += QString::fromUtf8(reinterpret_cast<const char *>(p + i), len);
            i += len;
        }
    }
    return s;
}

QByteArray encodePath(const QString &path)
{
    bool escaped = false;
    for (QChar c : path)
        if (c.isLowSurrogate()) {
            escaped = true;
            break;
        }
    if (!escaped)
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 3);
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = path.at(i);
        if (c.isHighSurrogate() && i + 1 < n && path.at(i + 1).isLowSurrogate()) {
            out += QStringView(path).mid(i, 2).toUtf8();
            ++i;
        } else if (c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF) {
            out += char(c.unicode() - kEscapeBase);
        } else {
            out += QStringView(&c, 1).toUtf8();
        }
    }
    return out;
}

QString slashForm(const QString &path)
{
#ifdef Q_OS_WIN
    QString s = path;
    return s.replace(QLatin1Char('\\'), QLatin1Char('/'));
#else
    return path;
#endif
}

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
        e.device = real ? quint64(st.st_dev) : 0;
        e.inode = real ? quint64(st.st_ino) : 0;
        each(e);
    }
    ::closedir(dir);
    return true;
}
#endif

} // namespace platform
