#include "disc/commands.h"

#include "exec/command_line.h"

namespace disc {

QString scanCommand(const QString &spindleFolder)
{
    const QString scan = QStringLiteral("cdrecord -scanbus");
    // The program word cannot hold a double quote (quotes only toggle
    // there); the bare name is looked for in Spindle's folder first.
    if (spindleFolder.contains(QLatin1Char('"')))
        return scan;
    const bool split = spindleFolder.contains(QLatin1Char(' ')) || spindleFolder.contains(QLatin1Char('\t'));
    return (split ? exec::quoteArgument(spindleFolder) : spindleFolder) + scan;
}

bool usableAddress(QStringView address) { return !address.trimmed().isEmpty(); }

QString capabilityCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord dev=") + address + QStringLiteral(" -prcap");
}

QStringList capabilityCommands(const QString &address, exec::Implementation recorder)
{
    if (!usableAddress(address))
        return {};
    if (recorder != exec::Implementation::Cdrskin)
        return {capabilityCommand(address)};
    return {QStringLiteral("cdrecord -v dev=") + address + QStringLiteral(" -atip"),
            QStringLiteral("cdrecord dev=") + address + QStringLiteral(" --list_speeds")};
}

QString burnCommand(const BurnChoice &b)
{
    if (!usableAddress(b.address))
        return {};
    QString args = QStringLiteral("dev=") + b.address;
    if (b.simulate)
        args += QStringLiteral(" -dummy ");
    if (b.dontFinalize)
        args += QStringLiteral(" -nofix ");
    if (b.burnFree)
        args.prepend(QStringLiteral("driveropts=burnfree "));
    args += QStringLiteral(" speed=") + QString::number(b.speed) + QLatin1Char(' ');
    args += exec::quoteArgument(b.file);
    return QStringLiteral("cdrecord -eject -v ") + args + QStringLiteral(" gracetime=1");
}

QString formatCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord -eject dev=") + address + QStringLiteral(" -format");
}

QString blankCommand(const QString &address, const QString &blankType)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord -eject dev=") + address + QStringLiteral(" blank=") + blankType;
}

QString readCommand(const QString &address, const QString &file)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("readcd dev=") + address + QStringLiteral(" f=") + exec::quoteArgument(file);
}

QString finalizeCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("cdrecord dev=") + address + QStringLiteral(" -fix");
}

QString verifyCommand(const QString &address, const QString &image)
{
    if (!usableAddress(address))
        return {};
    return QStringLiteral("spindle-cli verify ") + address + QLatin1Char(' ') + exec::quoteArgument(image);
}

QString sizeText(qint64 bytes)
{
    constexpr qint64 kKB = 1024, kMB = 1024 * 1024;
    if (bytes >= kMB)
        return QString::number((bytes + kMB / 2) / kMB) + QStringLiteral(" MB");
    return QString::number((bytes + kKB - 1) / kKB) + QStringLiteral(" KB");
}

QString driveTitle(const QString &entry) { return entry.simplified(); }

QString burnQuestion(const QString &fileName, qint64 bytes, const QString &drive)
{
    const QString size = bytes >= 0 ? QStringLiteral(" (") + sizeText(bytes) + QLatin1Char(')') : QString();
    return QStringLiteral("Write %1%2 to the disc in %3? This is a real write, not a simulation.")
        .arg(fileName, size, driveTitle(drive));
}

QString finalizeQuestion(const QString &drive)
{
    return QStringLiteral("Finalize the disc in %1? Nothing more can be written to it afterwards. "
                          "This is a real write, not a simulation.")
        .arg(driveTitle(drive));
}

QString blankQuestion(const QString &drive, const QString &blankType)
{
    // What cdrecord's blank types do to the disc, in a user's words.
    const QString type = blankType.trimmed();
    QString what;
    if (type == QLatin1String("all") || type == QLatin1String("fast"))
        what = QStringLiteral("Everything on the disc will be erased.");
    else if (type == QLatin1String("session"))
        what = QStringLiteral("The last session on the disc will be erased.");
    else if (type == QLatin1String("track"))
        what = QStringLiteral("The last track on the disc will be erased.");
    else if (type == QLatin1String("unclose"))
        what = QStringLiteral("The last session will be opened again for writing.");
    else if (type == QLatin1String("unreserve"))
        what = QStringLiteral("The reserved track will be released.");
    else if (type == QLatin1String("trtail"))
        what = QStringLiteral("The tail of the last track will be erased.");
    else
        what = QStringLiteral("The disc will be changed as cdrecord's blank type says.");
    return QStringLiteral("Blank the disc in %1 (blank=%2)? %3 This operation makes permanent changes.")
        .arg(driveTitle(drive), blankType, what);
}

QString formatQuestion(const QString &drive)
{
    return QStringLiteral("Format the disc in %1? Everything on the disc will be erased. "
                          "This operation makes permanent changes.")
        .arg(driveTitle(drive));
}

} // namespace disc
