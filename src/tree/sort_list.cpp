#include "tree/sort_list.h"

#include "base/text_codec.h"
#include "platform/path_codec.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <string_view>
#include <type_traits>

namespace tree {

namespace {
constexpr qint64 kMax32 = std::numeric_limits<qint32>::max();
constexpr qint64 kMin32 = std::numeric_limits<qint32>::min();
// Bytes no row uses any more are dropped once they are this many and half
// of all.
constexpr qint64 kCompactAt = qint64(1) << 20;

bool fits32(qint64 v) { return v >= kMin32 && v <= kMax32; }

QString textOf(QByteArrayView bytes) { return platform::decodePath(bytes.toByteArray()); }

// As the grid shows a path or weight: bytes that are not UTF-8 as
// Windows-1252 (the stored bytes are untouched).
QString shown(QByteArrayView bytes) { return base::displayPath(textOf(bytes)); }

template <class Chars>
std::optional<qint64> parseInt64(const Chars &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) -> char16_t {
        if constexpr (std::is_same_v<Chars, QString>)
            return text[k].unicode();
        else
            return char16_t(uchar(text[k]));
    };
    while (i < n && at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < n && (at(i) == u'-' || at(i) == u'+'))
        negative = at(i++) == u'-';
    if (i == n)
        return std::nullopt;
    // Accumulated as a negative number: its range is one larger.
    qint64 v = 0;
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    for (; i < n; ++i) {
        const char16_t c = at(i);
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


// Paths without regard to case: each character case-folded, compared as
// the folded texts compare. ASCII is folded in place; from the first byte
// that is not ASCII on, the rest of both is decoded and folded.
int foldCompare(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        uchar x = uchar(a[i]), y = uchar(b[i]);
        if ((x | y) & 0x80)
            return QString::compare(textOf(a.sliced(i)).toCaseFolded(), textOf(b.sliced(i)).toCaseFolded());
        if (x == y)
            continue;
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool hasValidWeight(QByteArrayView path, QByteArrayView weight)
{
    return (path.isEmpty() && weight.isEmpty()) || toInt64(weight).has_value();
}
} // namespace

std::optional<qint64> toInt64(const QString &text) { return parseInt64(text); }

std::optional<qint64> toInt64(QByteArrayView text) { return parseInt64(text); }

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
    return conversionErrorText(base::displayPath(text)) + QStringLiteral(" (row %1)").arg(row);
}

QString noValidWeightTip()
{
    return QStringLiteral("No valid weight: Sort needs a whole number here");
}

SortList::SortList(QObject *parent) : QAbstractTableModel(parent) {}

// --- bytes and rows ------------------------------------------------------------

SortRow SortList::at(qsizetype row) const
{
    return {textOf(pathBytes(row)), textOf(weightBytes(row))};
}

QList<SortRow> SortList::rows() const
{
    QList<SortRow> out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out.append(at(i));
    return out;
}

qint64 SortList::heldBytes() const
{
    return m_text.capacity() + qint64(m_rows.capacity() * sizeof(SortSpan)) +
           qint64(m_slots.capacity() * sizeof(Slot));
}

void SortList::tidy()
{
    if (m_unused < kCompactAt || m_unused * 2 < m_text.size())
        return;
    QByteArray text;
    text.reserve(m_text.size() - m_unused);
    for (SortSpan &s : m_rows) {
        const qint64 at = text.size();
        text.append(view(s.pathAt, s.pathBytes));
        const qint64 weightAt = text.size();
        text.append(view(s.weightAt, s.weightBytes));
        s.pathAt = at;
        s.weightAt = weightAt;
    }
    m_text = std::move(text);
    m_unused = 0;
}

// --- path lookup ---------------------------------------------------------------

quint64 SortList::hashOf(QByteArrayView path)
{
    return std::hash<std::string_view>()(std::string_view(path.data(), size_t(path.size())));
}

SortList::Slot &SortList::slotOf(QByteArrayView path, quint64 hash) const
{
    const quint32 tag = quint32(hash);
    size_t s = homeOf(hash);
    for (;;) {
        Slot &slot = m_slots[s];
        if (slot.row < 0) {
            slot.tag = tag;
            return slot;
        }
        if (slot.tag == tag && pathBytes(slot.row) == path)
            return slot;
        if (++s == m_slots.size())
            s = 0;
    }
}

template <class F>
bool SortList::forEachFirstRow(F &&fn) const
{
    if (m_indexValid) {
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (!fn(qsizetype(i), qsizetype(slotOf(pathBytes(qsizetype(i))).row)))
                return false;
        return true;
    }
    // One probe a row: the index is built as the rows are met. At most
    // two thirds of the slots are taken.
    const size_t count = std::max<size_t>(16, m_rows.size() * 3 / 2 + 1);
    if (m_slots.size() == count)
        std::fill(m_slots.begin(), m_slots.end(), Slot{});
    else
        m_slots = std::vector<Slot>(count);
    m_indexed = 0;
    // The slots of the rows a few ahead are fetched while this one is
    // placed: the probes go to random places of a large table.
    constexpr size_t kAhead = 16;
    quint64 ahead[kAhead];
    const size_t n = m_rows.size();
    for (size_t i = 0; i < std::min(n, kAhead); ++i) {
        ahead[i] = hashOf(pathBytes(qsizetype(i)));
        __builtin_prefetch(&m_slots[homeOf(ahead[i])]);
    }
    for (size_t i = 0; i < n; ++i) {
        const quint64 hash = ahead[i % kAhead];
        if (i + kAhead < n) {
            const quint64 next = hashOf(pathBytes(qsizetype(i + kAhead)));
            ahead[i % kAhead] = next;
            __builtin_prefetch(&m_slots[homeOf(next)]);
        }
        Slot &slot = slotOf(pathBytes(qsizetype(i)), hash);
        if (slot.row < 0) {
            slot.row = qint32(i);
            ++m_indexed;
        }
        if (!fn(qsizetype(i), qsizetype(slot.row))) {
            m_indexValid = false;
            return false;
        }
    }
    m_indexValid = true;
    return true;
}

void SortList::ensureIndex() const
{
    if (!m_indexValid)
        forEachFirstRow([](qsizetype, qsizetype) { return true; });
}

// A row that now holds its path: the first one unless an earlier row does.
void SortList::indexAdd(int row) const
{
    if (!m_indexValid)
        return;
    if (size_t(m_indexed + 1) * 3 > m_slots.size() * 2) {
        m_indexValid = false; // rebuilt larger when next needed
        return;
    }
    Slot &slot = slotOf(pathBytes(row));
    if (slot.row < 0) {
        slot.row = row;
        ++m_indexed;
    } else if (slot.row > row) {
        slot.row = row;
    }
}

int SortList::firstRowOf(QByteArrayView path) const
{
    ensureIndex();
    return slotOf(path).row;
}

int SortList::firstRowOf(const QString &path) const { return firstRowOf(QByteArrayView(platform::encodePath(path))); }

QByteArrayView SortList::weightBytesOf(QByteArrayView path) const
{
    const int row = firstRowOf(path);
    return row < 0 ? QByteArrayView() : weightBytes(row);
}

QString SortList::weightOf(const QString &path) const
{
    return textOf(weightBytesOf(QByteArrayView(platform::encodePath(path))));
}

QString SortList::currentWeight() const { return textOf(weightBytesOf(pathBytes(m_current))); }

// --- rows ----------------------------------------------------------------------

void SortList::resetRows(std::vector<SortSpan> rows)
{
    m_reshaping = true;
    beginResetModel();
    if (rows.empty()) {
        rows.push_back(SortSpan{});
        m_text = QByteArray();
        m_unused = 0;
    }
    m_rows = std::move(rows);
    m_ownWeights = m_rows.size() == 1;
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
    if (m_rows.size() > 1 && m_rows[size_t(m_current)].isBlank()) {
        const int gone = m_current;
        if (row > gone)
            --row;
        m_reshaping = true;
        beginRemoveRows(QModelIndex(), gone, gone);
        m_rows.erase(m_rows.begin() + gone);
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
    SortSpans spans;
    spans.rows.reserve(size_t(entries.size()));
    for (const SortRow &r : entries) {
        SortSpan s;
        s.pathAt = spans.text.size();
        spans.text += platform::encodePath(r.path);
        s.pathBytes = quint32(spans.text.size() - s.pathAt);
        s.weightAt = spans.text.size();
        spans.text += platform::encodePath(r.weight);
        s.weightBytes = quint32(spans.text.size() - s.weightAt);
        spans.rows.push_back(s);
    }
    insertSpans(std::move(spans));
}

void SortList::insertSpans(SortSpans spans)
{
    // Into an empty list the rows go as they are, keeping the file's own
    // bytes: by the insert rule leading blank entries fill the blank row,
    // the first entry after them takes it.
    if (isEmptyList() && m_text.isEmpty()) {
        const auto first = std::find_if(spans.rows.begin(), spans.rows.end(),
                                        [](const SortSpan &r) { return !r.isBlank(); });
        if (first == spans.rows.end())
            return;
        spans.rows.erase(spans.rows.begin(), first);
        m_reshaping = true;
        beginResetModel();
        m_text = std::move(spans.text);
        m_unused = 0;
        m_rows = std::move(spans.rows);
        m_indexValid = false;
        m_ownWeights = m_rows.size() == 1;
        m_current = 0;
        endResetModel();
        m_reshaping = false;
        emit currentRowChanged(0);
        return;
    }
    qint64 shift = 0;
    if (m_text.isEmpty())
        m_text = std::move(spans.text);
    else {
        shift = m_text.size();
        m_text.append(spans.text);
        spans.text = QByteArray();
    }
    for (SortSpan &s : spans.rows) {
        s.pathAt += shift;
        s.weightAt += shift;
    }
    // Entries go into the current row while it is blank (a blank entry
    // keeps it so), the rest after the last row.
    size_t from = 0;
    for (; from < spans.rows.size() && m_rows[size_t(m_current)].isBlank(); ++from)
        setSpan(m_current, spans.rows[from], true);
    appendRows(spans.rows, qsizetype(from));
    tidy();
}

void SortList::appendRows(const std::vector<SortSpan> &rows, qsizetype from)
{
    if (size_t(from) >= rows.size())
        return;
    const int first = int(m_rows.size());
    m_ownWeights = false;
    m_reshaping = true;
    beginInsertRows(QModelIndex(), first, first + int(rows.size() - size_t(from)) - 1);
    m_rows.insert(m_rows.end(), rows.begin() + from, rows.end());
    for (int r = first; r < int(m_rows.size()); ++r)
        indexAdd(r);
    endInsertRows();
    m_reshaping = false;
}

void SortList::setSpan(int row, const SortSpan &span, bool pathChanged)
{
    const SortSpan old = m_rows[size_t(row)];
    m_ownWeights = false;
    if (pathChanged && m_indexValid) {
        // A later row may now be the first of the old path.
        if (slotOf(pathBytes(row)).row == row)
            m_indexValid = false;
    }
    m_rows[size_t(row)] = span;
    if (pathChanged)
        indexAdd(row);
    // The mark of a row without a valid weight covers both cells.
    emit dataChanged(index(row, 0), index(row, 1));
    m_unused += qint64(pathChanged ? old.pathBytes : 0) + (span.weightAt != old.weightAt ? old.weightBytes : 0);
}

void SortList::setPath(int row, const QString &path)
{
    const QByteArray bytes = platform::encodePath(path);
    if (pathBytes(row) == QByteArrayView(bytes))
        return;
    SortSpan s = m_rows[size_t(row)];
    s.pathAt = m_text.size();
    s.pathBytes = quint32(bytes.size());
    m_text.append(bytes);
    setSpan(row, s, true);
    tidy();
}

void SortList::setWeight(int row, const QString &weight)
{
    const QByteArray bytes = platform::encodePath(weight);
    if (weightBytes(row) == QByteArrayView(bytes))
        return;
    SortSpan s = m_rows[size_t(row)];
    s.weightAt = m_text.size();
    s.weightBytes = quint32(bytes.size());
    m_text.append(bytes);
    setSpan(row, s, false);
    tidy();
}

void SortList::insertBlankRow(int at)
{
    at = std::clamp(at, 0, int(m_rows.size()));
    m_reshaping = true;
    beginInsertRows(QModelIndex(), at, at);
    m_rows.insert(m_rows.begin() + at, SortSpan{});
    m_indexValid = false;
    m_ownWeights = false;
    if (m_current >= at)
        ++m_current;
    endInsertRows();
    m_reshaping = false;
    emit currentRowChanged(m_current);
}

void SortList::removeRowAt(int row)
{
    if (row < 0 || row >= int(m_rows.size()))
        return;
    if (m_rows.size() == 1) {
        setPath(0, QString());
        setWeight(0, QString());
        return;
    }
    m_reshaping = true;
    beginRemoveRows(QModelIndex(), row, row);
    m_unused += qint64(m_rows[size_t(row)].pathBytes) + m_rows[size_t(row)].weightBytes;
    m_rows.erase(m_rows.begin() + row);
    m_indexValid = false;
    if (m_current > row || m_current >= int(m_rows.size()))
        --m_current;
    endRemoveRows();
    m_reshaping = false;
    tidy();
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
    if (m_rows.size() > 1 && m_rows[size_t(m_current)].isBlank())
        removeRowAt(m_current);
}

// --- operations ----------------------------------------------------------------

void SortList::deleteRow()
{
    if (m_current == 0) {
        if (pathBytes(0).isEmpty())
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
    if (!toInt64(weightBytesOf(pathBytes(m_current))))
        return false;
    // Every weight first: one that is not a number leaves the list as it was.
    struct Key
    {
        qint64 weight;
        quint32 row;
    };
    std::vector<Key> keys(m_rows.size());
    auto keyOf = [&](qsizetype row, qsizetype first) {
        const QByteArrayView w = weightBytes(first);
        const auto v = toInt64(w);
        if (!v) {
            // The first row that fails holds its own weight: an earlier
            // row with the same path would have failed first.
            if (error)
                *error = rowErrorText(textOf(w), int(row) + 1);
            return false;
        }
        keys[size_t(row)] = {*v, quint32(row)};
        return true;
    };
    if (m_ownWeights) {
        for (qsizetype i = 0; i < size(); ++i)
            if (!keyOf(i, i))
                return true;
    } else if (!forEachFirstRow(keyOf)) {
        return true;
    }
    // The order changes: the index is rebuilt when next needed, and its
    // room serves the sorting meanwhile.
    m_slots = std::vector<Slot>();
    m_indexValid = false;
    // Each weight in plain decimal form; most are already.
    char digits[24];
    for (const Key &k : keys) {
        const auto end = std::to_chars(digits, digits + sizeof digits, k.weight).ptr;
        const QByteArrayView plain(digits, end - digits);
        SortSpan &s = m_rows[k.row];
        if (view(s.weightAt, s.weightBytes) == plain)
            continue;
        m_unused += s.weightBytes;
        s.weightAt = m_text.size();
        s.weightBytes = quint32(plain.size());
        m_text.append(plain);
    }
    // Rows equal in weight and path keep their order: the row breaks the
    // tie, so the sort needs no room of its own.
    std::sort(keys.begin(), keys.end(), [this](const Key &a, const Key &b) {
        if (a.weight != b.weight)
            return a.weight > b.weight;
        const int c = foldCompare(pathBytes(a.row), pathBytes(b.row));
        return c != 0 ? c < 0 : a.row < b.row;
    });
    m_reshaping = true;
    beginResetModel();
    std::vector<SortSpan> sorted(m_rows.size());
    for (size_t at = 0; at < keys.size(); ++at)
        sorted[at] = m_rows[keys[at].row];
    keys = std::vector<Key>();
    m_rows.swap(sorted);
    m_indexValid = false;
    m_ownWeights = true;
    m_current = 0;
    endResetModel();
    m_reshaping = false;
    emit currentRowChanged(0);
    return true;
}

void SortList::replace(const QString &find, const QString &with)
{
    if (find.isEmpty())
        return;
    // Bytes hold the found text wherever the text does: rows without them
    // are not decoded.
    const QByteArray needle = platform::encodePath(find);
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (pathBytes(qsizetype(i)).indexOf(needle) < 0)
            continue;
        const QString path = textOf(pathBytes(qsizetype(i)));
        const QString replaced = QString(path).replace(find, with, Qt::CaseSensitive);
        if (replaced == path)
            continue;
        const QByteArray bytes = platform::encodePath(replaced);
        m_unused += m_rows[i].pathBytes;
        m_rows[i].pathAt = m_text.size();
        m_rows[i].pathBytes = quint32(bytes.size());
        m_text.append(bytes);
        m_ownWeights = false;
    }
    m_indexValid = false;
    tidy();
    emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, 0));
}

bool SortList::stepWeight(bool up, qint32 step)
{
    const auto v64 = toInt64(weightBytesOf(pathBytes(m_current)));
    if (!v64 || !fits32(*v64))
        return false;
    const qint64 v = *v64;
    qint64 r;
    if (up)
        r = v > kMax32 - step ? kMax32 : v + step;
    else
        r = v < step - kMax32 ? -kMax32 : v - step;
    setWeight(firstRowOf(pathBytes(m_current)), QString::number(r));
    return true;
}

bool SortList::negateWeight()
{
    const auto v = toInt64(weightBytesOf(pathBytes(m_current)));
    if (!v || !fits32(*v) || *v == kMin32)
        return false;
    setWeight(firstRowOf(pathBytes(m_current)), QString::number(-*v));
    return true;
}

// --- the model -----------------------------------------------------------------

int SortList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SortList::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 2; }

QVariant SortList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: return shown(index.column() == 0 ? pathBytes(row) : weightBytes(row));
    case Qt::ToolTipRole:
        return hasValidWeight(pathBytes(row), weightBytes(row)) ? QVariant() : QVariant(noValidWeightTip());
    case NoValidWeightRole: return !hasValidWeight(pathBytes(row), weightBytes(row));
    default: return {};
    }
}

bool SortList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const int row = index.row();
    const QString text = value.toString();
    // An edit that leaves the shown text as it was keeps the stored bytes.
    if (index.column() == 0) {
        if (text != shown(pathBytes(row)))
            setPath(row, text);
    } else if (text != shown(weightBytes(row))) {
        setWeight(row, text);
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

} // namespace tree
