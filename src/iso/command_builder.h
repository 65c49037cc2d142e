#pragma once
#include "iso_options.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace iso {

struct BuiltCommand
{
    QString commandLine;
    QStringList messages; // in row order; each informs, none stops the build
};

// The mkisofs command line in its fixed order of pieces.
BuiltCommand buildCommandLine(const IsoOptions &o);

// build.bat: nine lines, each ended by CR LF, the command line sixth.
QByteArray batchFile(const QString &commandLine);

// The batch file's place: `folder` (relative to the current directory when
// not absolute) joined with "build.bat" by a separator.
QString batchFilePath(const QString &folder);

// Writes build.bat into the batch folder, atomically. A folder that does
// not exist or cannot be written gives the "Cannot create file" text in
// *error and writes nothing anywhere else.
bool writeBatchFile(const QString &folder, const QString &commandLine, QString *error);

// The command line that runs the batch file of `folder`.
QString batchCommandLine(const QString &folder);

// The texts that name the platform's mkisofs file.
QString mkisofsFileName();
QString missingMkisofsMessage();

} // namespace iso
