#pragma once
// A sort file read as genisoimage reads it for -sort. One reader for every
// place that judges a sort file (the Layout Sorter's messages, Check,
// spindle-cli order), so that their verdicts agree with the tool's.
// Plain C++: the order reader's fuzz target builds it without Qt.
//
// genisoimage's rules, from its source and its runs:
//  - it reads the file with fgets into 4096 bytes: a piece ends after a
//    line feed or after 4095 bytes, so a longer line is read as several
//    pieces, each judged as a line of its own;
//  - a piece ends at its first NUL byte;
//  - the name is everything before the piece's last blank or tab (blanks
//    and tabs inside and at the end of the name are kept), the weight is
//    atoi() of the rest: leading digits, cut to 32 bits; -2147483648
//    becomes -2147483647;
//  - a piece without a blank or tab (an empty line included, and "\r\n")
//    stops genisoimage: "Incorrect sort file format", exit status 255;
//  - a line holding a single blank or tab is read: its empty name matches
//    nothing.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Bytes of a line genisoimage takes at once.
constexpr size_t kSortPieceBytes = 4095;
// Spindle reads no sort file larger than this: far beyond any real list.
constexpr long long kSortFileLimit = 64LL << 20;

struct SortLine
{
    enum Verdict : uint8_t {
        Entry,      // a name and a weight
        Empty,      // refused: an empty line
        NoBlank,    // refused: no blank or tab before a weight
        NulByte,    // refused: no blank or tab before a NUL byte
        LongPiece,  // refused: the rest of a line longer than one piece, without a blank or tab
    };
    enum Note : uint8_t {
        Clean,
        Wrapped,   // a whole number outside 32 bits: genisoimage keeps it cut
        NotNumber, // no digits, or more than digits: genisoimage reads the leading digits
    };
    int line = 0; // of the file, from 1; the pieces of a long line share it
    Verdict verdict = Entry;
    Note note = Clean;
    std::string_view name;   // Entry: the bytes before the last blank or tab
    std::string_view weightText; // Entry: the bytes after it, line end left out
    int32_t weight = 0;      // Entry: the weight genisoimage gives

    bool refused() const { return verdict != Entry; }
};

// Calls fn for every line (every piece) of `text` in order, refused ones
// included; the views point into `text`.
void forEachSortLine(std::string_view text, const std::function<void(const SortLine &)> &fn);

// The sentence for a refused or noted line, such as
// `line 3 is empty: genisoimage stops there ("Incorrect sort file format")`;
// empty for a clean entry. Bytes of a weight that is not a number are kept.
std::string sortLineMessage(const SortLine &line);

// The whole file: what genisoimage uses and what it says.
struct SortLines
{
    std::vector<std::string> names;      // entries genisoimage reads before it stops
    std::vector<int32_t> weights;        // parallel to names
    std::vector<int> lineNumbers;        // parallel to names
    std::vector<std::string> messages;   // every refused or noted line, in order
    int stopLine = 0;                    // the first refused line; 0: none
    int linesAfterStop = 0;              // lines below it, which genisoimage never reads
};
SortLines readSortLines(std::string_view text);

// `genisoimage stops at line N: the K lines below it take no part`, or
// empty when it reads the whole file.
std::string sortStopMessage(const SortLines &lines);

} // namespace base
