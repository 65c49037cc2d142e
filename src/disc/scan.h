#pragma once
// What Spindle reads from cdrecord's drive scan: one entry per device line.
#include "exec/command_line.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace disc {

// The value of one output item: the text after the first '=' when there is
// one, otherwise the item without its first character (the scan indents
// its device lines with a tab).
QStringView lineValue(QStringView item);
// A line value that names a CD-ROM device.
bool isDeviceLine(QStringView value);
// bus,target,lun of a text. Multi-digit numbers are kept whole; a text
// without that form gives the five characters from one before the first
// comma (the first five without a usable comma).
QString deviceAddress(QStringView text);
// Vendor and product fields of a scan line, joined without a blank and
// with their padding kept; empty when the vendor field is empty.
QString deviceName(QStringView value);
struct Drive
{
    QString entry; // the drop-down text: "[address] name"
    qsizetype addressLength = 0;
    QString address() const { return entry.mid(1, addressLength); }
};
// Every device line of a scan, in order; nothing merged or sorted.
QList<Drive> scanDrives(const QStringList &lines);
// The scan says it could not open a drive for want of permission (cdrskin
// says so and still exits with 0).
bool scanRefused(const QStringList &lines, const exec::CommandLine &command);

inline const QString kNoDevices = QStringLiteral("No CD-ROM devices found");

} // namespace disc
