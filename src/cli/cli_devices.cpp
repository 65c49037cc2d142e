#include "cli/cli_commands.h"

#include "platform/drives.h"

#include <cstdio>

namespace cli {

int devices(const QStringList &argsIn)
{
    QStringList args = argsIn;
    QString root = platform::defaultSysfsRoot();
    while (!args.isEmpty()) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--sysfs") && !args.isEmpty()) {
            root = args.takeFirst();
        } else {
            std::fputs("usage: spindle-cli devices [--sysfs DIR]\n", stderr);
            return 2;
        }
    }
    const platform::DriveLists lists = platform::listDrives(root);
    for (const QString &d : lists.removable)
        std::printf("floppy %s\n", d.toUtf8().constData());
    for (const QString &d : lists.cdrom)
        std::printf("cdrom %s\n", d.toUtf8().constData());
    return 0;
}

} // namespace cli
