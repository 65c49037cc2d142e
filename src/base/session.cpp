#include "base/session.h"

namespace base {

SwitchEffect interpretSwitch(const QStringList &args)
{
    SwitchEffect e;
    if (args.isEmpty()) {
        e.label = QStringLiteral("Running in normal mode");
        return e;
    }
    const QString &s = args.first();
    if (s == QLatin1String("-win98")) {
        e.createScratchFiles = true;
        e.win9xMode = true;
        e.label = QStringLiteral("Running in Win9x mode");
    } else if (s == QLatin1String("-debug")) {
        e.debugMode = true;
        e.checkDebugBox = true;
        e.label = QStringLiteral("Running in debug mode");
    } else if (s == QLatin1String("-win98debug")) {
        e.createScratchFiles = true;
        e.debugMode = true;
        e.win9xMode = true;
        e.checkDebugBox = true;
        e.label = QStringLiteral("Running in Win98 debug mode");
    } else {
        e.label = QStringLiteral("Unknown switch, running in normal mode");
    }
    return e;
}

QStringList linesWithout(const QStringList &lines, const QString &needle)
{
    QStringList kept;
    kept.reserve(lines.size());
    for (const QString &l : lines)
        if (!l.contains(needle, Qt::CaseSensitive))
            kept << l;
    return kept;
}

} // namespace base
