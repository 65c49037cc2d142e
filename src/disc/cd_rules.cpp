#include "disc/cd_rules.h"

#include "exec/command_line.h"
#include "exec/tools.h"
#include "platform/platform.h"

#include <QVarLengthArray>

#include <algorithm>


namespace disc {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// End of the run of digits starting at i.
qsizetype skipDigits(QStringView s, qsizetype i)
{
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i;
}

// The digits of "in kB/s: N" at the end of a speed line, in CD multiples
// (one CD speed is 176 kB/s).
std::optional<int> kilobytesForm(QStringView value)
{
    static const QString marker = QStringLiteral("in kB/s:");
    const qsizetype at = value.indexOf(marker);
    if (at < 0)
        return std::nullopt;
    QStringView rest = value.mid(at + marker.size()).trimmed();
    const std::optional<int> kb = speedNumber(rest);
    if (!kb || *kb / 176 < 1)
        return std::nullopt;
    return *kb / 176;
}

// Calls f(at) for every position where `needle` starts in `s`. Output of
// 100,000 lines passes through here: hopping between occurrences of the
// first character with the vectorised character search is several times
// faster than a general substring search set up for each short line.
// The needles are a few characters long: compare inline.
bool matchesAt(QStringView s, qsizetype at, QStringView text)
{
    return at >= 0 && at + text.size() <= s.size()
           && std::equal(text.utf16(), text.utf16() + text.size(), s.utf16() + at);
}

// The vectorised search pays a set-up cost per call that a short line does
// not repay.
qsizetype findChar(QStringView s, char16_t c, qsizetype from)
{
    if (s.size() - from > 16)
        return s.indexOf(QChar(c), from);
    const char16_t *p = s.utf16();
    for (qsizetype i = from; i < s.size(); ++i)
        if (p[i] == c)
            return i;
    return -1;
}

// `key` is the needle's rarest character in the texts searched.
template <class F>
void forEachMatch(QStringView s, QStringView needle, qsizetype key, F &&f)
{
    const char16_t c = needle.utf16()[key];
    const qsizetype last = s.size() - needle.size() + key;
    for (qsizetype i = findChar(s, c, key); i >= 0 && i <= last; i = findChar(s, c, i + 1))
        if (matchesAt(s, i - key, needle))
            f(i - key);
}

} // namespace

namespace {
// Where the line value of an item starts.
qsizetype valueStart(QStringView item)
{
    const qsizetype eq = item.indexOf(QLatin1Char('='));
    return eq >= 0 ? eq + 1 : std::min<qsizetype>(1, item.size());
}

// Calls f(at) for each occurrence of `needle` inside the line value of
// `item`, `at` counted in the item. The value's start is looked for only
// on a hit: most lines have none. `needle` holds no '=', so an occurrence
// starting in the value lies wholly in it.
template <class F>
void forEachMatchInValue(QStringView item, QStringView needle, qsizetype key, F &&f)
{
    qsizetype start = -1;
    forEachMatch(item, needle, key, [&](qsizetype at) {
        if (start < 0)
            start = valueStart(item);
        if (at >= start)
            f(at, start);
    });
}
} // namespace

QStringView lineValue(QStringView item) { return item.mid(valueStart(item)); }

bool isDeviceLine(QStringView value)
{
    bool found = false;
    forEachMatch(value, u"CD-ROM", 2, [&](qsizetype) { found = true; });
    return found;
}

namespace {

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

// The pieces of the device name of a line value, appended to `out`. The name is the
// vendor field followed by the product field, where the product is found
// in the text left after removing every quote-plus-vendor occurrence: the
// first quote left closes the vendor, the product starts three characters
// after it and runs to the next quote. The removal is walked lazily, so no
// copy of the line is made.
using Parts = QVarLengthArray<QStringView, 6>;

void deviceNameParts(QStringView value, Parts &out)
{
    const QChar quote = QLatin1Char('\'');
    const qsizetype open = value.indexOf(quote);
    const qsizetype close = open < 0 ? -1 : value.indexOf(quote, open + 1);
    if (close < 0 || close == open + 1)
        return; // with no vendor text every quote goes, and with it the product
    const QStringView removed = value.mid(open, close - open); // quote + vendor
    out.append(value.mid(open + 1, close - open - 1));
    // Walk what remains after the first removal. Every removed occurrence
    // starts with a quote, so only quotes need a closer look.
    const qsizetype n = value.size();
    auto removedAt = [&](qsizetype i) { return matchesAt(value, i, removed); };
    auto nextKept = [&](qsizetype i) { // the first kept position from i, or n
        while (i < n && value[i] == quote && removedAt(i))
            i += removed.size();
        return i;
    };
    qsizetype at = nextKept(close);
    while (at < n && value[at] != quote)
        at = nextKept(at + 1);
    for (int step = 0; step < 3 && at < n; ++step)
        at = nextKept(at + 1);
    // The product: kept text up to the next kept quote.
    while (at < n) {
        const qsizetype q = value.indexOf(quote, at);
        out.append(value.mid(at, q < 0 ? n - at : q - at));
        if (q < 0 || !removedAt(q))
            return;
        at = q + removed.size();
    }
}

} // namespace

