#include "disc/scan.h"

#include "exec/tool_errors.h"

namespace disc {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

qsizetype skipDigits(QStringView s, qsizetype i)
{
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i;
}

// Where the address lies in a text: {start, length}.
std::pair<qsizetype, qsizetype> addressSpan(QStringView text)
{
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    if (comma <= 0)
        return {0, std::min<qsizetype>(5, text.size())};
    // bus,target,lun with numbers of any length.
    qsizetype start = comma;
    while (start > 0 && isDigit(text[start - 1]))
        --start;
    if (start < comma) {
        const qsizetype targetEnd = skipDigits(text, comma + 1);
        if (targetEnd > comma + 1 && targetEnd < text.size() && text[targetEnd] == QLatin1Char(',')) {
            const qsizetype lunEnd = skipDigits(text, targetEnd + 1);
            if (lunEnd > targetEnd + 1)
                return {start, lunEnd - start};
        }
    }
    return {comma - 1, std::min<qsizetype>(5, text.size() - (comma - 1))};
}

} // namespace

QStringView lineValue(QStringView item)
{
    const qsizetype eq = item.indexOf(QLatin1Char('='));
    return item.mid(eq >= 0 ? eq + 1 : std::min<qsizetype>(1, item.size()));
}

bool isDeviceLine(QStringView value) { return value.contains(u"CD-ROM"); }

QString deviceAddress(QStringView text)
{
    const auto [start, length] = addressSpan(text);
    return text.mid(start, length).toString();
}

QString deviceName(QStringView value)
{
    const QChar quote = QLatin1Char('\'');
    const qsizetype open = value.indexOf(quote);
    const qsizetype close = open < 0 ? -1 : value.indexOf(quote, open + 1);
    const QString vendor = close < 0 ? QString() : value.mid(open + 1, close - open - 1).toString();
    // The vendor's closing quote is the first one left once every quote
    // followed by the vendor text is gone; the product starts three
    // characters after it (quote, blank, quote).
    QString rest = value.toString();
    rest.remove(quote + vendor);
    QString product;
    const qsizetype q = rest.indexOf(quote);
    if (q >= 0 && q + 3 < rest.size()) {
        const qsizetype end = rest.indexOf(quote, q + 3);
        product = rest.mid(q + 3, end < 0 ? -1 : end - q - 3);
    }
    QString name = vendor + product;
    return name.remove(quote);
}

QList<Drive> scanDrives(const QStringList &lines)
{
    QList<Drive> drives;
    for (const QString &item : lines) {
        const QStringView value = lineValue(item);
        if (!isDeviceLine(value))
            continue;
        const QString address = deviceAddress(value);
        drives.append({QLatin1Char('[') + address + QStringLiteral("] ") + deviceName(value), address.size()});
    }
    return drives;
}

bool scanRefused(const QStringList &lines, const exec::CommandLine &command)
{
    exec::CauseFinder cause(command);
    for (const QString &line : lines)
        cause.feed(line);
    return cause.permission();
}

} // namespace disc
