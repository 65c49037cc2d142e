#include "iso/check_sort.h"
#include "iso/check_group.h"

#include "base/sort_lines.h"
#include "base/sort_match.h"
#include "base/text_codec.h"
#include "platform/platform.h"

#include <QHash>

#include <algorithm>

namespace iso {

namespace {
using Group = CheckGroup;

QString shown(const std::string &bytes)
{
    return base::displayPath(platform::decodePath(QByteArray::fromStdString(bytes)));
}

std::string bytesOf(const QString &path)
{
    return platform::encodePath(path).toStdString();
}

// Leading folders two paths share.
int sharedFolders(const QString &a, const QString &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    int shared = 0;
    for (qsizetype i = 0; i < n && a.at(i) == b.at(i); ++i)
        if (a.at(i) == QLatin1Char('/'))
            ++shared;
    return shared;
}

// Where a moved file or folder may be now: an entry below the root of the
// same name (the one sharing most folders with the old path, then the
// shortest), else the deepest folder of the old path that still exists.
class Nearest
{
public:
    Nearest(const QString &prefix, const QSet<QString> &paths) : m_prefix(prefix), m_paths(paths)
    {
        for (const QString &p : paths)
            m_byName[p.section(QLatin1Char('/'), -1)].append(p);
    }

    QString of(const QString &path) const
    {
        const auto named = m_byName.constFind(path.section(QLatin1Char('/'), -1));
        if (named != m_byName.constEnd()) {
            QString best;
            int most = -1;
            for (const QString &c : *named) {
                const int s = sharedFolders(c, path);
                if (s > most || (s == most && (c.size() < best.size() || (c.size() == best.size() && c < best)))) {
                    best = c;
                    most = s;
                }
            }
            return best;
        }
        for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash > m_prefix.size() - 1;
             slash = path.lastIndexOf(QLatin1Char('/'), slash - 1)) {
            const QString up = path.left(slash);
            if (m_paths.contains(up))
                return up;
        }
        return QString();
    }

private:
    const QString &m_prefix;
    const QSet<QString> &m_paths;
    QHash<QString, QStringList> m_byName;
};
} // namespace

void checkSortFile(const QString &sortFile, const QString &prefix, const QSet<QString> &paths,
                   QList<CheckProblem> *problems)
{
    const platform::BoundedRead file = platform::readBounded(sortFile, base::kSortFileLimit);
    if (file.status == platform::BoundedRead::TooLarge) {
        problems->append({true, QStringLiteral("The sort file is larger than 64 MiB."), QString(), {sortFile}, 1});
        return;
    }
    if (!file.ok()) {
        problems->append({true, QStringLiteral("The sort file cannot be read: genisoimage stops."), QString(),
                          {platform::cannotOpenText(sortFile, file.reason)}, 1});
        return;
    }
    const base::SortLines lines = base::readSortLines(std::string_view(file.data.constData(), size_t(file.data.size())));
    Group refused{true,
                  QStringLiteral("Sort file lines genisoimage refuses: it stops at the first (\"Incorrect sort file "
                                 "format\")."),
                  QStringLiteral("Remove or mend the lines"), {}};
    Group noMatch{false,
                  QStringLiteral("Sort file lines that match no file or folder under the root: genisoimage ignores "
                                 "them."),
                  QString(), {}};
    Group wide{false, QStringLiteral("Sort file weights outside 32 bits: genisoimage wraps them."),
               QStringLiteral("Use weights from -2147483647 to 2147483647"), {}};
    Group notNumber{false,
                    QStringLiteral("Sort file weights that are not whole numbers: genisoimage reads their leading "
                                   "digits."),
                    QString(), {}};
    // Sorted into groups by what the reader said of each line.
    // Sorted into groups by what the reader says of each line; below the
    // first refused line only refusals count (genisoimage reads no further).
    base::forEachSortLine(std::string_view(file.data.constData(), size_t(file.data.size())),
                          [&](const base::SortLine &l) {
                              Group *g = l.refused()                                 ? &refused
                                         : lines.stopLine != 0 && l.line >= lines.stopLine ? nullptr
                                         : l.note == base::SortLine::Wrapped         ? &wide
                                         : l.note == base::SortLine::NotNumber       ? &notNumber
                                                                                     : nullptr;
                              if (g)
                                  g->add(shown(base::sortLineMessage(l)));
                          });

    // The lines that name a walked entry, matched as genisoimage matches.
    const base::SortMatcher matcher(lines.names);
    std::vector<bool> used(lines.names.size(), false);
    std::vector<uint32_t> hits;
    for (const QString &p : paths) {
        hits.clear();
        matcher.allMatches(bytesOf(p), &hits);
        for (uint32_t i : hits)
            used[i] = true;
    }
    const Nearest nearest(prefix, paths);
    std::string spelled;
    for (size_t i = 0; i < lines.names.size(); ++i) {
        if (used[i])
            continue;
        const QString where = QStringLiteral("line %1: %2: ").arg(lines.lineNumbers[i]).arg(shown(lines.names[i]));
        if (!base::spelledName(lines.names[i], &spelled)) {
            noMatch.add(where + QStringLiteral("no file or folder matches it"));
            continue;
        }
        const QString near = nearest.of(platform::decodePath(QByteArray::fromStdString(spelled)));
        noMatch.add(where + QStringLiteral("no file or folder has that path") +
                    (near.isEmpty() ? QString() : QStringLiteral("; the nearest that exists is ") + base::displayPath(near)));
    }
    for (Group *g : {&refused, &wide, &noMatch, &notNumber})
        g->appendTo(problems);
}

} // namespace iso
