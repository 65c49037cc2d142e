#include "exec/tools.h"

#include "exec/command_line.h"
#include "platform/platform.h"

namespace exec {

QStringList toolNames()
{
    QStringList names;
    for (const char *base : {"mkisofs", "cdrecord", "readcd", "dd", "bbie"})
        names << platform::exeName(QLatin1String(base));
    return names;
}

QString findTool(const QString &fileName, const QString &firstFolder)
{
    if (!firstFolder.isEmpty()) {
        const QString first = platform::absolutePath(fileName, firstFolder);
        if (platform::fileExists(first))
            return first;
    }
    const QString inFolder = platform::spindleFolder() + fileName;
    return platform::fileExists(inFolder) ? inFolder : QString();
}

QString missingToolMessage(const QString &fileName)
{
    return QStringLiteral("Couldn't find %1 . Please put %1 in Spindle folder").arg(fileName);
}

} // namespace exec

namespace exec {

bool writesToDisc(const CommandLine &command)
{
    if (command.isEmpty())
        return false;
    const QString first = command.programPath();
    QString program = first.mid(qMax(first.lastIndexOf(QLatin1Char('/')), first.lastIndexOf(QLatin1Char('\\'))) + 1).toLower();
    if (program.endsWith(QLatin1String(".exe")))
        program.chop(4);
    if (program == QLatin1String("cdrecord") || program == QLatin1String("wodim"))
        return true;
    if (program != QLatin1String("dd"))
        return false;
    for (const Word &w : command.arguments()) {
        if (w.bytes.size() < 3 || w.bytes.first(3).compare("of=", Qt::CaseInsensitive) != 0)
            continue;
        const QByteArray target = w.bytes.mid(3);
        // A whole drive ("\\.\A:") or a device node.
        return target.startsWith(R"(\\.\)") || target.startsWith("/dev/");
    }
    return false;
}

} // namespace exec
