#include "tree/sort_list.h"

#include "base/text_codec.h"
#include "platform/platform.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace tree {

namespace {
constexpr qint64 kMax32 = std::numeric_limits<qint32>::max();
constexpr qint64 kMin32 = std::numeric_limits<qint32>::min();
constexpr qsizetype kLineLimit = 4096;
// No character of a line takes more than 4 bytes (a byte that is not UTF-8
// is one character), so the first 4096 characters lie in these bytes.
constexpr qsizetype kLineBytes = 4 * kLineLimit;
constexpr char16_t kByteBase = 0xDC00; // U+DC80..U+DCFF: bytes that are not UTF-8

bool isByteChar(QChar c) { return c.unicode() >= kByteBase + 0x80 && c.unicode() <= kByteBase + 0xFF; }

// A name's bytes that are not UTF-8, shown as Windows-1252 (the code page
// such files and names usually come from); the stored text is untouched.
QString displayForm(const QString &s)
{
    if (std::none_of(s.begin(), s.end(), isByteChar))
        return s;
    QString out;
    out.reserve(s.size());
    for (QChar c : s)
        out += isByteChar(c) ? base::decodeText(QByteArray(1, char(c.unicode() - kByteBase))) : QString(c);
    return out;
}

bool hasValidWeight(const SortRow &r) { return r.isBlank() || toInt64(r.weight).has_value(); }

bool fits32(qint64 v) { return v >= kMin32 && v <= kMax32; }

// Blanks and control characters off both ends.
QString trimControls(const QString &s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && s.at(a).unicode() <= 0x20)
        ++a;
    while (b > a && s.at(b - 1).unicode() <= 0x20)
        --b;
    return (a == 0 && b == s.size()) ? s : s.mid(a, b - a);
}

SortRow splitLine(QString line, bool slashPaths)
{
    if (line.size() > kLineLimit)
        line.truncate(kLineLimit);
    line.replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (slashPaths)
        line = platform::slashForm(line);
    if (line.isEmpty())
        return {};
    const qsizetype blank = line.lastIndexOf(QLatin1Char(' '));
    if (blank < 0)
        return {line, line};
    return {line.left(blank), line.mid(blank + 1)};
}
} // namespace

std::optional<qint64> toInt64(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    if (i == n)
        return std::nullopt;
    // Accumulated as a negative number: its range is one larger.
    qint64 v = 0;
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    for (; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int d = c - u'0';
        if (v < (kMin + d) / 10)
            return std::nullopt;
        v = v * 10 - d;
    }
    if (!negative) {
        if (v == kMin)
            return std::nullopt;
        v = -v;
    }
    return v;
}

std::optional<qint32> toInt32(const QString &text)
{
    const auto v = toInt64(text);
    if (!v || !fits32(*v))
        return std::nullopt;
    return qint32(*v);
}