QString deviceAddress(QStringView text)
{
    const auto [start, length] = addressSpan(text);
    return text.mid(start, length).toString();
}

namespace {
// One allocation for a text made of pieces: this runs once per drive line.
QString join(const Parts &parts)
{
    qsizetype size = 0;
    for (QStringView p : parts)
        size += p.size();
    QString out(size, Qt::Uninitialized);
    QChar *d = out.data();
    for (QStringView p : parts)
        d = std::copy(p.begin(), p.end(), d);
    return out;
}
} // namespace

QString deviceName(QStringView value)
{
    Parts parts;
    deviceNameParts(value, parts);
    return join(parts);
}

QList<Drive> scanDrives(const QStringList &lines)
{
    QList<Drive> drives;
    for (const QString &item : lines) {
        bool device = false;
        forEachMatchInValue(item, u"CD-ROM", 2, [&](qsizetype, qsizetype) { device = true; });
        if (!device)
            continue;
        const QStringView value = lineValue(item);
        const auto [start, length] = addressSpan(value);
        Parts parts{u"[", value.mid(start, length), u"] "};
        deviceNameParts(value, parts);
        Drive d;
        d.entry = join(parts);
        d.addressLength = length;
        drives.append(std::move(d));
    }
    return drives;
}

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
    const qsizetype end = skipDigits(text, i);
    if (end == i || end != text.size() || end - i > 9)
        return std::nullopt;
    return text.mid(i).toInt();
}

Capabilities evaluateCapabilities(const QStringList &lines)
{
    Capabilities c;
    qsizetype lastSpeedLine = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // Each phrase looked for is "write" with fixed words around it,
        // all of them inside the value.
        const QStringView item = lines[i];
        forEachMatchInValue(item, u"write", 0, [&](qsizetype at, qsizetype start) {
            if (at - 5 >= start && matchesAt(item, at - 5, u"Does ")) {
                if (matchesAt(item, at + 5, u" CD-R media"))
                    c.writesCDR = true;
                else if (matchesAt(item, at + 5, u" CD-RW media"))
                    c.writesCDRW = true;
            } else if (at - 9 >= start && matchesAt(item, at - 9, u"Does not ")) {
                // The drive's own words, for the tooltips of what it cannot do.
                if (c.cdrRefusal.isEmpty() && matchesAt(item, at + 5, u" CD-R media"))
                    c.cdrRefusal = item.mid(start).trimmed().toString();
                else if (c.cdrwRefusal.isEmpty() && matchesAt(item, at + 5, u" CD-RW media"))
                    c.cdrwRefusal = item.mid(start).trimmed().toString();
            } else if (at - 8 >= start && matchesAt(item, at - 8, u"Maximum ") && matchesAt(item, at + 5, u" speed")) {
                lastSpeedLine = i;
            }
        });
    }
    if (lastSpeedLine < 0)
        return c;
    const QStringView value = lineValue(lines[lastSpeedLine]);
    c.maxWriteSpeed = writeSpeedCut(value);
    c.speed = speedNumber(c.maxWriteSpeed);
    if (c.speed && *c.speed < 1)
        c.speed.reset();
    if (!c.speed) {
        if (const std::optional<int> older = kilobytesForm(value)) {
            c.speed = older;
            c.maxWriteSpeed = QString::number(*older);
        }
    }
    return c;
}

Offers offersFor(const Capabilities &c, bool cdrecordFound, bool readcdFound)
{
    Offers o;
    const QString cdrReason = c.cdrRefusal.isEmpty() ? kNoCdrLine : kDriveReports + c.cdrRefusal;
    const QString cdrwReason = c.cdrwRefusal.isEmpty() ? kNoCdrwLine : kDriveReports + c.cdrwRefusal;
    const QString noCdrecord = exec::missingToolMessage(platform::exeName(QStringLiteral("cdrecord")));
    if (!readcdFound)
        o.readReason = exec::missingToolMessage(platform::exeName(QStringLiteral("readcd")));
    if (!c.writesCDR) {
        o.burnPanel = o.rewritablePanel = o.finalize = false;
        o.speedLabel = QString();
        if (readcdFound)
            o.read = true;
    }
    auto writes = [&](bool rewritable) {
        o.burnPanel = true;
        o.rewritablePanel = rewritable;
        o.speedLabel = c.maxWriteSpeed;
        if (c.speed)
            o.maxSpeed = *c.speed;
        o.finalize = true;
        if (readcdFound)
            o.read = true;
    };
    if (c.writesCDR && cdrecordFound)
        writes(false);
    if (c.writesCDRW && cdrecordFound)
        writes(true);
    if (!cdrecordFound) {
        o.burnReason = o.rewritableReason = o.finalizeReason = noCdrecord;
        return o;
    }
    if (!o.burnPanel.value_or(false))
        o.burnReason = cdrReason;
    if (!o.finalize.value_or(false))
        o.finalizeReason = cdrReason;
    if (!o.rewritablePanel.value_or(false))
        o.rewritableReason = o.burnPanel.value_or(false) ? cdrwReason : cdrReason;
    if (o.burnPanel.value_or(false) && !c.speed)
        o.speedReason = kNoWriteSpeed;
    return o;
}

