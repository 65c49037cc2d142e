#include "platform/paths.h"

#include "platform/path_codec.h"

#include <cerrno>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString dataFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data))
        return QString();
    return withSeparator(data);
}

QString workFolder()
{
    const QString folder = spindleFolder();
    if (QFileInfo(folder).isWritable())
        return folder;
    // Without a home there is nowhere better: the writes fail and say so.
    const QString data = dataFolder();
    return data.isEmpty() ? folder : data;
}

namespace {
// Read while the library loads, before anything could change it; by its
// bytes, as Qt would decode a name that is not UTF-8 lossily.
QString currentFolder()
{
    QByteArray buf(4096, '\0');
    while (!::getcwd(buf.data(), size_t(buf.size()))) {
        if (errno != ERANGE || buf.size() > (1 << 20))
            return QDir::currentPath();
        buf.resize(buf.size() * 2);
    }
    return decodePath(QByteArray(buf.constData()));
}
QString g_startDirectory = withSeparator(currentFolder());
} // namespace

QString startDirectory() { return g_startDirectory; }

void setStartDirectory(const QString &folder) { g_startDirectory = withSeparator(folder); }

QString absolutePath(const QString &path, const QString &base)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    const QString folder = base.isEmpty() ? startDirectory() : withSeparator(base);
    return folder + path;
}

} // namespace platform
