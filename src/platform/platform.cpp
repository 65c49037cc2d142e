#include "platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

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

QString lastErrorText() { return QString::fromLocal8Bit(std::strerror(errno)); }

} // namespace platform
