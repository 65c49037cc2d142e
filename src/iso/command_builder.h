#pragma once
#include "iso/iso_options.h"
#include "exec/command_line.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace iso {

struct BuiltCommand
{
    exec::CommandLine command;
    QStringList messages; // in row order; each informs, none stops the build
};

// The mkisofs command line in its fixed order of pieces. The root folder,
// output image, sort list and a mkisofs path are put on it absolute: a
// relative one counts from the folder build.bat runs in (runFolder).
BuiltCommand buildCommandLine(const IsoOptions &o);

// The batch folder field made absolute: a relative one counts from
// Spindle's folder.
QString batchFolderPath(const QString &folder);
// Where build.bat runs: the batch folder, or Spindle's folder when none is
// given.
QString runFolder(const IsoOptions &o);
// `folder` and `name` joined by one separator.
QString joinPath(const QString &folder, const QString &name);
// The image the command line writes (-o), absolute; empty when the output
// folder or file name is missing.
QString outputImagePath(const IsoOptions &o);

// build.bat: nine lines, each ended by CR LF, the command line sixth.
QByteArray batchFile(const exec::CommandLine &command);

// The batch file's place: `folder` (relative to Spindle's folder when not
// absolute) joined with "build.bat" by a separator.
QString batchFilePath(const QString &folder);

// Writes build.bat into the batch folder, atomically. A folder that does
// not exist or cannot be written gives the "Cannot create file" text in
// *error and writes nothing anywhere else.
bool writeBatchFile(const QString &folder, const exec::CommandLine &command, QString *error);

// The command in the build.bat at `path` (its sixth line), read with a
// bound; none when the file cannot be read or is not one Make Batch wrote.
std::optional<exec::CommandLine> batchFileCommand(const QString &path);

// The absolute path of the image an mkisofs command writes (the word after
// -o, relative to `runFolder`), or empty when it has none.
QString outputOfCommand(const exec::CommandLine &command, const QString &runFolder);

// The command that runs the batch file of `folder`.
exec::CommandLine batchCommand(const QString &folder);

// The texts that name the platform's mkisofs file.
QString mkisofsFileName();
QString missingMkisofsMessage();

} // namespace iso
