#pragma once
// The sort list: ordered rows of a path and a weight, as the sort file that
// steers the order of files inside an image stores them.
#include <QAbstractTableModel>
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tree {

struct SortRow
{
    QString path;
    QString weight;
    bool isBlank() const { return path.isEmpty() && weight.isEmpty(); }
    bool operator==(const SortRow &) const = default;
};

// Integers as weights and numbering fields hold them: optional leading
// blanks, an optional sign, decimal digits, nothing after them.
std::optional<qint32> toInt32(const QString &text);
std::optional<qint64> toInt64(const QString &text);
// "'TEXT' is not a valid integer value".
QString conversionErrorText(const QString &text);
// The same, naming the row (counted from 1) that holds the text.
QString rowErrorText(const QString &text, int row);

// Rows of a read sort file whose weight is missing or not an integer
// (blank rows aside): how many, and the line (from 1) of the first.
struct WeightCheck
{
    int count = 0;
    int firstLine = 0;
};
WeightCheck checkWeights(const QList<SortRow> &rows);
// "N lines have no valid weight (first: line L)".
QString noValidWeightText(const WeightCheck &c);
// The tooltip of a row without a valid weight.
QString noValidWeightTip();

// Sort files and batch files are refused above this size, with
// memoCapacityText(): "Text exceeds memo capacity".
constexpr qint64 kSortFileLimit = qint64(64) << 20;
// ... and so are sort files of more lines than this.
constexpr qsizetype kSortFileLines = qsizetype(1) << 20;
QString memoCapacityText();

// The arrow step list: 1, 10, ... 100000000.
QStringList arrowSteps();

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
    qsizetype size() const { return m_rows.size(); }
    const SortRow &at(qsizetype row) const { return m_rows.at(row); }
    const QList<SortRow> &rows() const { return m_rows; }
    // True while the list holds no entries (a single blank row).
    bool isEmptyList() const { return m_rows.size() == 1 && m_rows.first().isBlank(); }

    int currentRow() const { return m_current; }
    // True while rows are being inserted, removed, moved or reset: a view
    // that follows the current row waits for currentRowChanged.
    bool isReshaping() const { return m_reshaping; }
    // Moves the current row; a blank row that is left is removed unless it
    // is the only row. Returns the new current row (it shifts up by one
    // when a blank row above it went).
    int setCurrentRow(int row);

    // The weight text of the first row holding `path`, or empty.
    QString weightOf(const QString &path) const;
    // Index of the first row holding `path`, or -1.
    int firstRowOf(const QString &path) const;
    // The current row's weight by path lookup.
    QString currentWeight() const { return weightOf(m_rows.at(m_current).path); }

    // Insert rule: into the current row if it is blank, else after the last
    // row; the current row stays where it is.
    void insertEntry(const QString &path, const QString &weight);
    void insertEntries(const QList<SortRow> &entries);

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
    // to case. Returns false when the current row's weight is not an
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

    // --- the sort file ------------------------------------------------------
    // One line per row: path, a blank, the weight by path lookup, CR LF.
    // With a non-empty `base` (slash form, "/"-terminated) a leading base is
    // removed from each path. Paths and weights keep the bytes they were
    // read with (platform::encodePath); new text is UTF-8.
    QByteArray fileText(const QString &base = QString()) const;
    // Splits a sort file into (path, weight) pairs, one per line: lines end
    // at CR LF, LF or CR; each line is decoded as platform::decodePath does
    // (bytes that are not UTF-8 are kept, the grid shows them as
    // Windows-1252); only its first
    // 4096 characters count; tabs become blanks; the weight follows the
    // last blank (a line without one is path and weight at once); an empty
    // line, or one holding a single blank, is a blank row. With
    // `slashPaths`, backslashes become slashes (on Windows) before the split.
    static QList<SortRow> parseFileText(const QByteArray &text, bool slashPaths);

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
    void resetRows(QList<SortRow> rows);
    void changed(int row, int column);
    void indexAppended(int row);
    void ensureIndex() const;

    QList<SortRow> m_rows{SortRow{}};
    int m_current = 0;
    // First row of every path; rebuilt lazily after rows moved or went.
    mutable QHash<QString, int> m_first;
    mutable bool m_indexValid = false;
    bool m_reshaping = false;
};

// The numbering fields of Add to list: "Weight for next file" and "step".
struct Numbering
{
    QString nextWeight;
    QString step;
};

// Add to list: the selected files (in their order) with weights counted up
// from the numbering fields, or, with no file selected, `folder` itself.
// Paths go in as slash form. On a conversion error (a field or the last
// row's weight that is not an integer, or a weight that would leave the
// 32-bit range) nothing is added and the error text is returned.
std::optional<QString> addToList(SortList &list, const QStringList &selectedFiles,
                                 const QString &folder, Numbering &fields);

// Next-weight update: when the current row's weight is an integer v,
// fields.nextWeight becomes v plus the step (the integer in fields.step, or
// 1). Returns the conversion error when the sum leaves the 32-bit range.
std::optional<QString> updateNextWeight(const SortList &list, Numbering &fields);

// The base folder of Import and Export: `folder` with a "/" appended unless
// it already ends in one ("" gives "/").
QString baseFolder(const QString &folder);
// Import: every entry's path joined to `base` (baseFolder form), in slash
// form; blank rows stay blank.
QList<SortRow> joinedTo(const QString &base, QList<SortRow> entries);
// Export's base: empty for an empty field, else baseFolder(slashForm).
QString exportBase(const QString &folder);

// Reads a sort file into pairs (see SortList::parseFileText); false with
// the "Cannot open file" text in *error, or memoCapacityText() for a file
// over kSortFileLimit bytes or kSortFileLines lines. Only a regular file is
// read.
bool readSortFile(const QString &path, bool slashPaths, QList<SortRow> *rows, QString *error);
// Writes the list's file text (SortList::fileText) through a temporary file
// and a rename; false with the "Cannot create file" text in *error.
bool writeSortFile(const QString &path, const SortList &list, const QString &base, QString *error);

} // namespace tree
