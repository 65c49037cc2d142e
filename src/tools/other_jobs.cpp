#include "tools/other_jobs.h"

#include "platform/bounded_read.h"

#include "base/session.h"
#include "exec/command_line.h"
#include "platform/platform.h"

#include <QFile>

namespace tools {

namespace {
const QByteArray kProgress = "status=progress";
} // namespace

// Spindle's folder, or the user's data folder when Spindle's folder is read-only.
QString jobFolder() { return platform::workFolder(); }

QString jobHeader()
{
    return QStringLiteral("Please wait...\nWorking folder: ") + jobFolder();
}

// Device paths go on the line bare (quoted only when they would not split
// back whole); file names between quotes.
exec::CommandLine extractBootFromDriveCommand(const QString &drive)
{
    exec::CommandLine c(QStringLiteral("bbie"));
    if (!drive.isEmpty())
        c.arg(drive);
    return c;
}

exec::CommandLine extractBootFromFileCommand(const QString &file)
{
    return exec::CommandLine(QStringLiteral("bbie")).quoted(file);
}

exec::CommandLine readDriveCommand(const QString &drive, const QString &file)
{
    return exec::CommandLine(QStringLiteral("dd"))
        .arg(QStringLiteral("if=") + drive)
        .quoted("of=", file)
        .add(kProgress);
}

exec::CommandLine writeDriveCommand(const QString &file, const QString &drive)
{
    return exec::CommandLine(QStringLiteral("dd"))
        .quoted("if=", file)
        .arg(QStringLiteral("of=") + drive)
        .add(kProgress)
        .add(QByteArray("conv=nocreat,fsync"));
}

ImageCheck checkFloppyImage(const QString &path, QString *reason)
{
    // Only a regular file can be an image: a FIFO picked by mistake must not
    // hang the window, nor a device be taken for one.
    const platform::BoundedRead f = platform::readBounded(path, kFloppyImageLimit);
    if (f.status == platform::BoundedRead::TooLarge)
        return ImageCheck::TooLarge;
    if (!f.ok()) {
        if (reason)
            *reason = f.reason;
        return ImageCheck::CannotOpen;
    }
    return ImageCheck::Fits;
}

QString overwriteQuestion(const QString &drive)
{
    return QStringLiteral("All data on %1 will be overwritten. Continue?").arg(drive);
}

QString tooLargeText() { return QStringLiteral("File size > 1.44mb"); }

QString missingBbieText()
{
    return QStringLiteral("Couldn't find %1 . Please download it from %2 and copy it to Spindle folder")
        .arg(platform::exeName(QStringLiteral("bbie")), base::kHomePage);
}

QString missingDdText()
{
    return QStringLiteral("Couldn't find %1 . Please copy it to Spindle folder").arg(platform::exeName(QStringLiteral("dd")));
}

QString noCdDriveText() { return QStringLiteral("No CD drive found"); }
QString noFloppyDriveText() { return QStringLiteral("No floppy drive found"); }
QString jobRunningText() { return QStringLiteral("A job is running"); }
QString stopQuestion() { return QStringLiteral("Stop the running command?"); }
QString stoppedText() { return QStringLiteral("The command was stopped."); }

} // namespace tools
