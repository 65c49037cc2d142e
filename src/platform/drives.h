#pragma once
// The whole-drive devices a user can copy images from and to.
#include <QString>
#include <QStringList>

namespace platform {

struct DriveLists
{
    // Floppy drives and removable disks (USB sticks, card readers).
    QStringList removable;
    // CD and DVD drives.
    QStringList cdrom;
};

// The system's sysfs root ("/sys").
QString defaultSysfsRoot();

// Reads SYSFS/block: CD/DVD drives are the sr* entries of SCSI peripheral
// type 5; removable drives are fd0..fd9 plus the disks marked removable that
// are not CD/DVD drives. Loop, RAM, device-mapper and other virtual devices
// and fixed disks never appear. Entries are device paths (/dev/sr0), each
// list in drive order (sr2 before sr10). A missing or unreadable tree gives
// empty lists.
DriveLists listDrives(const QString &sysfsRoot = defaultSysfsRoot());

// Size in bytes of the medium in a drive (/dev/sr0), from SYSFS/block, or
// of an ordinary file named instead; 0 when unknown (no medium, no such
// drive).
qint64 deviceSize(const QString &devicePath, const QString &sysfsRoot = defaultSysfsRoot());

// Orders device paths by their text with digit runs compared as numbers.
void sortDrives(QStringList &paths);

} // namespace platform