QString conversionErrorText(const QString &text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString rowErrorText(const QString &text, int row)
{
    return conversionErrorText(displayForm(text)) + QStringLiteral(" (row %1)").arg(row);
}

WeightCheck checkWeights(const QList<SortRow> &rows)
{
    WeightCheck c;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (hasValidWeight(rows.at(i)))
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

QString noValidWeightTip()
{
    return QStringLiteral("No valid weight: Sort needs a whole number here");
}

QString memoCapacityText() { return QStringLiteral("Text exceeds memo capacity"); }

QStringList arrowSteps()
{
    QStringList steps;
    for (qint64 s = 1; s <= 100000000; s *= 10)
        steps << QString::number(s);
    return steps;
}

SortList::SortList(QObject *parent) : QAbstractTableModel(parent) {}

// --- path lookup -------------------------------------------------------------

void SortList::ensureIndex() const
{
    if (m_indexValid)
        return;
    m_first.clear();
    m_first.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i) {
        auto it = m_first.find(m_rows.at(i).path);
        if (it == m_first.end())
            m_first.insert(m_rows.at(i).path, i);
    }
    m_indexValid = true;
}

void SortList::indexAppended(int row)
{
    if (!m_indexValid)
        return;
    const QString &p = m_rows.at(row).path;
    if (m_first.find(p) == m_first.end())
        m_first.insert(p, row);
}

int SortList::firstRowOf(const QString &path) const
{
    ensureIndex();
    return m_first.value(path, -1);
}

QString SortList::weightOf(const QString &path) const
{
    const int row = firstRowOf(path);
    return row < 0 ? QString() : m_rows.at(row).weight;
}

// --- rows --------------------------------------------------------------------

void SortList::resetRows(QList<SortRow> rows)
{
    if (rows.isEmpty())
        rows.append(SortRow{});
    m_reshaping = true;
    beginResetModel();
    m_rows = std::move(rows);
    m_indexValid = false;
    m_current = 0;
    endResetModel();
    m_reshaping = false;
    emit currentRowChanged(0);
}

void SortList::changed(int row, int column)
{
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

int SortList::setCurrentRow(int row)
{
    row = std::clamp(row, 0, int(m_rows.size()) - 1);
    if (row == m_current)
        return row;
    if (m_rows.size() > 1 && m_rows.at(m_current).isBlank()) {
        const int gone = m_current;
        if (row > gone)
            --row;
        m_reshaping = true;
        beginRemoveRows(QModelIndex(), gone, gone);
        m_rows.removeAt(gone);
        m_indexValid = false;
        m_current = row;
        endRemoveRows();
        m_reshaping = false;
    }
    m_current = row;
    emit currentRowChanged(row);
    return row;
}

void SortList::insertEntry(const QString &path, const QString &weight)
{
    insertEntries({SortRow{path, weight}});
}

void SortList::insertEntries(const QList<SortRow> &entries)
{
    // Entries go into the current row while it is blank (a blank entry
    // keeps it so), the rest after the last row.
    qsizetype from = 0;
    for (; from < entries.size() && m_rows.at(m_current).isBlank(); ++from) {
        setPath(m_current, entries.at(from).path);
        setWeight(m_current, entries.at(from).weight);
    }
    if (from == entries.size())
        return;
    const int first = int(m_rows.size());
    m_reshaping = true;
    beginInsertRows(QModelIndex(), first, first + int(entries.size() - from) - 1);
    m_rows.reserve(m_rows.size() + entries.size() - from);
    for (qsizetype i = from; i < entries.size(); ++i) {
        m_rows.append(entries.at(i));
        indexAppended(int(m_rows.size()) - 1);
    }
    endInsertRows();
    m_reshaping = false;
}

void SortList::setPath(int row, const QString &path)
{
    SortRow &r = m_rows[row];
    if (r.path == path)
        return;
    if (m_indexValid) {
        if (m_first.value(r.path, -1) == row)
            m_indexValid = false; // a later row may now be the first
        else {
            auto it = m_first.find(path);
            if (it == m_first.end())
                m_first.insert(path, row);
            else if (*it > row)
                *it = row;
        }
    }
    r.path = path;
    changed(row, 0);
}

void SortList::setWeight(int row, const QString &weight)
{
    if (m_rows.at(row).weight == weight)
        return;
    m_rows[row].weight = weight;
    // The mark of a row without a valid weight covers both cells.
    emit dataChanged(index(row, 0), index(row, 1));
}

void SortList::insertBlankRow(int at)
{
    at = std::clamp(at, 0, int(m_rows.size()));
    m_reshaping = true;
    beginInsertRows(QModelIndex(), at, at);
    m_rows.insert(at, SortRow{});
    m_indexValid = false;
    if (m_current >= at)
        ++m_current;
    endInsertRows();
    m_reshaping = false;
    emit currentRowChanged(m_current);
}

void SortList::removeRowAt(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    if (m_rows.size() == 1) {
        setPath(0, QString());
        setWeight(0, QString());
        return;
    }
    m_reshaping = true;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    m_indexValid = false;
    if (m_current > row || m_current >= m_rows.size())
        --m_current;
    endRemoveRows();
    m_reshaping = false;
    emit currentRowChanged(m_current);
}

bool SortList::moveRowsTo(int from, int count, int to)
{
    const int n = int(m_rows.size());
    if (count <= 0 || from < 0 || from + count > n || to < 0 || to > n
        || (to >= from && to <= from + count))
        return false;
    m_reshaping = true;
    beginMoveRows(QModelIndex(), from, from + count - 1, QModelIndex(), to);
    auto first = m_rows.begin();
    if (to < from)
        std::rotate(first + to, first + from, first + from + count);
    else
        std::rotate(first + from, first + from + count, first + to);
    m_indexValid = false;
    const int c = m_current;
    if (c >= from && c < from + count)
        m_current = (to < from ? to : to - count) + (c - from);
    else if (to < from && c >= to && c < from)
        m_current += count;
    else if (to > from && c >= from + count && c < to)
        m_current -= count;
    endMoveRows();
    m_reshaping = false;
    emit currentRowChanged(m_current);
    return true;
}

void SortList::dropBlankCurrentRow()
{
    if (m_rows.size() > 1 && m_rows.at(m_current).isBlank())
        removeRowAt(m_current);
}

// --- operations --------------------------------------------------------------

void SortList::deleteRow()
{
    if (m_current == 0) {
        if (m_rows.first().path.isEmpty())
            return;
        setPath(0, QString());
        setWeight(0, QString());
        return;
    }
    removeRowAt(m_current);
}

void SortList::clear()
{
    if (isEmptyList())
        return;
    resetRows({});
}

bool SortList::sort(QString *error)
{
    if (!toInt64(currentWeight()))
        return false;
    struct Item
    {
        qint64 weight;
        QString key;
        SortRow row;
    };
    QList<Item> items;
    items.reserve(m_rows.size());
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const SortRow &r = m_rows.at(i);
        const QString w = weightOf(r.path);
        const auto v = toInt64(w);
        if (!v) {
            // The first row that fails holds its own weight: an earlier
            // row with the same path would have failed first.
            if (error)
                *error = rowErrorText(w, int(i) + 1);
            return true;
        }
        const QString path = trimControls(r.path);
        items.append({*v, path.toCaseFolded(), {path, QString::number(*v)}});
    }
    std::stable_sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        if (a.weight != b.weight)
            return a.weight > b.weight;
        return a.key < b.key;
    });
    QList<SortRow> rows;
    rows.reserve(items.size());
    for (Item &i : items)
        rows.append(std::move(i.row));
    // Refilled by the insert rule: the first entry lands in the blank row
    // that clearing leaves.
    resetRows(std::move(rows));
    return true;
}

