#include "tools.h"

#include "platform/platform.h"

#include <QDir>

namespace exec {

QStringList toolNames()
{
    QStringList names;
    for (const char *base : {"mkisofs", "cdrecord", "readcd", "dd", "bbie"})
        names << platform::exeName(QLatin1String(base));
    return names;
}

QString findTool(const QString &fileName)
{
    if (platform::fileExists(fileName))
        return QDir::current().absoluteFilePath(fileName);
    const QString inFolder = platform::spindleFolder() + fileName;
    return platform::fileExists(inFolder) ? inFolder : QString();
}

QString missingToolMessage(const QString &fileName)
{
    return QStringLiteral("Couldn't find %1 . Please put %1 in Spindle folder").arg(fileName);
}

} // namespace exec