int speedFromText(QStringView text) { return speedNumber(text.trimmed()).value_or(1); }

int clampSpeed(int value, int maximum)
{
    if (maximum >= 1 && value > maximum)
        return maximum;
    return value < 1 ? 1 : value;
}

QString scanCommand(const QString &spindleFolder)
{
    const QString scan = QStringLiteral("cdrecord -scanbus");
    // The program word cannot hold a double quote (quotes only toggle
    // there); the bare name is looked for in Spindle's folder first.
    if (spindleFolder.contains(QLatin1Char('"')))
        return scan;
    const bool split = spindleFolder.contains(QLatin1Char(' ')) || spindleFolder.contains(QLatin1Char('\t'));
    return (split ? exec::quoteArgument(spindleFolder) : spindleFolder) + scan;
}

bool usableAddress(QStringView address) { return !address.trimmed().isEmpty(); }

QString capabilityCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord dev=") + address + QStringLiteral(" -prcap");
}

QString burnCommand(const BurnChoice &b)
{
    if (!usableAddress(b.address))
        return {};
    QString args = QStringLiteral("dev=") + b.address;
    if (b.simulate)
        args += QStringLiteral(" -dummy ");
    if (b.dontFinalize)
        args += QStringLiteral(" -nofix ");
    if (b.burnFree)
        args.prepend(QStringLiteral("driveropts=burnfree "));
    args += QStringLiteral(" speed=") + QString::number(b.speed) + QLatin1Char(' ');
    args += exec::quoteArgument(b.file);
    return QStringLiteral("cdrecord -eject ") + args + QStringLiteral(" gracetime=1");
}

QString formatCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord -eject dev=") + address + QStringLiteral(" -format");
}

QString blankCommand(const QString &address, const QString &blankType)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord -eject dev=") + address + QStringLiteral(" blank=") + blankType;
}

QString readCommand(const QString &address, const QString &file)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("readcd dev=") + address + QStringLiteral(" f=") + exec::quoteArgument(file);
}

QString finalizeCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord dev=") + address + QStringLiteral(" -fix");
}

QString sizeText(qint64 bytes)
{
    constexpr qint64 kKB = 1024, kMB = 1024 * 1024;
    if (bytes >= kMB)
        return QString::number((bytes + kMB / 2) / kMB) + QStringLiteral(" MB");
    return QString::number((bytes + kKB - 1) / kKB) + QStringLiteral(" KB");
}

QString driveTitle(const QString &entry) { return entry.simplified(); }

QString burnQuestion(const QString &fileName, qint64 bytes, const QString &drive)
{
    const QString size = bytes >= 0 ? QStringLiteral(" (") + sizeText(bytes) + QLatin1Char(')') : QString();
    return QStringLiteral("Write %1%2 to the disc in %3? This is a real write, not a simulation.")
        .arg(fileName, size, driveTitle(drive));
}

QString finalizeQuestion(const QString &drive)
{
    return QStringLiteral("Finalize the disc in %1? Nothing more can be written to it afterwards. "
                          "This is a real write, not a simulation.")
        .arg(driveTitle(drive));
}

QString blankQuestion(const QString &drive, const QString &blankType)
{
    // What cdrecord's blank types do to the disc, in a user's words.
    const QString type = blankType.trimmed();
    QString what;
    if (type == QLatin1String("all") || type == QLatin1String("fast"))
        what = QStringLiteral("Everything on the disc will be erased.");
    else if (type == QLatin1String("session"))
        what = QStringLiteral("The last session on the disc will be erased.");
    else if (type == QLatin1String("track"))
        what = QStringLiteral("The last track on the disc will be erased.");
    else if (type == QLatin1String("unclose"))
        what = QStringLiteral("The last session will be opened again for writing.");
    else if (type == QLatin1String("unreserve"))
        what = QStringLiteral("The reserved track will be released.");
    else if (type == QLatin1String("trtail"))
        what = QStringLiteral("The tail of the last track will be erased.");
    else
        what = QStringLiteral("The disc will be changed as cdrecord's blank type says.");
    return QStringLiteral("Blank the disc in %1 (blank=%2)? %3 This operation makes permanent changes.")
        .arg(driveTitle(drive), blankType, what);
}

QString formatQuestion(const QString &drive)
{
    return QStringLiteral("Format the disc in %1? Everything on the disc will be erased. "
                          "This operation makes permanent changes.")
        .arg(driveTitle(drive));
}

} // namespace disc
