#include "tree/folder_listing.h"

#include "platform/platform.h"

#include <QList>
#include <utility>

namespace tree {

namespace {
struct Lister
{
    quint16 include, exclude;
    bool recurse;
    QStringList *out;
    QStringList *unreadable;
    // Identities of the folders being listed, outermost first.
    QList<std::pair<quint64, quint64>> ancestors;
    platform::ListingMemory memory;

    bool admitted(quint16 a) const
    {
        const bool in = (a & include) != 0 || (a == 0 && include != platform::kDirectory);
        return in && (a & exclude) == 0;
    }

    void list(const QString &folder, bool top)
    {
        const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        // Subfolders are entered after the folder is closed, in their place:
        // their lines go right after their own line.
        struct Sub
        {
            qsizetype at;
            QString path;
            std::pair<quint64, quint64> id;
        };
        QList<Sub> subs;
        QStringList lines;
        platform::FolderEntry self;
        // Below the chosen folder no link is followed: a subfolder swapped
        // for one after its parent was read is not entered.
        const bool ok = platform::readFolder(
            prefix,
            [&](const platform::FolderEntry &e) {
                if (!admitted(e.attributes))
                    return;
                QString path;
                path.reserve(prefix.size() + e.name.size());
                path += prefix;
                platform::appendDecodedPath(&path, e.name);
                if (recurse && e.realFolder)
                    subs.append({lines.size() + 1, path, {e.device, e.inode}});
                lines.append(std::move(path));
            },
            nullptr, &self, !top, &memory);
        if (top && self.realFolder)
            ancestors.append({self.device, self.inode});
        const bool same = ok && (top || std::make_pair(self.device, self.inode) == ancestors.last());
        if (!same) {
            if (unreadable)
                unreadable->append(folder.isEmpty() ? QStringLiteral("/") : folder);
            return;
        }
        qsizetype done = 0;
        for (Sub &s : subs) {
            for (; done < s.at; ++done)
                out->append(std::move(lines[done]));
            if (ancestors.contains(s.id))
                continue;
            ancestors.append(s.id);
            list(s.path, false);
            ancestors.removeLast();
        }
        for (; done < lines.size(); ++done)
            out->append(std::move(lines[done]));
    }
};
} // namespace

void listFolder(const QString &folder, quint16 include, quint16 exclude, bool recurse,
                QStringList *out, QStringList *unreadable)
{
    Lister l{include, exclude, recurse, out, unreadable, {}, {}};
    l.list(folder, true);
}

} // namespace tree
