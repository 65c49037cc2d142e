#include "platform/programs.h"

#include "platform/paths.h"

#include "platform/path_codec.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// By the name's bytes: Qt's own file classes re-encode a name that is not UTF-8.
static bool isPlainFile(const QString &path)
{
    struct stat st {};
    return ::stat(encodePath(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

static bool isRunnable(const QString &path)
{
    return isPlainFile(path) && ::access(encodePath(path).constData(), X_OK) == 0;
}

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
