#pragma once
// Check: what the image of an option set will be before it is built — its
// size against the usual media, the names the image formats will change or
// refuse, and the sort file lines genisoimage would ignore or refuse.
#include "exec/command_line.h"
#include "iso/iso_options.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace iso {

struct CheckProblem
{
    // Fatal: the build fails, files are left out or the image fits no medium.
    bool fatal = false;
    QString sentence;
    QString fix; // the option that mends it, or empty
    QStringList examples; // the first few
    qsizetype count = 0;
};

struct Medium
{
    const char *name;
    qint64 sectors;
};
// 74-, 80-, 90-, 99-minute CD and a single-layer DVD.
const QList<Medium> &media();

struct CheckReport
{
    qint64 sectors = -1; // -1: the size run gave none
    QString sizeError;   // why there is no size
    QStringList sizeOutput;
    QList<CheckProblem> problems;
    qsizetype entries = 0; // entries walked below the root

    bool hasFatal() const;
    // The report as the user reads it, one line each.
    QString text() const;
};

// The size run: the Make Batch command without "-o FILE" and "-quiet",
// with "-print-size" right after the program. Empty without a program.
exec::CommandLine sizeRunCommand(const exec::CommandLine &command);
// The sector count in genisoimage's output: "Total extents scheduled to be
// written = N", or else the bare number -print-size puts on its own line.
qint64 parseSectorCount(const QStringList &lines);

// Runs the size run through the runner and waits for it (the caller's
// event loop keeps turning). False with a reason when no count came back.
bool runSizeCheck(const exec::CommandLine &command, qint64 *sectors, QStringList *output, QString *error);

// The root folder of an option set as a path to walk: relative roots are
// taken from the batch folder, where Run Batch starts the tool.
QString rootPath(const IsoOptions &o);

// The name and sort file checks; `root` is the folder to walk, `typedRoot`
// the root as the command line names it (the sort file's paths start with it).
void checkTree(const IsoOptions &o, const QString &root, const QString &typedRoot, CheckReport *report);

// Everything: the size run with the option set's command line and
// `mkisofs` as program when it is not empty, then the tree.
CheckReport runCheck(const IsoOptions &o, const QString &mkisofs = QString());

// ISO 9660 name of one entry as genisoimage forms it for the option set
// (without version).
QString isoName(const QString &name, bool folder, const IsoOptions &o);

} // namespace iso