void SortList::replace(const QString &find, const QString &with)
{
    if (find.isEmpty())
        return;
    for (SortRow &r : m_rows)
        r.path.replace(find, with, Qt::CaseSensitive);
    m_indexValid = false;
    emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, 0));
}

bool SortList::stepWeight(bool up, qint32 step)
{
    const QString &path = m_rows.at(m_current).path;
    const auto v = toInt32(weightOf(path));
    if (!v)
        return false;
    qint64 r;
    if (up)
        r = *v > kMax32 - step ? kMax32 : qint64(*v) + step;
    else
        r = *v < step - kMax32 ? -kMax32 : qint64(*v) - step;
    setWeight(firstRowOf(path), QString::number(r));
    return true;
}

bool SortList::negateWeight()
{
    const QString &path = m_rows.at(m_current).path;
    const auto v = toInt32(weightOf(path));
    if (!v || *v == kMin32)
        return false;
    setWeight(firstRowOf(path), QString::number(-qint64(*v)));
    return true;
}

// --- the sort file -----------------------------------------------------------

QByteArray SortList::fileText(const QString &base) const
{
    QByteArray out;
    out.reserve(m_rows.size() * 64);
    for (const SortRow &r : m_rows) {
        if (!base.isEmpty() && r.path.startsWith(base))
            out += platform::encodePath(QStringView(r.path).mid(base.size()).toString());
        else
            out += platform::encodePath(r.path);
        out += ' ';
        out += platform::encodePath(weightOf(r.path));
        out += "\r\n";
    }
    return out;
}

QList<SortRow> SortList::parseFileText(const QByteArray &text, bool slashPaths)
{
    QList<SortRow> rows;
    // Line by line from the bytes: CR and LF never occur inside a UTF-8
    // sequence, and each line keeps the bytes of its names.
    const char *p = text.constData();
    const qsizetype n = text.size();
    auto take = [&](qsizetype a, qsizetype b) {
        const QByteArray line = QByteArray::fromRawData(p + a, std::min(b - a, kLineBytes));
        rows.append(splitLine(platform::decodePath(line), slashPaths));
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c != '\n' && c != '\r')
            continue;
        take(start, i);
        if (c == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        take(start, n);
    return rows;
}

// --- the model ---------------------------------------------------------------

int SortList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SortList::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 2; }

QVariant SortList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const SortRow &r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return displayForm(index.column() == 0 ? r.path : r.weight);
    case Qt::ToolTipRole: return hasValidWeight(r) ? QVariant() : QVariant(noValidWeightTip());
    case NoValidWeightRole: return !hasValidWeight(r);
    default: return {};
    }
}

bool SortList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const SortRow &r = m_rows.at(index.row());
    const QString text = value.toString();
    // An edit that leaves the shown text as it was keeps the stored bytes.
    if (index.column() == 0) {
        if (text != displayForm(r.path))
            setPath(index.row(), text);
    } else if (text != displayForm(r.weight)) {
        setWeight(index.row(), text);
    }
    return true;
}

QVariant SortList::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Vertical)
        return section + 1;
    return section == 0 ? QStringLiteral("File/Folder") : QStringLiteral("Weight");
}

Qt::ItemFlags SortList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled
           | Qt::ItemIsDropEnabled;
}

Qt::DropActions SortList::supportedDropActions() const { return Qt::MoveAction | Qt::CopyAction; }

bool SortList::moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                        const QModelIndex &destinationParent, int destinationChild)
{
    if (sourceParent.isValid() || destinationParent.isValid())
        return false;
    return moveRowsTo(sourceRow, count, destinationChild);
}

