#pragma once
// The boot and floppy image jobs: their command lines, checks and texts.
#include "exec/command_line.h"

#include <QString>
#include <QStringList>

namespace tools {

// The largest image that fits a 1.44 MB floppy (1440 KiB); exactly this size fits.
constexpr qint64 kFloppyImageLimit = 1474560;

// The working folder of every job. bbie writes image1.bin, image2.bin, ...
// there, so the memo names it. The one place that decides it.
QString jobFolder();

// The memo's text when a job starts: "Please wait..." and the job folder.
QString jobHeader();

// bbie DRIVE / bbie "FILE": boot images into the job folder.
exec::CommandLine extractBootFromDriveCommand(const QString &drive);
exec::CommandLine extractBootFromFileCommand(const QString &file);
// dd from a whole drive into a file (a CD or floppy image).
exec::CommandLine readDriveCommand(const QString &drive, const QString &file);
// dd from a file onto a whole drive. nocreat: a drive that does not exist
// must fail instead of becoming a new ordinary file; fsync: the job ends
// when the data is on the medium, not in the cache.
exec::CommandLine writeDriveCommand(const QString &file, const QString &drive);

enum class ImageCheck { Fits, TooLarge, CannotOpen };
// Whether an image may be written to a floppy; the reason when it cannot be read.
ImageCheck checkFloppyImage(const QString &path, QString *reason);

// The question asked before a drive is overwritten.
QString overwriteQuestion(const QString &drive);
QString tooLargeText();
QString missingBbieText();
QString missingDdText();
// Why a button is disabled.
QString noCdDriveText();
QString noFloppyDriveText();
QString jobRunningText();
// Asked before a job that overwrites a drive is stopped.
QString stopQuestion();
// The memo's last line after a job was stopped.
QString stoppedText();

} // namespace tools
