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

namespace {
// A line's message without its particulars: every word that holds a digit
// or a character of a name or path becomes "*".
QString shapeOf(const QString &line)
{
    static const QString particular = QStringLiteral("/\\.;()[]'\"`");
    QString shape;
    for (const QStringView word : QStringView(line).split(u' ', Qt::SkipEmptyParts)) {
        bool variable = false;
        for (const QChar c : word)
            if (c.isDigit() || particular.contains(c)) {
                variable = true;
                break;
            }
        shape += variable ? QStringView(u"*") : word;
        shape += QLatin1Char(' ');
    }
    return shape;
}
constexpr qsizetype kFoldFrom = 3;
} // namespace

QStringList foldRepeatedLines(const QStringList &lines)
{
    QStringList out;
    out.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size();) {
        const QString shape = shapeOf(lines[i]);
        qsizetype j = i + 1;
        while (!shape.isEmpty() && j < lines.size() && shapeOf(lines[j]) == shape)
            ++j;
        if (j - i >= kFoldFrom) {
            out << lines[i] + QStringLiteral("  [and %1 more lines like this]").arg(j - i - 1);
        } else {
            for (qsizetype k = i; k < j; ++k)
                out << lines[k];
        }
        i = j;
    }
    return out;
}

} // namespace base
