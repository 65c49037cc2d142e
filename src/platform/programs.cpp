#include "platform/programs.h"

#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

static bool isRunnable(const QString &path)
{
    QFileInfo fi(path);
    return fi.isFile() && fi.isExecutable();
}

static bool isPlainFile(const QString &path) { return QFileInfo(path).isFile(); }

static QString search(const QString &name, const QString &workingDir, bool (*accept)(const QString &))
{
    if (name.isEmpty())
        return QString();
    const QString base = workingDir.isEmpty() ? startDirectory() : workingDir;
    if (name.contains(QLatin1Char('/'))) {
        const QString path = absolutePath(name, base);
        return accept(path) ? path : QString();
    }
    QStringList dirs{spindleFolder(), base};
    const QByteArray path = qgetenv("PATH");
    for (const QString &d : QString::fromLocal8Bit(path).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs << d;
    for (const QString &d : dirs) {
        // A relative PATH entry counts from the folder the program runs in.
        const QString candidate = absolutePath(name, absolutePath(d, base));
        if (accept(candidate))
            return candidate;
    }
    return QString();
}

QString findProgram(const QString &name, const QString &workingDir) { return search(name, workingDir, isRunnable); }
QString findFile(const QString &name, const QString &workingDir) { return search(name, workingDir, isPlainFile); }

} // namespace platform
