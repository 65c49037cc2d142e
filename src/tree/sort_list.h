#pragma once
// The sort list: ordered rows of a path and a weight, as the Layout
// Sorter's grid shows them and its sort file stores them. The rows keep
// the bytes they were read or typed with (platform::encodePath of the
// text); a million rows take little more than the file they came from.
#include <QAbstractTableModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

namespace tree {

struct SortRow
{
    QString path;
    QString weight;
    bool isBlank() const { return path.isEmpty() && weight.isEmpty(); }
    bool operator==(const SortRow &) const = default;
};

// Where a row's path and weight lie in a block of bytes.
struct SortSpan
{
    qint64 pathAt = 0;
    qint64 weightAt = 0;
    quint32 pathBytes = 0;
    quint32 weightBytes = 0;
    bool isBlank() const { return pathBytes == 0 && weightBytes == 0; }
};

// Rows read from a sort file: spans into its bytes.
struct SortSpans
{
    QByteArray text;
    std::vector<SortSpan> rows;
};

// Integers as weights and numbering fields hold them: optional leading
// blanks, an optional sign, decimal digits, nothing after them.
std::optional<qint32> toInt32(const QString &text);
std::optional<qint64> toInt64(const QString &text);
std::optional<qint64> toInt64(QByteArrayView text);
// "'TEXT' is not a valid integer value".
QString conversionErrorText(const QString &text);
// The same, naming the row (counted from 1) that holds the text.
QString rowErrorText(const QString &text, int row);
// The tooltip of a row without a valid weight.
QString noValidWeightTip();

// The rows shown in a two-column grid (path, weight). There is always at
// least one row; a list without entries holds one blank row. Every row
// operation works with the current row.
//
// Path lookup: operations that read or change a weight do so through the
// first row holding the same path, found through a hash from path to that
// row. Paths compare exactly (file names are case-sensitive).
class SortList : public QAbstractTableModel
{
    Q_OBJECT
public:
    // True for a row whose weight is missing or not an integer.
    static constexpr int NoValidWeightRole = Qt::UserRole + 1;

    explicit SortList(QObject *parent = nullptr);

    // --- rows --------------------------------------------------------------
    qsizetype size() const { return qsizetype(m_rows.size()); }
    SortRow at(qsizetype row) const;
    // Every row, as text (a copy: for small lists and tests).
    QList<SortRow> rows() const;
    QByteArrayView pathBytes(qsizetype row) const { return view(m_rows[size_t(row)].pathAt, m_rows[size_t(row)].pathBytes); }
    QByteArrayView weightBytes(qsizetype row) const
    {
        return view(m_rows[size_t(row)].weightAt, m_rows[size_t(row)].weightBytes);
    }
    bool isBlankRow(qsizetype row) const { return m_rows[size_t(row)].isBlank(); }
    // True while the list holds no entries (a single blank row).
    bool isEmptyList() const { return m_rows.size() == 1 && m_rows.front().isBlank(); }
    // What the rows hold: their bytes, the row table and the path index.
    qint64 heldBytes() const;

    int currentRow() const { return m_current; }
    // True while rows are being inserted, removed, moved or reset: a view
    // that follows the current row waits for currentRowChanged.
    bool isReshaping() const { return m_reshaping; }
    // Moves the current row; a blank row that is left is removed unless it
    // is the only row. Returns the new current row (it shifts up by one
    // when a blank row above it went).
    int setCurrentRow(int row);

    // The weight of the first row holding `path`, or empty.
    QString weightOf(const QString &path) const;
    QByteArrayView weightBytesOf(QByteArrayView path) const;
    // Index of the first row holding `path`, or -1.
    int firstRowOf(const QString &path) const;
    int firstRowOf(QByteArrayView path) const;
    // The current row's weight by path lookup.
    QString currentWeight() const;
    // Row `row`'s weight by path lookup.
    QByteArrayView weightByLookup(qsizetype row) const
    {
        return m_ownWeights ? weightBytes(row) : weightBytesOf(pathBytes(row));
    }

    // Insert rule: into the current row if it is blank, else after the last
    // row; the current row stays where it is.
    void insertEntry(const QString &path, const QString &weight);
    void insertEntries(const QList<SortRow> &entries);
    void insertSpans(SortSpans spans);

    // In-place editing, as the grid does it.
    void setPath(int row, const QString &path);
    void setWeight(int row, const QString &weight);
    void insertBlankRow(int at);
    void removeRowAt(int row);
    // Moves `count` rows starting at `from` so that they sit before `to`
    // (an index of the list before the move); the current row goes along.
    bool moveRowsTo(int from, int count, int to);
    // Escape outside an edit: a blank current row that is not the only row
    // goes.
    void dropBlankCurrentRow();

    // --- the window's operations --------------------------------------------
    // Deletes the current row; the first row is emptied instead of removed.
    void deleteRow();
    // Removes every entry: one blank row remains.
    void clear();
    // Sorts by weight, highest first, equal weights by path without regard
    // to case (each character case-folded), equal paths in list order.
    // Paths stay as they are, byte for byte; weights come back in plain
    // decimal form. Returns false when the current row's weight is not an
    // integer (nothing happens). On a weight that is not an integer,
    // *error receives the conversion error with its row and the list stays
    // unchanged.
    bool sort(QString *error);
    // Replaces `find` by `with` in every path (case-sensitive).
    void replace(const QString &find, const QString &with);
    // Up/down arrow with `step` (> 0): false when the current row's weight
    // is not an integer. Results stay within -2147483647..2147483647.
    bool stepWeight(bool up, qint32 step);
    // Negates the current row's weight; -2147483648 stays as it is.
    bool negateWeight();

    // --- QAbstractTableModel ------------------------------------------------
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override;
    bool moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                  const QModelIndex &destinationParent, int destinationChild) override;

signals:
    // The current row moved, by the list's own doing or by setCurrentRow.
    void currentRowChanged(int row);

private:
    QByteArrayView view(qint64 at, quint32 n) const { return QByteArrayView(m_text.constData() + at, n); }
    void setSpan(int row, const SortSpan &span, bool pathChanged);
    void resetRows(std::vector<SortSpan> rows);
    void appendRows(const std::vector<SortSpan> &rows, qsizetype from);
    // Drops the bytes no row uses once they are many.
    void tidy();
    void changed(int row, int column);

    // Path index: open addressing over row numbers, first row per path,
    // each with bits of its path's hash so that probes seldom read a path.
    struct Slot
    {
        qint32 row = -1;
        quint32 tag = 0;
    };
    void ensureIndex() const;
    // fn(row, first row of its path) for every row, building the index on the way.
    template <class F>
    bool forEachFirstRow(F &&fn) const;
    // The slot holding `path`'s first row, or the empty one where it goes.
    Slot &slotOf(QByteArrayView path) const { return slotOf(path, hashOf(path)); }
    Slot &slotOf(QByteArrayView path, quint64 hash) const;
    size_t homeOf(quint64 hash) const { return size_t((quint64(quint32(hash >> 32)) * m_slots.size()) >> 32); }
    static quint64 hashOf(QByteArrayView path);
    void indexAdd(int row) const;

    QByteArray m_text;             // the bytes of every row, and some no row uses any more
    qint64 m_unused = 0;           // of those
    std::vector<SortSpan> m_rows{SortSpan{}};
    int m_current = 0;
    mutable std::vector<Slot> m_slots;
    mutable qsizetype m_indexed = 0;
    mutable bool m_indexValid = false;
    // Every row holds the weight its path looks up (so after Sort): no
    // lookup needed.
    bool m_ownWeights = true;
    bool m_reshaping = false;
};

} // namespace tree
