#include "platform/access_check.h"

#include "platform/drives.h"
#include "platform/path_codec.h"

#include <QDir>
#include <QFile>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace platform {

namespace {
// A group file larger than this is not one (bounded read).
constexpr qint64 kMaxGroupFile = 16 << 20;

std::optional<GroupEntry> fromGroup(const struct group *g)
{
    if (!g)
        return std::nullopt;
    GroupEntry e;
    e.name = decodePath(QByteArray(g->gr_name));
    e.gid = g->gr_gid;
    for (char **m = g->gr_mem; m && *m; ++m)
        e.members << decodePath(QByteArray(*m));
    return e;
}

// Looks a group up in a file of the /etc/group form: name:password:gid:members.
template<typename Match>
std::optional<GroupEntry> findInFile(const QString &groupFile, Match match)
{
    QFile f(groupFile);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxGroupFile)
        return std::nullopt;
    const QByteArray all = f.read(kMaxGroupFile);
    for (const QByteArray &line : all.split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 4 || fields[0].isEmpty() || fields[0].startsWith('#'))
            continue;
        bool ok = false;
        const uint gid = fields[2].toUInt(&ok);
        if (!ok)
            continue;
        GroupEntry e;
        e.name = decodePath(fields[0]);
        e.gid = gid;
        for (const QByteArray &m : fields[3].trimmed().split(','))
            if (!m.isEmpty())
                e.members << decodePath(m);
        if (match(e))
            return e;
    }
    return std::nullopt;
}
} // namespace

Identity currentIdentity()
{
    Identity id;
    id.uid = ::geteuid();
    id.gid = ::getegid();
    const int n = ::getgroups(0, nullptr);
    if (n > 0) {
        std::vector<gid_t> groups(static_cast<size_t>(n));
        const int got = ::getgroups(n, groups.data());
        for (int i = 0; i < got; ++i)
            id.groups << groups[static_cast<size_t>(i)];
    }
    if (const struct passwd *pw = ::getpwuid(id.uid))
        id.userName = decodePath(QByteArray(pw->pw_name));
    return id;
}

std::optional<NodeInfo> nodeInfo(const QString &path)
{
    struct stat st;
    if (::stat(encodePath(path).constData(), &st) != 0)
        return std::nullopt;
    NodeInfo n;
    n.uid = st.st_uid;
    n.gid = st.st_gid;
    n.mode = st.st_mode & 07777;
    n.isDevice = S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode);
    return n;
}

bool mayReadWrite(const Identity &who, const NodeInfo &node)
{
    if (who.uid == 0)
        return true;
    if (who.uid == node.uid)
        return (node.mode & 0600) == 0600;
    if (who.gid == node.gid || who.groups.contains(node.gid))
        return (node.mode & 0060) == 0060;
    return (node.mode & 0006) == 0006;
}

QString defaultDevRoot() { return QStringLiteral("/dev"); }

QList<OpticalDrive> opticalDrives(const QString &sysfsRoot, const QString &devRoot)
{
    QStringList names = QDir(sysfsRoot + QStringLiteral("/block"))
                            .entryList({QStringLiteral("sr*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    sortDrives(names);
    QList<OpticalDrive> drives;
    for (const QString &name : names) {
        OpticalDrive d;
        d.name = name;
        d.blockDevice = devRoot + QLatin1Char('/') + name;
        const QStringList sg = QDir(sysfsRoot + QStringLiteral("/block/") + name + QStringLiteral("/device/scsi_generic"))
                                   .entryList({QStringLiteral("sg*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
        if (!sg.isEmpty())
            d.genericDevice = devRoot + QLatin1Char('/') + sg.first();
        drives << d;
    }
    return drives;
}

std::optional<GroupEntry> groupById(uint gid, const QString &groupFile)
{
    if (groupFile.isEmpty())
        return fromGroup(::getgrgid(gid));
    return findInFile(groupFile, [gid](const GroupEntry &e) { return e.gid == gid; });
}

std::optional<GroupEntry> groupByName(const QString &name, const QString &groupFile)
{
    if (groupFile.isEmpty())
        return fromGroup(::getgrnam(encodePath(name).constData()));
    return findInFile(groupFile, [&name](const GroupEntry &e) { return e.name == name; });
}

} // namespace platform
