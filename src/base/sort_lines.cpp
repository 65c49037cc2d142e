#include "base/sort_lines.h"

#include <climits>
#include <cstring>

namespace base {

namespace {

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// atoi() as glibc does it: strtol (clamped to 64 bits), then cut to int.
void readWeight(std::string_view w, SortLine &out)
{
    size_t i = 0;
    while (i < w.size() && isCSpace(w[i]))
        ++i;
    bool negative = false;
    if (i < w.size() && (w[i] == '-' || w[i] == '+'))
        negative = w[i++] == '-';
    const size_t digits = i;
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < w.size() && w[i] >= '0' && w[i] <= '9'; ++i) {
        const unsigned d = unsigned(w[i] - '0');
        if (magnitude > (uint64_t(LLONG_MAX) + 1 - d) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + d;
    }
    size_t rest = i;
    while (rest < w.size() && isCSpace(w[rest]))
        ++rest;
    int64_t value;
    if (i == digits)
        value = 0;
    else if (negative)
        value = overflow ? LLONG_MIN : int64_t(0 - magnitude);
    else
        value = overflow || magnitude > uint64_t(LLONG_MAX) ? LLONG_MAX : int64_t(magnitude);
    int32_t cut = int32_t(uint32_t(uint64_t(value)));
    if (cut == INT32_MIN) // genisoimage keeps the lowest value for itself
        ++cut;
    out.weight = cut;
    if (i == digits || rest != w.size())
        out.note = SortLine::NotNumber;
    else if (value < INT32_MIN || value > INT32_MAX)
        out.note = SortLine::Wrapped;
}

// The weight as the message shows it: without the line's end.
std::string_view shownWeight(std::string_view w)
{
    while (!w.empty() && (w.back() == '\n' || w.back() == '\r'))
        w.remove_suffix(1);
    return w;
}

const char kStops[] = ": genisoimage stops there (\"Incorrect sort file format\")";

} // namespace

void forEachSortLine(std::string_view text, const std::function<void(const SortLine &)> &fn)
{
    int line = 1;
    bool continued = false; // this piece goes on a line longer than one piece
    for (size_t pos = 0; pos < text.size();) {
        const size_t room = std::min(kSortPieceBytes, text.size() - pos);
        const void *nl = std::memchr(text.data() + pos, '\n', room);
        const size_t end = nl ? size_t(static_cast<const char *>(nl) - text.data()) + 1 : pos + room;
        std::string_view piece = text.substr(pos, end - pos);
        pos = end;
        const bool nul = piece.find('\0') != std::string_view::npos;
        const std::string_view str = piece.substr(0, piece.find('\0'));
        SortLine l;
        l.line = line;
        const size_t blank = str.find_last_of(" \t");
        if (blank == std::string_view::npos) {
            std::string_view bare = str;
            while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
                bare.remove_suffix(1);
            l.verdict = continued ? SortLine::LongPiece
                        : nul     ? SortLine::NulByte
                        : bare.empty() ? SortLine::Empty
                                       : SortLine::NoBlank;
        } else {
            l.name = str.substr(0, blank);
            l.weightText = shownWeight(str.substr(blank + 1));
            readWeight(str.substr(blank + 1), l);
            // An empty name (a line of a blank, as a blank row is saved)
            // matches nothing: its weight is no matter.
            if (l.name.empty())
                l.note = SortLine::Clean;
        }
        fn(l);
        continued = !nl;
        if (nl)
            ++line;
    }
}

std::string sortLineMessage(const SortLine &l)
{
    const std::string at = "line " + std::to_string(l.line);
    switch (l.verdict) {
    case SortLine::Empty: return at + " is empty" + kStops;
    case SortLine::NoBlank: return at + " has no blank or tab before a weight" + kStops;
    case SortLine::NulByte: return at + " holds a NUL byte, and no blank or tab before it" + kStops;
    case SortLine::LongPiece:
        return at + " is longer than " + std::to_string(kSortPieceBytes) +
               " bytes: genisoimage reads the rest as another line, without a blank or tab, and stops there "
               "(\"Incorrect sort file format\")";
    case SortLine::Entry: break;
    }
    switch (l.note) {
    case SortLine::Wrapped:
        return at + ": weight " + std::string(l.weightText) + " does not fit 32 bits: genisoimage takes " +
               std::to_string(l.weight);
    case SortLine::NotNumber:
        return at + ": weight '" + std::string(l.weightText) + "' is not a whole number: genisoimage takes " +
               std::to_string(l.weight);
    case SortLine::Clean: break;
    }
    return std::string();
}

SortLines readSortLines(std::string_view text)
{
    SortLines out;
    int last = 0;
    forEachSortLine(text, [&](const SortLine &l) {
        last = l.line;
        if (l.refused() && out.stopLine == 0)
            out.stopLine = l.line;
        // What genisoimage never reads has no weight worth a word.
        if (l.refused() || (out.stopLine == 0 && l.note != SortLine::Clean))
            out.messages.push_back(sortLineMessage(l));
        if (l.refused())
            return;
        if (out.stopLine != 0)
            return;
        out.names.emplace_back(l.name);
        out.weights.push_back(l.weight);
        out.lineNumbers.push_back(l.line);
    });
    if (out.stopLine != 0)
        out.linesAfterStop = last - out.stopLine;
    return out;
}

std::string sortStopMessage(const SortLines &lines)
{
    if (lines.stopLine == 0)
        return std::string();
    const std::string at = "genisoimage stops at line " + std::to_string(lines.stopLine);
    if (lines.linesAfterStop == 0)
        return at;
    if (lines.linesAfterStop == 1)
        return at + ": the line below it takes no part";
    return at + ": the " + std::to_string(lines.linesAfterStop) + " lines below it take no part";
}

} // namespace base
