#include "tree/rename_plan.h"

#include "tree/folder_listing.h"
#include "platform/platform.h"

#include <QHash>
#include <QVarLengthArray>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace tree {

namespace {
// The entries of both lists as one tree of path components: renaming a
// folder is one change of its node, seen at once by every path below it.
class PathTree
{
public:
    qsizetype add(const QString &path)
    {
        if (const auto it = m_paths.constFind(path); it != m_paths.constEnd())
            return *it;
        qsizetype node = -1;
        qsizetype start = 0;
        for (;;) {
            const qsizetype slash = path.indexOf(QLatin1Char('/'), start);
            QString part = path.mid(start, slash < 0 ? -1 : slash - start);
            auto key = std::make_pair(node, part);
            auto it = m_children.constFind(key);
            if (it == m_children.constEnd()) {
                m_nodes.append({node, std::move(part)});
                it = m_children.insert(std::move(key), m_nodes.size() - 1);
            }
            node = *it;
            if (slash < 0)
                break;
            start = slash + 1;
        }
        m_paths.insert(path, node);
        return node;
    }

    const QString &name(qsizetype node) const { return m_nodes[node].name; }
    void rename(qsizetype node, const QString &name) { m_nodes[node].name = name; }

    // The path of `node`, its last name replaced by `last` when given.
    QString path(qsizetype node, const QString *last = nullptr) const
    {
        QVarLengthArray<qsizetype, 32> chain;
        qsizetype length = -1;
        for (qsizetype n = node; n >= 0; n = m_nodes[n].parent) {
            chain.append(n);
            length += 1 + (n == node && last ? last->size() : m_nodes[n].name.size());
        }
        QString out;
        out.reserve(length);
        for (qsizetype i = chain.size() - 1; i >= 0; --i) {
            if (i != chain.size() - 1)
                out += QLatin1Char('/');
            out += i == 0 && last ? *last : m_nodes[chain[i]].name;
        }
        return out;
    }

private:
    struct Node
    {
        qsizetype parent;
        QString name;
    };
    QList<Node> m_nodes;
    QHash<std::pair<qsizetype, QString>, qsizetype> m_children;
    QHash<QString, qsizetype> m_paths; // lists repeat paths; the first wins
};
} // namespace

QStringList stepTwo(const QString &folder, bool includeFolder, bool includeFiles, bool includeSubfolders)
{
    QStringList out;
    quint16 include = 0;
    if (includeFolder) {
        out.append(folder);
        include |= platform::kDirectory;
    }
    if (includeFiles)
        include |= platform::kAllAttributes;
    const quint16 exclude = includeSubfolders ? 0 : platform::kDirectory;
    listFolder(folder, include, exclude, includeSubfolders, &out);
    return out;
}

QString mappedName(const QString &name, Case to) { return to == Case::Upper ? name.toUpper() : name.toLower(); }

bool isUtf8Name(const QString &name)
{
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < n && name.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return true;
}

bool reversibleCase(const QString &name, Case to)
{
    const QString mapped = mappedName(name, to);
    const Case back = to == Case::Upper ? Case::Lower : Case::Upper;
    return mapped.size() == name.size() && mappedName(mapped, back) == mappedName(name, back);
}

int namesBelow(const QString &folder, const QString &path)
{
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    if (!path.startsWith(prefix) || path.size() == prefix.size())
        return 1;
    return int(QStringView(path).mid(prefix.size()).count(QLatin1Char('/'))) + 1;
}

platform::Beneath beneath(const QString &folder, const QString &path, quint64 device, quint64 inode)
{
    const QString own = folder.endsWith(QLatin1Char('/')) && folder.size() > 1 ? folder.chopped(1) : folder;
    if (path == own)
        return {1};
    return {namesBelow(folder, path), device, inode};
}

