#include "iso/weight_list.h"

#include "base/sort_lines.h"
#include "base/sort_match.h"
#include "platform/platform.h"
#include "tree/sort_file.h"

#include <QSet>

namespace iso {

bool needsWeightList(const IsoOptions &o)
{
    return o.isOn(Opt::sorting) && !o.text(Opt::sorting_list).isEmpty()
           && supportOf(Opt::sorting, o.builder()).treatment == Treatment::Converted;
}

bool weightListText(const QString &sortFile, const QString &root, QByteArray *text, QString *error)
{
    QByteArray bytes;
    if (!tree::readSortFileBytes(sortFile, &bytes, error))
        return false;
    const base::SortLines lines = base::readSortLines(std::string_view(bytes.constData(), size_t(bytes.size())));
    if (lines.stopLine != 0) {
        // genisoimage would stop there; the same file must not order
        // another program's image in part.
        base::forEachSortLine(std::string_view(bytes.constData(), size_t(bytes.size())),
                              [&](const base::SortLine &l) {
                                  if (l.refused() && l.line == lines.stopLine && error->isEmpty())
                                      *error = platform::decodePath(
                                          QByteArray::fromStdString(base::sortLineMessage(l)));
                              });
        return false;
    }
    const base::SortMatcher matcher(lines.names);
    // Paths as genisoimage matches them: the root as the command line names
    // it without its closing slashes, a slash and the path below it.
    QByteArray top = platform::encodePath(root);
    while (top.size() > 1 && top.endsWith('/'))
        top.chop(1);
    auto weightOf = [&](const QByteArray &rel, int32_t inherited) {
        const QByteArray path = rel.isEmpty() ? top : (top == "/" ? top : top + '/') + rel;
        const long hit = matcher.lastMatch(path.toStdString());
        return hit < 0 ? inherited : lines.weights[size_t(hit)];
    };
    struct Folder
    {
        QByteArray rel;
        int32_t weight;
    };
    QList<Folder> todo{{QByteArray(), weightOf(QByteArray(), 0)}};
    QSet<std::pair<quint64, quint64>> seen;
    platform::ListingMemory memory;
    text->clear();
    while (!todo.isEmpty()) {
        const Folder dir = todo.takeLast();
        const QString folder = platform::decodePath(dir.rel.isEmpty() ? top : top + '/' + dir.rel);
        platform::FolderEntry self;
        QString reason;
        const bool ok = platform::readFolder(
            folder,
            [&](const platform::FolderEntry &e) {
                // The entry's name lives only during this call: copied.
                const QByteArray rel =
                    dir.rel.isEmpty() ? QByteArray(e.name.constData(), e.name.size()) : dir.rel + '/' + e.name;
                const int32_t w = weightOf(rel, dir.weight);
                if (e.realFolder && !seen.contains({e.device, e.inode}))
                    todo.append({rel, w});
                // A line of the list ends at a line feed: such a name
                // cannot be given (nor can genisoimage's sort file).
                else if (!e.link && !(e.attributes & platform::kDirectory) && w != 0 && !rel.contains('\n'))
                    *text += QByteArray::number(w) + " /" + rel + '\n';
            },
            &reason, &self, !dir.rel.isEmpty(), &memory);
        if (!ok) {
            *error = platform::cannotOpenText(folder, reason);
            return false;
        }
        seen.insert({self.device, self.inode});
    }
    return true;
}

bool writeWeightList(const IsoOptions &o, QString *error)
{
    const MkisoPaths paths = resolvePaths(o);
    QByteArray text;
    QString reason;
    if (!weightListText(paths.sortFile, paths.root, &text, &reason)) {
        *error = QStringLiteral("The sort file cannot be given to %1: %2")
                     .arg(QLatin1String(builderName(o.builder())), reason);
        return false;
    }
    if (!platform::writeFileAtomic(paths.weightList, text, &reason)) {
        *error = platform::cannotCreateText(paths.weightList, reason);
        return false;
    }
    return true;
}

} // namespace iso
