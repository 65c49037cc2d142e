#include "base/sort_match.h"

#include <algorithm>
#include <fnmatch.h>

namespace base {

namespace {
enum class Kind { Literal, Pattern, Never };

// What fnmatch makes of a name; a literal one unquoted into *spelled.
Kind kindOf(std::string_view name, std::string *spelled)
{
    spelled->clear();
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if (c == '*' || c == '?' || c == '[')
            return Kind::Pattern;
        if (c == '\\') {
            if (++i == name.size())
                return Kind::Never;
            *spelled += name[i];
            continue;
        }
        *spelled += c;
    }
    return Kind::Literal;
}

// The part of `path` from `from` to the next slash.
std::string_view componentAt(const std::string &path, size_t from)
{
    const size_t slash = path.find('/', from);
    return std::string_view(path).substr(from, (slash == std::string::npos ? path.size() : slash) - from);
}
} // namespace

bool spelledName(std::string_view name, std::string *spelled) { return kindOf(name, spelled) == Kind::Literal; }

SortMatcher::SortMatcher(const std::vector<std::string> &names) : m_sameBefore(names.size(), -1)
{
    std::string spelled;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string &name = names[i];
        switch (kindOf(name, &spelled)) {
        case Kind::Never: break;
        case Kind::Literal: {
            auto [it, added] = m_exact.try_emplace(spelled, uint32_t(i));
            if (!added) {
                m_sameBefore[i] = int32_t(it->second);
                it->second = uint32_t(i);
            }
            break;
        }
        case Kind::Pattern: {
            // The literal beginning: up to the first byte fnmatch treats
            // specially; a match starts with it.
            const size_t special = name.find_first_of("*?[\\");
            const std::string_view lead = std::string_view(name).substr(0, special);
            const size_t slash = lead.rfind('/');
            const size_t split = slash == std::string_view::npos ? 0 : slash + 1;
            Folder &f = m_folders[std::string(lead.substr(0, split))];
            const std::string head(lead.substr(split));
            f.byHead[head].push_back(uint32_t(m_patterns.size()));
            const auto at = std::lower_bound(f.headLengths.begin(), f.headLengths.end(), head.size());
            if (at == f.headLengths.end() || *at != head.size())
                f.headLengths.insert(at, head.size());
            m_patterns.push_back({name, uint32_t(i)});
            break;
        }
        }
    }
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
            if (h != f->second.byHead.end())
                fn(h->second);
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
        best = long(e->second);
    candidates(path, [&](const std::vector<uint32_t> &list) {
        for (auto p = list.rbegin(); p != list.rend() && long(m_patterns[*p].index) > best; ++p)
            if (::fnmatch(m_patterns[*p].text.c_str(), path.c_str(), FNM_PATHNAME) == 0) {
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
        for (int64_t i = e->second; i >= 0; i = m_sameBefore[size_t(i)])
            out->push_back(uint32_t(i));
    candidates(path, [&](const std::vector<uint32_t> &list) {
        for (uint32_t p : list)
            if (::fnmatch(m_patterns[p].text.c_str(), path.c_str(), FNM_PATHNAME) == 0)
                out->push_back(m_patterns[p].index);
    });
}

} // namespace base
