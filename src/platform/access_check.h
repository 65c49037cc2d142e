#pragma once
// Who this process is and what its device files allow it: the facts the
// setup diagnosis reads. Every root is a parameter, so tests build their
// own sysfs, /dev and group database.
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace platform {

// The process's own identity: effective ids and the supplementary groups
// of this session (getgroups), which is what opening a file checks; a group
// the user was added to after logging in is not among them.
struct Identity
{
    uint uid = 0;
    uint gid = 0;
    QList<uint> groups;
    QString userName; // empty when the user database has no entry
};
Identity currentIdentity();

// Owner, group and permission bits of a device file, through a link as
// opening it would go; nothing when it is absent.
struct NodeInfo
{
    uint uid = 0;
    uint gid = 0;
    uint mode = 0; // the permission bits only
    bool isDevice = false;
};
std::optional<NodeInfo> nodeInfo(const QString &path);

// Whether `who` may open a file of that owner and mode for reading and
// writing, by the kernel's rule: the owner's bits for the owner, else the
// group's for a member, else the others'. Root may always.
bool mayReadWrite(const Identity &who, const NodeInfo &node);

// One optical drive of the kernel: its block device name (sr0) and the
// device files it has: DEV/srN, and DEV/sgM of the same SCSI device
// (SYSFS/block/srN/device/scsi_generic/sgM) when the sg driver is loaded.
struct OpticalDrive
{
    QString name;
    QString blockDevice;
    QString genericDevice; // empty without the sg driver
};
QString defaultDevRoot(); // "/dev"
// The sr* entries of SYSFS/block, in drive order.
QList<OpticalDrive> opticalDrives(const QString &sysfsRoot, const QString &devRoot = defaultDevRoot());

// The group database: the system's (through the C library, so network
// groups count too) when `groupFile` is empty, else a file of the
// /etc/group form.
struct GroupEntry
{
    QString name;
    uint gid = 0;
    QStringList members;
};
std::optional<GroupEntry> groupById(uint gid, const QString &groupFile = {});
std::optional<GroupEntry> groupByName(const QString &name, const QString &groupFile = {});

} // namespace platform
