#pragma once
// Why no CD drive shows up, or why one cannot be used, in words: the
// kernel's drives, their device files, who may open them and what the
// group database and this session say about the user.
#include "platform/access_check.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace disc {

// Where the facts come from; the defaults are the system's own.
struct DiagnosisSources
{
    QString sysfsRoot;
    QString devRoot;
    QString groupFile; // empty: the system's group database
    platform::Identity identity;
};
DiagnosisSources systemSources();

// One device file of a drive.
struct DeviceCheck
{
    QString path;
    bool exists = false;
    platform::NodeInfo node;
    QString ownerGroup;  // the group's name, or its number
    bool mayOpen = false;
    // The user is a member of the file's group in the group database but
    // this session does not have the group (added since logging in).
    bool listedNotActive = false;
};
struct DriveCheck
{
    QString name; // sr0
    QList<DeviceCheck> devices;
    bool usable() const;
};

struct Diagnosis
{
    QList<DriveCheck> drives;
    // What cdrecord said of its own access, when the scan's output has it.
    QString toolSaid;
    // The whole finding in one paragraph.
    QString summary;
};
// `scanOutput`: the lines of cdrecord -scanbus, when there was a scan.
Diagnosis diagnose(const DiagnosisSources &sources, const QStringList &scanOutput = {});

inline const QString kNoKernelDrive =
    QStringLiteral("This computer has no CD drive that the kernel knows of (no /sys/block/sr*).");

// Every fact of the check, for a bug report: the session's identity and
// groups, each drive's device files with owner, group, mode and access.
QStringList diagnosisReport(const DiagnosisSources &sources, const Diagnosis &d);

} // namespace disc
