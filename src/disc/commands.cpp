#include "disc/commands.h"

#include "exec/command_line.h"

namespace disc {

exec::CommandLine scanCommand(const QString &spindleFolder)
{
    // The program word cannot hold a double quote (rendered, it would not
    // read back); the bare name is looked for in Spindle's folder first.
    const QString program = spindleFolder.contains(QLatin1Char('"')) ? QStringLiteral("cdrecord")
                                                                     : spindleFolder + QStringLiteral("cdrecord");
    return exec::CommandLine(program).arg(QStringLiteral("-scanbus"));
}

bool usableAddress(QStringView address) { return !address.trimmed().isEmpty(); }

namespace {
exec::CommandLine cdrecord() { return exec::CommandLine(QStringLiteral("cdrecord")); }
QString dev(const QString &address) { return QStringLiteral("dev=") + address; }
} // namespace

exec::CommandLine capabilityCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return cdrecord().arg(dev(address)).arg(QStringLiteral("-prcap"));
}

QList<exec::CommandLine> capabilityCommands(const QString &address, exec::Implementation recorder)
{
    if (!usableAddress(address))
        return {};
    if (recorder != exec::Implementation::Cdrskin)
        return {capabilityCommand(address)};
    return {cdrecord().arg(QStringLiteral("-v")).arg(dev(address)).arg(QStringLiteral("-atip")),
            cdrecord().arg(dev(address)).arg(QStringLiteral("--list_speeds"))};
}

exec::CommandLine burnCommand(const BurnChoice &b)
{
    if (!usableAddress(b.address))
        return {};
    exec::CommandLine c = cdrecord();
    if (b.eject)
        c.arg(QStringLiteral("-eject"));
    c.arg(QStringLiteral("-v"));
    if (b.burnFree)
        c.arg(QStringLiteral("driveropts=burnfree"));
    c.arg(dev(b.address));
    if (b.simulate)
        c.arg(QStringLiteral("-dummy"));
    if (b.dontFinalize)
        c.arg(QStringLiteral("-nofix"));
    return c.arg(QStringLiteral("speed=") + QString::number(b.speed)).quoted(b.file).arg(QStringLiteral("gracetime=1"));
}

exec::CommandLine formatCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return cdrecord().arg(QStringLiteral("-eject")).arg(dev(address)).arg(QStringLiteral("-format"));
}

exec::CommandLine blankCommand(const QString &address, const QString &blankType)
{
    if (!usableAddress(address))
        return {};
    return cdrecord().arg(QStringLiteral("-eject")).arg(dev(address)).arg(QStringLiteral("blank=") + blankType);
}

exec::CommandLine readCommand(const QString &address, const QString &file)
{
    if (!usableAddress(address))
        return {};
    return exec::CommandLine(QStringLiteral("readcd")).arg(dev(address)).quoted("f=", file);
}

exec::CommandLine finalizeCommand(const QString &address)
{
    if (!usableAddress(address))
        return {};
    return cdrecord().arg(dev(address)).arg(QStringLiteral("-fix"));
}

exec::CommandLine verifyCommand(const QString &address, const QString &image)
{
    if (!usableAddress(address))
        return {};
    return exec::CommandLine(QStringLiteral("spindle-cli")).arg(QStringLiteral("verify")).arg(address).quoted(image);
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
