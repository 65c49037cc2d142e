#pragma once
// The Layout Sorter's sort file: its own reading and writing rules for the
// grid, the bounds of what it reads, and what genisoimage will say of a
// file (base/sort_lines.h, the reader every judge of a sort file shares).
#include "base/sort_lines.h"
#include "tree/sort_list.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tree {

// Sort files are refused above this size, with memoCapacityText():
// "Text exceeds memo capacity" ...
constexpr qint64 kSortFileLimit = base::kSortFileLimit;
// ... and so are sort files of more lines than this.
constexpr qsizetype kSortFileLines = qsizetype(1) << 20;
QString memoCapacityText();

// Splits a sort file into (path, weight) rows, one per line, keeping the
// file's bytes: lines end at CR LF, LF or CR; only the first 4096
// characters of a line count (a byte that is not UTF-8 is one character);
// the weight follows the last blank or tab, the path is what precedes it
// (tabs and blanks in it kept: turned into something else it would name
// another file); a line without one is path and weight at once; an empty
// line, or one holding a single blank or tab, is a blank row. With
// `slashPaths`, backslashes become slashes (on Windows) before the split.
SortSpans parseFileText(QByteArray text, bool slashPaths);
// The rows as text (tests, small lists).
QList<SortRow> textRows(const SortSpans &spans);

// One line per row: path, a blank, the weight by path lookup, CR LF. With
// a non-empty `base` (slash form, "/"-terminated) a leading base is removed
// from each path. Paths and weights keep their bytes.
QByteArray fileText(const SortList &list, const QString &base = QString());

// Rows of a read file whose weight is missing or not an integer (blank
// rows aside): how many, and the line (from 1) of the first.
struct WeightCheck
{
    int count = 0;
    int firstLine = 0;
};
WeightCheck checkWeights(const SortSpans &rows);
// "N lines have no valid weight (first: line L)".
QString noValidWeightText(const WeightCheck &c);

// What genisoimage says of a sort file's bytes, one sentence a line, as
// Check and spindle-cli order say it: the lines it refuses, the weights it
// changes, where it stops. Empty when it takes the file as it is.
QStringList genisoimageVerdict(const QByteArray &text);

// The base folder of Import and Export: `folder` with a "/" appended unless
// it already ends in one ("" gives "/").
QString baseFolder(const QString &folder);
// Import: every entry's path joined to `base` (baseFolder form), in slash
// form; blank rows stay blank.
SortSpans joinedTo(const QString &base, const SortSpans &entries);
// Export's base: empty for an empty field, else baseFolder(slashForm).
QString exportBase(const QString &folder);

// Reads a sort file's bytes; false with the "Cannot open file" text in
// *error, or memoCapacityText() for a file over kSortFileLimit bytes or
// kSortFileLines lines. Only a regular file is read.
bool readSortFileBytes(const QString &path, QByteArray *text, QString *error);
// The same, split into rows (parseFileText).
bool readSortFile(const QString &path, bool slashPaths, SortSpans *rows, QString *error);
// Writes the list's file text (fileText) through a temporary file and a
// rename, a piece at a time; false with the "Cannot create file" text in
// *error.
bool writeSortFile(const QString &path, const SortList &list, const QString &base, QString *error);

} // namespace tree
