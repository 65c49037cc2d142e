#include "capabilities.h"

#include "scan.h"

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

} // namespace disc
