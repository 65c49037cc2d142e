#pragma once
// Check: what the image of an option set will be before it is built — its
// size against the usual media, the names the image formats will change or
// refuse, and the sort file lines genisoimage would ignore or refuse.
#include "exec/command_line.h"
#include "iso/command_builder.h"
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
    // A failed size run's own lines that say why (bytes that are no UTF-8
    // shown as \xNN): from the first the tool-error table knows, else the
    // last ones.
    QStringList toolLines;
    // What the files walked take at least: their sizes in whole sectors,
    // hard links once. Said when the size run gives no size.
    qint64 filesSectors = 0;
    // Whose rules Check applied, and what they change.
    QString rules;
    QList<CheckProblem> problems;
    qsizetype entries = 0; // entries walked below the root

    bool hasFatal() const;
    // The report as the user reads it, one line each.
    QString text() const;
};

// The size run: the Make Batch command without "-o FILE", without the sort
// file (the order changes no sector count, and the program's own sorting
// grows with files times lines) and without "-v", with "-print-size -quiet"
// right after the program. Empty without a program.
exec::CommandLine sizeRunCommand(const exec::CommandLine &command);
// The sector count in genisoimage's output: "Total extents scheduled to be
// written = N", or else the bare number -print-size puts on its own line.
qint64 parseSectorCount(const QStringList &lines);

// The name and sort file checks over the tree mkisofs is given (the root of
// `paths`, which the sort file's paths start with), by the rules of the
// option set's program (IsoOptions::builder(); genisoimage's when it is not
// known).
void checkTree(const IsoOptions &o, const MkisoPaths &paths, CheckReport *report);

// Everything: the size run with the option set's command line and
// `mkisofs` as program when it is not empty, while the tree is walked.
CheckReport runCheck(const IsoOptions &o, const QString &mkisofs = QString());

// A path or a tool's line with the bytes that are no UTF-8 (U+DC80..U+DCFF
// of platform::decodePath) written \xNN.
QString escapedBytes(const QString &text);

} // namespace iso
