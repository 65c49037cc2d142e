#pragma once
// Which names of a sort file match a path, as genisoimage decides it: it
// tries fnmatch(name, path, FNM_PATHNAME) with every line, the last line
// first. Only an unescaped *, ? or [ makes a name a pattern; a backslash
// quotes the next byte (and a lone one at the end matches nothing), so any
// other name matches exactly the one path it spells, and a name whose
// brackets hold only plain bytes ("Track [01].mp3") one of the few paths
// it spells. Those go in a hash; a pattern is tried only on paths that
// begin with its literal beginning and end with its literal end.
// Plain C++, as the sort line reader.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace base {

// True when `name` matches one path only (no unescaped *, ? or [, no lone
// backslash at the end); *spelled receives that path.
bool spelledName(std::string_view name, std::string *spelled);

class SortMatcher
{
public:
    // `names` in file order; their index is what the queries return.
    explicit SortMatcher(const std::vector<std::string> &names);

    // The index of the last name matching `path`, or -1.
    long lastMatch(const std::string &path) const;
    // Every index whose name matches `path`, in no particular order.
    void allMatches(const std::string &path, std::vector<uint32_t> *out) const;

    size_t patternCount() const { return m_patterns.size(); }

private:
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    template <class V>
    using Map = std::unordered_map<std::string, V, Hash, std::equal_to<>>;

    // Pattern numbers (ascending) by a literal piece a match must hold,
    // with the lengths of those pieces (distinct, ascending).
    struct Pieces
    {
        Map<std::vector<uint32_t>> byPiece;
        std::vector<size_t> lengths;
        void add(const std::string &piece, uint32_t pattern);
    };
    // Patterns that share one literal beginning: by their literal end
    // (what follows their last special byte), or without one.
    struct Head
    {
        std::vector<uint32_t> anyEnd;
        Pieces byEnd;
    };
    // Patterns that share the folders their literal beginning names, by
    // the rest of that beginning (no slash in it).
    struct Folder
    {
        Map<Head> byHead;
        std::vector<size_t> headLengths; // distinct, ascending
    };
    struct Pattern
    {
        std::string text;
        uint32_t index;
    };
    // Calls fn(patterns) for every pattern whose literal beginning `path`
    // starts with and whose literal end it ends with; a list at a time,
    // each ascending.
    template <class F>
    void candidates(const std::string &path, F &&fn) const;

    // A spelled path's names, last first: m_exact gives the entry of the
    // last, each entry the one before it.
    struct Spelling
    {
        uint32_t index;
        int32_t before;
    };
    Map<int32_t> m_exact;
    std::vector<Spelling> m_spelled;
    std::vector<Pattern> m_patterns;
    Map<Folder> m_folders;           // literal folders, "/"-terminated ("" for none)
};

} // namespace base
