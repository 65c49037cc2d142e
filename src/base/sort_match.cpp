#include "base/sort_match.h"

#include <algorithm>
#include <fnmatch.h>

namespace base {

namespace {
enum class Kind { Spelled, Pattern, Never };

// More spellings than this and a name is tried as a pattern.
constexpr size_t kMostSpellings = 16;

// A byte a bracket may hold and still be one of its bytes whatever the
// locale: no range, negation, class, quote or slash, plain ASCII.
bool plainInBracket(char c)
{
    return c >= 0x20 && c < 0x7F && c != ']' && c != '[' && c != '\\' && c != '-' && c != '/' && c != '!' &&
           c != '^';
}

// The paths a name matches, when they are few: a backslash quotes the
// next byte, and a bracket of plain bytes ("[01]") stands for one of them.
// A *, a ?, any other bracket or too many spellings make it a pattern
// fnmatch must try; a lone backslash at the end matches nothing.
Kind spellingsOf(std::string_view name, std::vector<std::string> *out)
{
    out->assign(1, std::string());
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '*' || c == '?')
            return Kind::Pattern;
        if (c == '\\') {
            if (++i == name.size())
                return Kind::Never;
            for (std::string &s : *out)
                s += name[i];
            continue;
        }
        if (c == '[') {
            std::string set;
            size_t j = i + 1;
            for (; j < name.size() && plainInBracket(name[j]); ++j)
                if (set.find(name[j]) == std::string::npos)
                    set += name[j];
            if (set.empty() || j == name.size() || name[j] != ']' || out->size() * set.size() > kMostSpellings)
                return Kind::Pattern;
            std::vector<std::string> grown;
            grown.reserve(out->size() * set.size());
            for (const std::string &s : *out)
                for (char b : set)
                    grown.push_back(s + b);
            out->swap(grown);
            i = j;
            continue;
        }
        for (std::string &s : *out)
            s += c;
    }
    return Kind::Spelled;
}

bool matches(const std::string &pattern, const std::string &path)
{
    // As genisoimage asks: anything but "no match" is a match.
    return ::fnmatch(pattern.c_str(), path.c_str(), FNM_PATHNAME) != FNM_NOMATCH;
}

// The part of `path` from `from` to the next slash.
std::string_view componentAt(const std::string &path, size_t from)
{
    const size_t slash = path.find('/', from);
    return std::string_view(path).substr(from, (slash == std::string::npos ? path.size() : slash) - from);
}
} // namespace

bool spelledName(std::string_view name, std::string *spelled)
{
    std::vector<std::string> all;
    if (spellingsOf(name, &all) != Kind::Spelled || all.size() != 1)
        return false;
    *spelled = std::move(all.front());
    return true;
}

SortMatcher::SortMatcher(const std::vector<std::string> &names)
{
    std::vector<std::string> spelled;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string &name = names[i];
        switch (spellingsOf(name, &spelled)) {
        case Kind::Never: break;
        case Kind::Spelled:
            for (std::string &s : spelled) {
                const int32_t entry = int32_t(m_spelled.size());
                auto [it, added] = m_exact.try_emplace(std::move(s), entry);
                m_spelled.push_back({uint32_t(i), added ? -1 : it->second});
                it->second = entry;
            }
            break;
        case Kind::Pattern: {
            // The literal beginning: up to the first byte fnmatch treats
            // specially; a match starts with it.
            const size_t special = name.find_first_of("*?[\\");
            const std::string_view lead = std::string_view(name).substr(0, special);
            const size_t slash = lead.rfind('/');
            const size_t split = slash == std::string_view::npos ? 0 : slash + 1;
            Folder &f = m_folders[std::string(lead.substr(0, split))];
            const std::string head(lead.substr(split));
            const auto at = std::lower_bound(f.headLengths.begin(), f.headLengths.end(), head.size());
            if (at == f.headLengths.end() || *at != head.size())
                f.headLengths.insert(at, head.size());
            // The literal end: what follows the last special byte, which a
            // match ends with. Brackets are left to fnmatch.
            Head &h = f.byHead[head];
            const uint32_t number = uint32_t(m_patterns.size());
            const size_t last = name.find_last_of("*?[]\\");
            if (name.find('[') == std::string::npos && last + 1 < name.size())
                h.byEnd.add(name.substr(last + 1), number);
            else
                h.anyEnd.push_back(number);
            m_patterns.push_back({name, uint32_t(i)});
            break;
        }
        }
    }
}

void SortMatcher::Pieces::add(const std::string &piece, uint32_t pattern)
{
    byPiece[piece].push_back(pattern);
    const auto at = std::lower_bound(lengths.begin(), lengths.end(), piece.size());
    if (at == lengths.end() || *at != piece.size())
        lengths.insert(at, piece.size());
}

template <class F>
void SortMatcher::candidates(const std::string &path, F &&fn) const
{
    if (m_patterns.empty())
        return;
    auto inFolder = [&](std::string_view folder, size_t from) {
        const auto f = m_folders.find(folder);
        if (f == m_folders.end())
            return;
        const std::string_view next = componentAt(path, from);
        for (size_t len : f->second.headLengths) {
            if (len > next.size())
                break;
            const auto h = f->second.byHead.find(next.substr(0, len));
            if (h == f->second.byHead.end())
                continue;
            if (!h->second.anyEnd.empty())
                fn(h->second.anyEnd);
            const Pieces &ends = h->second.byEnd;
            for (size_t end : ends.lengths) {
                if (end > path.size() - from - len)
                    break;
                const auto e = ends.byPiece.find(std::string_view(path).substr(path.size() - end));
                if (e != ends.byPiece.end())
                    fn(e->second);
            }
        }
    };
    inFolder(std::string_view(), 0);
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        inFolder(std::string_view(path).substr(0, slash + 1), slash + 1);
}

long SortMatcher::lastMatch(const std::string &path) const
{
    long best = -1;
    const auto e = m_exact.find(std::string_view(path));
    if (e != m_exact.end())
        best = long(m_spelled[size_t(e->second)].index);
    candidates(path, [&](const std::vector<uint32_t> &list) {
        for (auto p = list.rbegin(); p != list.rend() && long(m_patterns[*p].index) > best; ++p)
            if (matches(m_patterns[*p].text, path)) {
                best = long(m_patterns[*p].index);
                break;
            }
    });
    return best;
}

void SortMatcher::allMatches(const std::string &path, std::vector<uint32_t> *out) const
{
    const auto e = m_exact.find(std::string_view(path));
    if (e != m_exact.end())
        for (int32_t k = e->second; k >= 0; k = m_spelled[size_t(k)].before)
            out->push_back(m_spelled[size_t(k)].index);
    candidates(path, [&](const std::vector<uint32_t> &list) {
        for (uint32_t p : list)
            if (matches(m_patterns[p].text, path))
                out->push_back(m_patterns[p].index);
    });
}

} // namespace base