// --- Add to list and the numbering fields ------------------------------------

namespace {
// Start weight from "Weight for next file", or from the last row's weight
// plus the step when the field is empty.
std::optional<QString> startWeight(const SortList &list, const QString &field, qint32 step,
                                   bool strict, qint64 *start)
{
    if (!field.isEmpty()) {
        const auto v = toInt32(field);
        if (!v && strict)
            return conversionErrorText(field);
        *start = v.value_or(0);
        return std::nullopt;
    }
    const QString last = list.weightOf(list.at(list.size() - 1).path);
    if (last.isEmpty()) {
        *start = 0;
        return std::nullopt;
    }
    const auto v = toInt32(last);
    if (!v || !fits32(qint64(*v) + step))
        return conversionErrorText(last);
    *start = qint64(*v) + step;
    return std::nullopt;
}
} // namespace

std::optional<QString> addToList(SortList &list, const QStringList &selectedFiles,
                                 const QString &folder, Numbering &fields)
{
    qint64 step = fields.step.isEmpty() ? 1 : toInt32(fields.step).value_or(1);
    qint64 w = 0;
    if (auto e = startWeight(list, fields.nextWeight, qint32(step), false, &w))
        return e;
    if (!selectedFiles.isEmpty()) {
        QList<SortRow> entries;
        entries.reserve(selectedFiles.size());
        for (const QString &f : selectedFiles) {
            if (!fits32(w + step))
                return conversionErrorText(QString::number(w));
            entries.append({platform::slashForm(f), QString::number(w)});
            w += step;
        }
        list.insertEntries(entries);
        fields.nextWeight = QString::number(w);
        fields.step = QString::number(step);
        return std::nullopt;
    }
    // The folder: the fields are read strictly this time.
    if (!fields.step.isEmpty()) {
        const auto s = toInt32(fields.step);
        if (!s)
            return conversionErrorText(fields.step);
        step = *s;
    } else {
        step = 1;
    }
    if (auto e = startWeight(list, fields.nextWeight, qint32(step), true, &w))
        return e;
    if (!fits32(w + step))
        return conversionErrorText(QString::number(w));
    if (folder.isEmpty())
        return std::nullopt;
    list.insertEntry(platform::slashForm(folder), QString::number(w));
    fields.nextWeight = QString::number(w + step);
    fields.step = QString::number(step);
    return std::nullopt;
}

std::optional<QString> updateNextWeight(const SortList &list, Numbering &fields)
{
    const QString weight = list.currentWeight();
    const auto v = toInt32(weight);
    if (!v)
        return std::nullopt;
    const qint64 next = qint64(*v) + toInt32(fields.step).value_or(1);
    if (!fits32(next))
        return conversionErrorText(weight);
    fields.nextWeight = QString::number(next);
    return std::nullopt;
}

QString baseFolder(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QList<SortRow> joinedTo(const QString &base, QList<SortRow> entries)
{
    for (SortRow &r : entries)
        if (!r.isBlank())
            r.path = platform::slashForm(base + r.path);
    return entries;
}

QString exportBase(const QString &folder)
{
    return folder.isEmpty() ? QString() : baseFolder(platform::slashForm(folder));
}

namespace {
// Lines as parseFileText counts them, stopping once past `limit`.
qsizetype countLines(const QByteArray &text, qsizetype limit)
{
    qsizetype lines = 0;
    const qsizetype n = text.size();
    const char *p = text.constData();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n && lines <= limit; ++i) {
        if (p[i] != '\n' && p[i] != '\r')
            continue;
        ++lines;
        if (p[i] == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return start < n ? lines + 1 : lines;
}
} // namespace

bool readSortFile(const QString &path, bool slashPaths, QList<SortRow> *rows, QString *error)
{
    platform::BoundedRead file = platform::readBounded(path, kSortFileLimit);
    // Each row costs far more than its bytes: the line count is bounded too.
    if (file.ok() && countLines(file.data, kSortFileLines) > kSortFileLines)
        file.status = platform::BoundedRead::TooLarge;
    if (!file.ok()) {
        if (error)
            *error = file.status == platform::BoundedRead::TooLarge
                         ? memoCapacityText()
                         : platform::cannotOpenText(path, file.reason);
        return false;
    }
    *rows = SortList::parseFileText(file.data, slashPaths);
    return true;
}

bool writeSortFile(const QString &path, const SortList &list, const QString &base, QString *error)
{
    QString reason;
    if (platform::writeFileAtomic(path, list.fileText(base), &reason))
        return true;
    if (error)
        *error = platform::cannotCreateText(path, reason);
    return false;
}

} // namespace tree
