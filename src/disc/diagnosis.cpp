#include "disc/diagnosis.h"

#include "platform/drives.h"

namespace disc {

namespace {

QString groupNameOf(uint gid, const QString &groupFile)
{
    const std::optional<platform::GroupEntry> g = platform::groupById(gid, groupFile);
    return g ? g->name : QString::number(gid);
}

DeviceCheck check(const QString &path, const DiagnosisSources &s)
{
    DeviceCheck c;
    c.path = path;
    const std::optional<platform::NodeInfo> n = platform::nodeInfo(path);
    if (!n)
        return c;
    c.exists = true;
    c.node = *n;
    c.mayOpen = platform::mayReadWrite(s.identity, *n);
    const std::optional<platform::GroupEntry> g = platform::groupById(n->gid, s.groupFile);
    c.ownerGroup = g ? g->name : QString::number(n->gid);
    if (!c.mayOpen && g && !s.identity.userName.isEmpty() && g->members.contains(s.identity.userName)) {
        // Would the group have let the user in, had the session had it?
        platform::Identity later = s.identity;
        later.groups << n->gid;
        c.listedNotActive = platform::mayReadWrite(later, *n);
    }
    return c;
}

QString driveList(const QList<DriveCheck> &drives)
{
    QStringList paths;
    for (const DriveCheck &d : drives)
        paths << (d.devices.isEmpty() ? d.name : d.devices.first().path);
    return paths.join(QStringLiteral(", "));
}

QString found(const QList<DriveCheck> &drives)
{
    return QStringLiteral("Found %1 CD drive%2 (%3)")
        .arg(drives.size())
        .arg(drives.size() == 1 ? QString() : QStringLiteral("s"), driveList(drives));
}

QString octal(uint mode) { return QStringLiteral("%1").arg(mode, 4, 8, QLatin1Char('0')); }

// Why one drive cannot be used, and what to do.
QString blocked(const DriveCheck &d, const DiagnosisSources &s)
{
    const QString user = s.identity.userName.isEmpty() ? QStringLiteral("USER") : s.identity.userName;
    for (const DeviceCheck &c : d.devices) {
        if (!c.exists)
            return QStringLiteral("its device file %1 is missing. To fix it: load the drive's driver "
                                  "(sudo modprobe sr_mod sg) or check udev.")
                .arg(c.path);
    }
    for (const DeviceCheck &c : d.devices) {
        if (c.mayOpen)
            continue;
        if (c.listedNotActive)
            return QStringLiteral("its device files belong to the group %1, and you were added to that group "
                                  "after you logged in, so this session does not have it yet. To fix it: log out "
                                  "and log in again.")
                .arg(c.ownerGroup);
        const bool groupMayWrite = (c.node.mode & 0060) == 0060;
        if (groupMayWrite && c.node.gid != 0)
            return QStringLiteral("its device files belong to the group %1, and you are not in that group. To fix "
                                  "it: sudo adduser %2 %1, then log out and log in again.")
                .arg(c.ownerGroup, user);
        return QStringLiteral("its device file %1 (owner %2, group %3, mode %4) lets no one but its owner read "
                              "and write it. To fix it: give the drive to the group cdrom, as udev does "
                              "(mode 0660), or check the udev rules.")
            .arg(c.path, QString::number(c.node.uid), c.ownerGroup, octal(c.node.mode));
    }
    return {};
}

} // namespace

bool DriveCheck::usable() const
{
    for (const DeviceCheck &c : devices)
        if (!c.mayOpen)
            return false;
    return true;
}

DiagnosisSources systemSources()
{
    return {platform::defaultSysfsRoot(), platform::defaultDevRoot(), QString(), platform::currentIdentity()};
}

Diagnosis diagnose(const DiagnosisSources &s, const QStringList &scanOutput)
{
    Diagnosis d;
    for (const platform::OpticalDrive &o : platform::opticalDrives(s.sysfsRoot, s.devRoot)) {
        DriveCheck dc;
        dc.name = o.name;
        dc.devices << check(o.blockDevice, s);
        if (!o.genericDevice.isEmpty())
            dc.devices << check(o.genericDevice, s);
        d.drives << dc;
    }
    for (const QString &line : scanOutput) {
        for (const char *said : {"Cannot open SCSI driver", "Operation not permitted", "Permission denied"}) {
            if (d.toolSaid.isEmpty() && line.contains(QLatin1String(said)))
                d.toolSaid = QLatin1String(said);
        }
    }
    if (d.drives.isEmpty()) {
        d.summary = kNoKernelDrive;
        return d;
    }
    const QString toolSaid =
        d.toolSaid.isEmpty() ? QString() : QStringLiteral(" (cdrecord said \"%1\".)").arg(d.toolSaid);
    QList<const DriveCheck *> bad;
    for (const DriveCheck &dc : d.drives)
        if (!dc.usable())
            bad << &dc;
    if (bad.isEmpty()) {
        d.summary = found(d.drives)
                    + QStringLiteral(", and you may open %1.").arg(d.drives.size() == 1 ? QStringLiteral("it")
                                                                                       : QStringLiteral("them all"));
        if (!d.toolSaid.isEmpty())
            d.summary += QStringLiteral(" Yet cdrecord said \"%1\": another program may hold the drive.").arg(d.toolSaid);
        else if (d.drives.first().devices.size() < 2)
            d.summary += QStringLiteral(" cdrecord talks to drives through their /dev/sg* device: load the sg driver "
                                        "(sudo modprobe sg).");
        return d;
    }
    const QString why = blocked(*bad.first(), s);
    if (d.drives.size() == 1)
        d.summary = found(d.drives) + QStringLiteral(", but you may not open it: ") + why + toolSaid;
    else
        d.summary = found(d.drives)
                    + QStringLiteral(", but you may not open %1: ").arg(bad.first()->devices.first().path) + why
                    + toolSaid;
    return d;
}

QStringList diagnosisReport(const DiagnosisSources &s, const Diagnosis &d)
{
    QStringList out;
    QStringList groups;
    for (uint g : s.identity.groups)
        groups << QStringLiteral("%1(%2)").arg(groupNameOf(g, s.groupFile)).arg(g);
    out << QStringLiteral("user: %1 (uid %2, gid %3)")
               .arg(s.identity.userName.isEmpty() ? QStringLiteral("?") : s.identity.userName)
               .arg(s.identity.uid)
               .arg(s.identity.gid);
    out << QStringLiteral("groups of this session: %1").arg(groups.isEmpty() ? QStringLiteral("none") : groups.join(u' '));
    if (d.drives.isEmpty())
        out << QStringLiteral("drives: none in %1/block").arg(s.sysfsRoot);
    for (const DriveCheck &dc : d.drives) {
        out << QStringLiteral("drive %1:").arg(dc.name);
        for (const DeviceCheck &c : dc.devices) {
            if (!c.exists) {
                out << QStringLiteral("  %1: missing").arg(c.path);
                continue;
            }
            QString members;
            if (const std::optional<platform::GroupEntry> g = platform::groupById(c.node.gid, s.groupFile))
                members = g->members.isEmpty() ? QStringLiteral("no members listed")
                                               : QStringLiteral("members: ") + g->members.join(u',');
            out << QStringLiteral("  %1: owner %2, group %3, mode %4, %5%6%7")
                       .arg(c.path, QString::number(c.node.uid), c.ownerGroup, octal(c.node.mode),
                            c.mayOpen ? QStringLiteral("you may read and write it")
                                      : QStringLiteral("you may not read and write it"),
                            members.isEmpty() ? QString() : QStringLiteral("; group ") + members,
                            c.listedNotActive ? QStringLiteral("; you are listed but this session lacks the group")
                                              : QString());
        }
    }
    if (!d.toolSaid.isEmpty())
        out << QStringLiteral("cdrecord said: %1").arg(d.toolSaid);
    out << QStringLiteral("diagnosis: ") + d.summary;
    return out;
}

} // namespace disc
