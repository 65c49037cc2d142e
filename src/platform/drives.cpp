#include "platform/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace platform {

namespace {
// SCSI peripheral device type of a CD/DVD drive.
constexpr int kScsiTypeCdrom = 5;

QString readValue(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.read(64)).trimmed();
}

bool isFloppyName(const QString &name)
{
    return name.size() == 3 && name.startsWith(QLatin1String("fd")) && name[2].isDigit();
}

bool isVirtualName(const QString &name)
{
    for (const char *prefix : {"loop", "ram", "zram", "dm-", "md", "nbd", "zd", "rbd"})
        if (name.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

// Entries under /sys/block are links into /sys/devices; the virtual ones
// (loop, ram, device mapper, ...) live under devices/virtual.
bool isVirtualLink(const QString &entryPath)
{
    const QFileInfo fi(entryPath);
    return fi.isSymLink() && fi.symLinkTarget().contains(QLatin1String("/devices/virtual/"));
}

int compareNatural(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && a[ie].isDigit()) ++ie;
            while (je < b.size() && b[je].isDigit()) ++je;
            const QStringView na = QStringView(a).mid(i, ie - i), nb = QStringView(b).mid(j, je - j);
            const qulonglong va = na.toULongLong(), vb = nb.toULongLong();
            if (va != vb)
                return va < vb ? -1 : 1;
            i = ie;
            j = je;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j] ? -1 : 1;
        ++i;
        ++j;
    }
    return int(a.size() - i) - int(b.size() - j);
}
} // namespace

QString defaultSysfsRoot() { return QStringLiteral("/sys"); }

qint64 deviceSize(const QString &devicePath, const QString &sysfsRoot)
{
    const QFileInfo fi(devicePath);
    if (fi.isFile())
        return fi.size(); // an image standing in for a drive
    if (!devicePath.startsWith(QLatin1String("/dev/")))
        return 0;
    // Sysfs spells the slashes of a device name as "!" (cciss!c0d0).
    QString name = devicePath.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('!'));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        return 0;
    // The size file counts 512-byte sectors whatever the drive's own.
    bool ok = false;
    const qint64 sectors = readValue(sysfsRoot + QStringLiteral("/block/") + name + QStringLiteral("/size")).toLongLong(&ok);
    return ok && sectors > 0 ? sectors * 512 : 0;
}

void sortDrives(QStringList &paths)
{
    std::sort(paths.begin(), paths.end(),
              [](const QString &a, const QString &b) { return compareNatural(a, b) < 0; });
}

DriveLists listDrives(const QString &sysfsRoot)
{
    DriveLists lists;
    const QDir block(sysfsRoot + QStringLiteral("/block"));
    const QStringList names = block.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString &name : names) {
        const QString entry = block.filePath(name);
        // A '!' in a sysfs name stands for a '/' in the device name.
        const QString device = QStringLiteral("/dev/") + QString(name).replace(QLatin1Char('!'), QLatin1Char('/'));
        const bool cdType = readValue(entry + QStringLiteral("/device/type")) == QString::number(kScsiTypeCdrom);
        if (name.startsWith(QLatin1String("sr"))) {
            if (cdType)
                lists.cdrom << device;
            continue;
        }
        if (cdType || isVirtualName(name) || isVirtualLink(entry))
            continue;
        if (isFloppyName(name) || readValue(entry + QStringLiteral("/removable")) == QLatin1String("1"))
            lists.removable << device;
    }
    sortDrives(lists.removable);
    sortDrives(lists.cdrom);
    return lists;
}

} // namespace platform
