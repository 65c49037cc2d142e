#pragma once
#include "iso/iso_options.h"
#include "exec/command_line.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace iso {

// Every path Make ISO uses, resolved once: a relative batch folder counts
// from Spindle's folder; a relative root, output, sort file or mkisofs path
// from the folder build.bat runs in; a boot image from the root. Make Batch,
// Run Batch, Check and spindle-cli all take their paths from here.
struct MkisoPaths
{
    QString runFolder;  // the batch folder, or Spindle's folder when none is given
    QString batchFile;  // build.bat in it
    QString program;    // mkisofs: absolute, or a bare name looked up as any program
    QString root;       // absolute, its trailing separator as typed
    QString output;     // the image (-o); empty when folder or name is missing
    QString sortFile;   // the sort file (-sort)
    QString bootImage;  // the boot image on the disk
    // The boot image as -b takes it: its path below the root. Empty when it
    // lies outside the root (bootOutsideRoot), where mkisofs cannot use it.
    QString bootInRoot;
    bool bootOutsideRoot = false;
    // xorrisofs's form of the sort file, beside build.bat.
    QString weightList;
};
MkisoPaths resolvePaths(const IsoOptions &o, const QString &spindleFolder);
MkisoPaths resolvePaths(const IsoOptions &o);

struct BuiltCommand
{
    exec::CommandLine command;
    QStringList messages; // in row order; each informs, none stops the build
};

// The mkisofs command line in its fixed order of pieces, as the option
// rows say, with the paths of resolvePaths.
BuiltCommand buildCommandLine(const IsoOptions &o);

// build.bat: nine lines, each ended by CR LF, the command line sixth.
QByteArray batchFile(const exec::CommandLine &command);

// Writes build.bat at `path` atomically. A folder that does not exist or
// cannot be written gives the "Cannot create file" text in *error and
// writes nothing anywhere else.
bool writeBatchFile(const QString &path, const exec::CommandLine &command, QString *error);

// The command in the build.bat at `path` (its sixth line), read with a
// bound; none when the file cannot be read or is not one Make Batch wrote.
std::optional<exec::CommandLine> batchFileCommand(const QString &path);

// The absolute path of the image an mkisofs command writes (the word after
// -o, relative to `runFolder`), or empty when it has none.
QString outputOfCommand(const exec::CommandLine &command, const QString &runFolder);

// The command that runs the batch file at `path`.
exec::CommandLine batchCommand(const QString &path);

// The texts that name the platform's mkisofs file.
QString mkisofsFileName();
QString missingMkisofsMessage();

} // namespace iso