int changeCase(QStringList *work, QStringList *candidates, Case to, const RenameFailed &failed,
               const QList<platform::Beneath> &where, CaseSummary *summary)
{
    PathTree tree;
    QList<qsizetype> workNodes, candidateNodes;
    workNodes.reserve(work->size());
    candidateNodes.reserve(candidates->size());
    for (const QString &p : std::as_const(*work))
        workNodes.append(tree.add(p));
    for (const QString &p : std::as_const(*candidates))
        candidateNodes.append(tree.add(p));

    CaseSummary sum;
    for (qsizetype i = 0; i < workNodes.size(); ++i) {
        const qsizetype node = workNodes[i];
        const QString &name = tree.name(node);
        if (!isUtf8Name(name)) {
            const QString path = tree.path(node);
            quint16 word = 0;
            const bool folder = platform::readAttributes(path, &word, nullptr) && (word & platform::kDirectory);
            failed(path, QStringLiteral("the name is not valid UTF-8, so its case is left alone"), folder);
            ++sum.notRenamed;
            continue;
        }
        const QString mapped = mappedName(name, to);
        if (mapped == name) {
            ++sum.unchanged;
            continue;
        }
        const QString from = tree.path(node);
        QString reason;
        int code = 0;
        bool folder = false;
        if (!platform::renameEntry(from, where.value(i), mapped, &reason, &code, &folder)) {
            if (code == EEXIST)
                reason = QStringLiteral("\"%1\" already exists").arg(mapped);
            failed(from, reason, folder);
            ++sum.notRenamed;
            continue;
        }
        if (!reversibleCase(name, to))
            sum.irreversible.append({from, tree.path(node, &mapped)});
        tree.rename(node, mapped);
        ++sum.renamed;
    }
    if (sum.renamed) {
        for (qsizetype i = 0; i < workNodes.size(); ++i)
            (*work)[i] = tree.path(workNodes[i]);
        for (qsizetype i = 0; i < candidateNodes.size(); ++i)
            (*candidates)[i] = tree.path(candidateNodes[i]);
    }
    const int renamed = sum.renamed;
    if (summary)
        *summary = std::move(sum);
    return renamed;
}

QString notRenamedText(const QString &path, const QString &reason, bool folder)
{
    return QStringLiteral("%1 not renamed\n%2: %3")
        .arg(folder ? QStringLiteral("folder") : QStringLiteral("file"), path, reason);
}

namespace {
// A box taller than the screen helps no one: the first entries, then a count.
constexpr qsizetype kShown = 25;
} // namespace

QString caseSummaryText(const CaseSummary &summary, Case to)
{
    QString text = QStringLiteral("%1 renamed, %2 not renamed").arg(summary.renamed).arg(summary.notRenamed);
    if (summary.unchanged)
        text += QStringLiteral(", %1 already in %2 case")
                    .arg(summary.unchanged)
                    .arg(to == Case::Upper ? QStringLiteral("upper") : QStringLiteral("lower"));
    const auto &lost = summary.irreversible;
    if (!lost.isEmpty()) {
        text += QStringLiteral("\n\nThese changes cannot be undone by changing the case back, as their letters or "
                               "length changed:");
        for (qsizetype i = 0; i < lost.size() && i < kShown; ++i) {
            const QString &now = lost[i].second;
            text += QStringLiteral("\n%1 \u2192 %2").arg(lost[i].first, now.mid(now.lastIndexOf(QLatin1Char('/')) + 1));
        }
        if (lost.size() > kShown)
            text += QStringLiteral("\n... and %1 more").arg(lost.size() - kShown);
    }
    return text;
}

QList<Failure> changeAttributes(const QStringList &work, quint16 set, quint16 clear,
                                const QList<platform::Beneath> &where)
{
    QList<Failure> failures;
    for (qsizetype i = 0; i < work.size(); ++i) {
        QString reason;
        if (!platform::changeAttributes(work[i], where.value(i), set, clear, &reason))
            failures.append({work[i], reason});
    }
    return failures;
}

QString notChangedText(const QList<Failure> &failures)
{
    QString text = QStringLiteral("The attributes of these entries were not changed:");
    for (qsizetype i = 0; i < failures.size() && i < kShown; ++i)
        text += QStringLiteral("\n%1: %2").arg(failures[i].path, failures[i].reason);
    if (failures.size() > kShown)
        text += QStringLiteral("\n... and %1 more").arg(failures.size() - kShown);
    return text;
}

QString attributeSummaryText(const QStringList &work, quint16 set, const QList<Failure> &failures)
{
    QStringList failed;
    for (const Failure &f : failures)
        failed << f.path;
    QStringList readOnly;
    if (set & platform::kReadOnly)
        for (const QString &path : work)
            if (!failed.contains(path) && !readOnly.contains(path))
                readOnly << path;
    QString text = QStringLiteral("%1 changed, %2 not changed").arg(work.size() - failures.size()).arg(failures.size());
    if (!readOnly.isEmpty()) {
        bool folders = false;
        QString list;
        for (qsizetype i = 0; i < readOnly.size() && i < kShown; ++i) {
            quint16 word = 0;
            const bool folder = platform::readAttributes(readOnly[i], &word, nullptr) && (word & platform::kDirectory);
            folders = folders || folder;
            list += QLatin1Char('\n') + readOnly[i] + (folder ? QStringLiteral("/") : QString());
        }
        if (readOnly.size() > kShown)
            list += QStringLiteral("\n... and %1 more").arg(readOnly.size() - kShown);
        text += folders ? QStringLiteral("\n\nNow read-only (nothing can be added to, renamed in or removed from the "
                                         "folders):")
                        : QStringLiteral("\n\nNow read-only:");
        text += list;
    }
    if (!failures.isEmpty())
        text += QStringLiteral("\n\n") + notChangedText(failures);
    return text;
}

} // namespace tree
