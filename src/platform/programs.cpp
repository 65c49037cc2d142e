#include "programs.h"

#include "paths.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

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

} // namespace platform
