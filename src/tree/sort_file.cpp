#include "tree/sort_file.h"

#include "base/text_codec.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstring>

namespace tree {

namespace {
constexpr qsizetype kLineLimit = 4096;
// No character of a line takes more than 4 bytes (a byte that is not UTF-8
// is one character), so the first 4096 characters lie in these bytes.
constexpr qsizetype kLineBytes = 4 * kLineLimit;
// What genisoimage says of a file, at most this many sentences.
constexpr int kVerdictLines = 20;
// Pieces of a file being written.
constexpr qsizetype kWritePiece = qsizetype(1) << 20;

// The bytes of the first 4096 characters of a line.
qsizetype limitedLength(const char *p, qsizetype n)
{
    if (n <= kLineLimit)
        return n;
    QString s = platform::decodePath(QByteArray::fromRawData(p, std::min(n, kLineBytes)));
    if (s.size() <= kLineLimit)
        return std::min(n, kLineBytes);
    s.truncate(kLineLimit);
    if (s.back().isHighSurrogate())
        s.chop(1);
    return platform::encodePath(s).size();
}

SortSpan splitLine(const char *base, qsizetype at, qsizetype n)
{
    n = limitedLength(base + at, n);
    SortSpan s;
    const char *p = base + at;
    qsizetype cut = n;
    while (cut > 0 && p[cut - 1] != ' ' && p[cut - 1] != '\t')
        --cut;
    if (cut == 0) { // no blank or tab: the line is path and weight at once
        s.pathAt = s.weightAt = at;
        s.pathBytes = s.weightBytes = quint32(n);
        return s;
    }
    s.pathAt = at;
    s.pathBytes = quint32(cut - 1);
    s.weightAt = at + cut;
    s.weightBytes = quint32(n - cut);
    return s;
}

// Calls fn(start, end) for every line as the sorter counts them.
template <class F>
void forEachLine(const QByteArray &text, F &&fn)
{
    const char *p = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = start; i < n; ++i) {
        const char c = p[i];
        if (c != '\n' && c != '\r')
            continue;
        fn(start, i);
        if (c == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        fn(start, n);
}

QString shownText(const std::string &bytes)
{
    return base::displayPath(platform::decodePath(QByteArray::fromStdString(bytes)));
}
} // namespace

QString memoCapacityText() { return QStringLiteral("Text exceeds memo capacity"); }

SortSpans parseFileText(QByteArray text, bool slashPaths)
{
    // Slash form changes bytes only where "\" is no name character.
    if (slashPaths && platform::slashForm(QStringLiteral("\\")) != QStringLiteral("\\"))
        text.replace('\\', '/');
    SortSpans out;
    qsizetype lines = 0;
    forEachLine(text, [&](qsizetype, qsizetype) { ++lines; });
    out.rows.reserve(size_t(lines));
    forEachLine(text, [&](qsizetype a, qsizetype b) { out.rows.push_back(splitLine(text.constData(), a, b - a)); });
    out.text = std::move(text);
    return out;
}

QList<SortRow> textRows(const SortSpans &spans)
{
    QList<SortRow> out;
    out.reserve(qsizetype(spans.rows.size()));
    for (const SortSpan &s : spans.rows)
        out.append({platform::decodePath(spans.text.mid(s.pathAt, s.pathBytes)),
                    platform::decodePath(spans.text.mid(s.weightAt, s.weightBytes))});
    return out;
}

namespace {
// The file text of rows [from, from + count), appended to *out.
void appendLines(const SortList &list, const QByteArray &base, qsizetype from, qsizetype count, QByteArray *out)
{
    for (qsizetype r = from; r < from + count; ++r) {
        QByteArrayView path = list.pathBytes(r);
        if (!base.isEmpty() && path.startsWith(base))
            path = path.sliced(base.size());
        out->append(path);
        out->append(' ');
        out->append(list.weightByLookup(r));
        out->append("\r\n");
    }
}
} // namespace

QByteArray fileText(const SortList &list, const QString &base)
{
    QByteArray out;
    appendLines(list, platform::encodePath(base), 0, list.size(), &out);
    return out;
}

WeightCheck checkWeights(const SortSpans &rows)
{
    WeightCheck c;
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const SortSpan &s = rows.rows[i];
        if (s.isBlank() || toInt64(QByteArrayView(rows.text.constData() + s.weightAt, s.weightBytes)))
            continue;
        if (c.count++ == 0)
            c.firstLine = int(i) + 1;
    }
    return c;
}

QString noValidWeightText(const WeightCheck &c)
{
    if (c.count == 1)
        return QStringLiteral("1 line has no valid weight (line %1)").arg(c.firstLine);
    return QStringLiteral("%1 lines have no valid weight (first: line %2)").arg(c.count).arg(c.firstLine);
}

QStringList genisoimageVerdict(const QByteArray &text)
{
    QStringList out;
    int more = 0, stop = 0, last = 0;
    base::forEachSortLine(std::string_view(text.constData(), size_t(text.size())), [&](const base::SortLine &l) {
        last = l.line;
        if (l.refused() && stop == 0)
            stop = l.line;
        if (!l.refused() && (stop != 0 || l.note == base::SortLine::Clean))
            return;
        if (out.size() < kVerdictLines)
            out << shownText(base::sortLineMessage(l));
        else
            ++more;
    });
    if (more > 0)
        out << QStringLiteral("and %1 more such lines").arg(more);
    if (stop != 0) {
        base::SortLines summary;
        summary.stopLine = stop;
        summary.linesAfterStop = last - stop;
        out << shownText(base::sortStopMessage(summary));
    }
    return out;
}

QString baseFolder(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

SortSpans joinedTo(const QString &base, const SortSpans &entries)
{
    SortSpans out;
    out.rows.reserve(entries.rows.size());
    out.text.reserve(entries.text.size() + qsizetype(entries.rows.size()) * (base.size() + 1));
    const QByteArray joined = platform::encodePath(base);
    const bool slashes = platform::slashForm(QStringLiteral("\\")) != QStringLiteral("\\");
    for (const SortSpan &s : entries.rows) {
        SortSpan j;
        if (!s.isBlank()) {
            j.pathAt = out.text.size();
            out.text += joined;
            out.text.append(entries.text.constData() + s.pathAt, s.pathBytes);
            if (slashes)
                std::replace(out.text.begin() + j.pathAt, out.text.end(), '\\', '/');
            j.pathBytes = quint32(out.text.size() - j.pathAt);
        }
        j.weightAt = out.text.size();
        out.text.append(entries.text.constData() + s.weightAt, s.weightBytes);
        j.weightBytes = s.weightBytes;
        out.rows.push_back(j);
    }
    return out;
}

QString exportBase(const QString &folder)
{
    return folder.isEmpty() ? QString() : baseFolder(platform::slashForm(folder));
}

bool readSortFileBytes(const QString &path, QByteArray *text, QString *error)
{
    platform::BoundedRead file = platform::readBounded(path, kSortFileLimit);
    // Each row costs more than its bytes: the line count is bounded too.
    if (file.ok()) {
        qsizetype lines = 0;
        forEachLine(file.data, [&](qsizetype, qsizetype) { ++lines; });
        if (lines > kSortFileLines)
            file.status = platform::BoundedRead::TooLarge;
    }
    if (!file.ok()) {
        if (error)
            *error = file.status == platform::BoundedRead::TooLarge ? memoCapacityText()
                                                                     : platform::cannotOpenText(path, file.reason);
        return false;
    }
    *text = std::move(file.data);
    return true;
}

bool readSortFile(const QString &path, bool slashPaths, SortSpans *rows, QString *error)
{
    QByteArray text;
    if (!readSortFileBytes(path, &text, error))
        return false;
    *rows = parseFileText(std::move(text), slashPaths);
    return true;
}

bool writeSortFile(const QString &path, const SortList &list, const QString &base, QString *error)
{
    const QByteArray prefix = platform::encodePath(base);
    qsizetype row = 0;
    auto next = [&] {
        QByteArray piece;
        while (row < list.size() && piece.size() < kWritePiece) {
            const qsizetype n = std::min<qsizetype>(list.size() - row, 1024);
            appendLines(list, prefix, row, n, &piece);
            row += n;
        }
        return piece;
    };
    QString reason;
    if (platform::writeFileAtomic(path, next, &reason))
        return true;
    if (error)
        *error = platform::cannotCreateText(path, reason);
    return false;
}

} // namespace tree
