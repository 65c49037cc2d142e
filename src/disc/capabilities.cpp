#include "disc/capabilities.h"

#include "disc/scan.h"

#include "exec/tool_errors.h"

namespace disc {

namespace {

// The digits of "in kB/s: N" at the end of a speed line, in CD multiples
// (one CD speed is 176 kB/s).
std::optional<int> kilobytesForm(QStringView value)
{
    static const QString marker = QStringLiteral("in kB/s:");
    const qsizetype at = value.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    const std::optional<int> kb = speedNumber(value.mid(at + marker.size()).trimmed());
    if (!kb || *kb / 176 < 1)
        return std::nullopt;
    return *kb / 176;
}

} // namespace

QString writeSpeedCut(QStringView value)
{
    const qsizetype comma = value.indexOf(QLatin1Char(','));
    if (comma < 3)
        return value.left(2).toString();
    return value.mid(comma - 3, 2).toString();
}

std::optional<int> speedNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    qsizetype end = i;
    while (end < text.size() && text[end] >= QLatin1Char('0') && text[end] <= QLatin1Char('9'))
        ++end;
    if (end == i || end != text.size() || end - i > 9)
        return std::nullopt;
    return text.mid(i).toInt();
}

Capabilities evaluateCapabilities(const QStringList &lines)
{
    Capabilities c;
    QStringView speedLine;
    bool haveSpeedLine = false;
    for (const QString &item : lines) {
        const QStringView value = lineValue(item);
        if (value.contains(u"Does write CD-R media"))
            c.writesCDR = true;
        if (value.contains(u"Does write CD-RW media"))
            c.writesCDRW = true;
        // The drive's own words, for the tooltips of what it cannot do.
        if (c.cdrRefusal.isEmpty() && value.contains(u"Does not write CD-R media"))
            c.cdrRefusal = value.trimmed().toString();
        if (c.cdrwRefusal.isEmpty() && value.contains(u"Does not write CD-RW media"))
            c.cdrwRefusal = value.trimmed().toString();
        if (value.contains(u"Does write") || value.contains(u"Does not write") || value.contains(u"Does read"))
            c.answered = true;
        if (value.contains(u"Maximum write speed")) {
            speedLine = value;
            haveSpeedLine = true;
        }
    }
    if (!haveSpeedLine)
        return c;
    c.maxWriteSpeed = writeSpeedCut(speedLine);
    c.speed = speedNumber(c.maxWriteSpeed);
    if (c.speed && *c.speed < 1)
        c.speed.reset();
    if (!c.speed) {
        if (const std::optional<int> older = kilobytesForm(speedLine)) {
            c.speed = older;
            c.maxWriteSpeed = QString::number(*older);
        }
    }
    return c;
}

namespace {

// The number before "x" in "Write speed H:   7056k , 40.0xC" or
// "burn_drive_get_write_speed = 2816  (16.0x)", whole multiples.
std::optional<int> timesSpeed(QStringView line)
{
    const qsizetype x = line.lastIndexOf(QLatin1Char('x'));
    qsizetype start = x;
    while (start > 0 && (line[start - 1].isDigit() || line[start - 1] == QLatin1Char('.')))
        --start;
    bool ok = false;
    const double v = line.mid(start, x - start).toDouble(&ok);
    if (!ok || v < 1 || v > 1e6)
        return std::nullopt;
    return int(v);
}

} // namespace

Capabilities evaluateCdrskin(const QStringList &lines)
{
    Capabilities c;
    bool modes = false, cdr = false, cdrw = false;
    QStringList profiles;
    std::optional<int> listed, medium;
    for (const QString &item : lines) {
        const QString line = item.trimmed();
        if (line.startsWith(QLatin1String("Supported modes:"))) {
            c.answered = true;
            const QString m = line.mid(16);
            modes = m.contains(QLatin1String("TAO")) || m.contains(QLatin1String("SAO"));
        } else if (line.startsWith(QLatin1String("Profile: 0x"))) {
            // "Profile: 0x0009 (CD-R)", "… (CD-ROM) (current)"
            const qsizetype open = line.indexOf(QLatin1Char('(')), close = line.indexOf(QLatin1Char(')'));
            if (open > 0 && close > open)
                profiles << line.mid(open + 1, close - open - 1);
            cdr = cdr || line.startsWith(QLatin1String("Profile: 0x0009"));
            cdrw = cdrw || line.startsWith(QLatin1String("Profile: 0x000A"));
        } else if (line.startsWith(QLatin1String("Write speed H:"))) {
            listed = timesSpeed(line);
        } else if (line.contains(QLatin1String("burn_drive_get_write_speed ="))) {
            medium = timesSpeed(line);
        }
    }
    if (!c.answered)
        return c;
    // A drive that lists its profiles writes CD-R when CD-R is among them;
    // an emulated drive has none and writes when it has a write mode.
    c.writesCDR = profiles.isEmpty() ? modes : cdr;
    c.writesCDRW = cdrw;
    const QString among = profiles.isEmpty() ? QString() : QStringLiteral(" among ") + profiles.join(QStringLiteral(", "));
    if (!c.writesCDR)
        c.cdrRefusal = profiles.isEmpty() ? QStringLiteral("no write mode (Supported modes: none)")
                                          : QStringLiteral("no CD-R profile") + among;
    if (!c.writesCDRW)
        c.cdrwRefusal = QStringLiteral("no CD-RW profile") + among;
    c.speed = listed ? listed : medium;
    if (c.speed)
        c.maxWriteSpeed = QString::number(*c.speed);
    return c;
}

Capabilities evaluateQuery(const QList<QueryRun> &runs, exec::Implementation recorder)
{
    QStringList all;
    for (const QueryRun &r : runs)
        all += r.lines;
    Capabilities c = recorder == exec::Implementation::Cdrskin ? evaluateCdrskin(all) : evaluateCapabilities(all);
    if (runs.isEmpty())
        return c;
    const QueryRun &first = runs.first();
    exec::CauseFinder cause(QStringLiteral("cdrecord"), recorder);
    for (const QString &l : first.lines)
        cause.feed(l);
    if ((first.exitCode == 0 && !cause.failsRun()) || c.answered)
        return c;
    c.failure = cause.found() ? cause.sentence()
                              : QStringLiteral("The capability query failed with exit code %1.").arg(first.exitCode);
    if (cause.permission() && !exec::permissionAdvice().isEmpty())
        c.failure += QLatin1Char('\n') + exec::permissionAdvice();
    return c;
}

} // namespace disc
