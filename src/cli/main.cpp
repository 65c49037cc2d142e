// spindle-cli: Spindle's logic from a terminal, for scripts and for
// reproducing exactly what a window runs.
#include "cli_commands.h"
#include "platform/platform.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

static int usage(std::FILE *to = stderr)
{
    std::fputs("usage: spindle-cli COMMAND [ARGS]\n"
               "  tools                       where each console tool is found\n"
               "  exec [--events] [--max-time S] [--max-silence S] [--total BYTES] COMMANDLINE\n"
               "                              run a command line as Spindle runs it\n"
               "  run-bat FILE                run a batch file with Spindle's interpreter\n"
               "  batch TEMPLATE.mkiso [--mkisofs PATH] [--write FOLDER]\n"
               "                              print the image command line of a template\n"
               "  devices [--sysfs DIR]       the floppy/removable and CD/DVD drives, as the\n"
               "                              Other tools window lists them\n"
               "  drives                      scan for CD drives, one drop-down entry a line\n"
               "  caps ADDRESS                what the drive at bus,target,lun can write\n"
               "  sortlist sort IN OUT        sort a sort file by weight, highest first\n"
               "  sortlist import IN BASE OUT paths of IN made absolute below BASE\n"
               "  sortlist export IN BASE OUT paths of IN below BASE made relative to it\n"
               "  attrib PATH...              each path's attribute word, as the folder\n"
               "                              listing reads it (0x21 docs/a.txt)\n"
               "  check TEMPLATE.mkiso [--mkisofs PATH]\n"
               "                              size, names and sort file of a template's image\n"
               "                              (exit 1: the image would be unusable)\n"
               "  --version                   print the version\n"
               "  --help                      print this list\n"
               ,
               to);
    return to == stderr ? 2 : 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString cmd = args.takeFirst();
    if (cmd == QLatin1String("--version")) {
        std::printf("spindle-cli %s\n", SPINDLE_VERSION);
        return 0;
    }
    if (cmd == QLatin1String("--help"))
        return usage(stdout);
    if (cmd == QLatin1String("tools"))
        return cli::tools();
    if (cmd == QLatin1String("exec"))
        return cli::exec(args);
    if (cmd == QLatin1String("run-bat"))
        return cli::runBat(args);
    if (cmd == QLatin1String("batch"))
        return cli::batch(args);
    if (cmd == QLatin1String("devices"))
        return cli::devices(args);
    if (cmd == QLatin1String("drives"))
        return cli::drives(args);
    if (cmd == QLatin1String("caps"))
        return cli::caps(args);
    if (cmd == QLatin1String("sortlist"))
        return cli::sortlist(args);
    if (cmd == QLatin1String("check"))
        return cli::check(args);
    if (cmd == QLatin1String("attrib")) {
        // Paths are bytes: keep the ones that are not UTF-8 as they are.
        QStringList paths;
        for (int i = 2; i < argc; ++i)
            paths << platform::decodePath(QByteArray(argv[i]));
        return cli::attrib(paths);
    }
    return usage();
}
