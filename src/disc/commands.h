#pragma once
// The command lines of the drive scan, the capability query and the disc
// operations, and the questions asked before a real write.
#include "exec/command_line.h"
#include "exec/tool_identity.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace disc {

// Every builder that names a drive gives an empty command for an empty or
// blank address: nothing may run against no drive.
bool usableAddress(QStringView address);
// Spindle's folder's cdrecord with -scanbus; a folder holding a double
// quote gives the bare tool name.
exec::CommandLine scanCommand(const QString &spindleFolder);
exec::CommandLine capabilityCommand(const QString &address);
// The capability query as the recorder behind cdrecord can answer it, run
// in this order: -prcap, or for cdrskin (which ignores -prcap) the drive's
// write modes and profiles (-v -atip) and its speeds (--list_speeds).
QList<exec::CommandLine> capabilityCommands(const QString &address, exec::Implementation recorder);
struct BurnChoice
{
    QString address;
    bool simulate = true;
    bool dontFinalize = false;
    bool burnFree = true;
    int speed = 1;
    QString file;
    // Left out when the disc is read back after the burn (Verify): an
    // ejected disc cannot be.
    bool eject = true;
};
// "-v" follows "-eject" for every recorder: without it none prints the
// progress lines the console's bar reads.
exec::CommandLine burnCommand(const BurnChoice &b);
exec::CommandLine formatCommand(const QString &address);
exec::CommandLine blankCommand(const QString &address, const QString &blankType);
exec::CommandLine readCommand(const QString &address, const QString &file);
exec::CommandLine finalizeCommand(const QString &address);
// Reads the disc back and compares it with the image it was burned from:
// Spindle's own spindle-cli, found in Spindle's folder.
exec::CommandLine verifyCommand(const QString &address, const QString &image);

// The questions asked before a real write, naming the drive (its entry in
// the drive list) and what happens. `bytes` < 0: the size is unknown.
QString burnQuestion(const QString &fileName, qint64 bytes, const QString &drive);
QString finalizeQuestion(const QString &drive);
QString blankQuestion(const QString &drive, const QString &blankType);
QString formatQuestion(const QString &drive);
// A file size for a question: "123 MB", "12 KB".
QString sizeText(qint64 bytes);
// A drive list entry as a question names it: padding blanks collapsed.
QString driveTitle(const QString &entry);

// What the console's result box says after an operation that succeeded.
inline const QString kSimulationFinished = QStringLiteral("Simulation finished");
inline const QString kDiscWritten = QStringLiteral("Disc written");
inline const QString kDiscFinalized = QStringLiteral("Disc finalized");
inline const QString kDiscBlanked = QStringLiteral("Disc blanked");
inline const QString kDiscFormatted = QStringLiteral("Disc formatted");
inline const QString kImageFilter = QStringLiteral("ISO Files|*.ISO|RAW Files|*.RAW|All Files|*.*");
inline const QStringList kBlankTypes = {QStringLiteral("all"),     QStringLiteral("fast"),
                                        QStringLiteral("unclose"), QStringLiteral("session"),
                                        QStringLiteral("track"),   QStringLiteral("unreserve"),
                                        QStringLiteral("trtail")};

} // namespace disc
