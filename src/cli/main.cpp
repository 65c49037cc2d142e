// spindle-cli: Spindle's logic from a terminal, for scripts and for
// reproducing exactly what a window runs.
#include "cli/cli_commands.h"
#include "exec/command_line.h"
#include "disc/diagnosis.h"
#include "exec/tool_errors.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/signals.h"

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
               "  order [--root DIR] IMAGE.iso [SORTFILE]\n"
               "                              the image's files by first sector (extent, size,\n"
               "                              path), with a sort file their weights and which\n"
               "                              lie out of order\n"
               "  attrib [--set LETTERS] [--clear LETTERS] PATH...\n"
               "                              Change Attrib. on each path (R, H, S, A);\n"
               "                              a symbolic link is left alone\n"
               "  read [--events] ADDRESS FILE\n"
               "                              read the disc into an image file (readcd)\n"
               "  cdimage [--events] DEVICE FILE\n"
               "                              copy the whole drive into a file (dd)\n"
               "  bootimage [--events] DEVICE the disc's boot images into the job folder (bbie)\n"
               "  burn [--events] [--simulate] [--no-fix] [--no-burnfree] [--speed N] [--verify] ADDRESS IMAGE\n"
               "                              write an image to the disc (cdrecord); --verify reads\n"
               "                              it back after a real burn\n"
               "  verify ADDRESS IMAGE        read the disc back and compare it with the image\n"
               "  blank [--events] ADDRESS TYPE\n"
               "                              blank a rewritable disc (cdrecord blank=TYPE)\n"
               "  doctor                      the tools, drives, device files and groups: why\n"
               "                              a drive does not show up\n"
               "  check TEMPLATE.mkiso [--mkisofs PATH]\n"
               "                              size, names and sort file of a template's image\n"
               "                              (exit 1: the image would be unusable)\n"
               "  --version                   print the version\n"
               "  --help                      print this list\n"
               ,
               to);
    return to == stderr ? 2 : 0;
}

static int run(int argc, char **argv)
{
    // Arguments are bytes: a name that is not UTF-8 keeps them all.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << platform::decodePath(QByteArray(argv[i]));
    if (args.isEmpty())
        return usage();
    const QString cmd = args.takeFirst();
    // A value with a line break would write or run a line of its own.
    // attrib only reads entries by their names, which may hold anything.
    if (cmd != QLatin1String("attrib")) {
        for (qsizetype i = 0; i < args.size(); ++i) {
            if (exec::holdsControlCharacter(args.at(i))) {
                std::fprintf(stderr,
                             "spindle-cli: argument %d of %s holds a control character (such as a line break); "
                             "no value may hold one\n",
                             int(i + 1), cmd.toUtf8().constData());
                return 2;
            }
        }
    }
    // A failure to open the drive is explained by the setup check.
    exec::setPermissionAdvice([] { return disc::diagnose(disc::systemSources()).summary; });
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
    if (cmd == QLatin1String("read"))
        return cli::readDisc(args);
    if (cmd == QLatin1String("cdimage"))
        return cli::cdImage(args);
    if (cmd == QLatin1String("bootimage"))
        return cli::bootImage(args);
    if (cmd == QLatin1String("burn"))
        return cli::burn(args);
    if (cmd == QLatin1String("blank"))
        return cli::blank(args);
    if (cmd == QLatin1String("verify"))
        return cli::verify(args);
    if (cmd == QLatin1String("doctor"))
        return cli::doctor(args);
    if (cmd == QLatin1String("sortlist"))
        return cli::sortlist(args);
    if (cmd == QLatin1String("check"))
        return cli::check(args);
    if (cmd == QLatin1String("attrib"))
        return cli::attrib(args);
    if (cmd == QLatin1String("order"))
        return cli::order(args);
    return usage();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // In the commands that run programs, a termination signal ends the
    // jobs the way Stop does, then spindle-cli, with 128 plus the signal's
    // number. The others keep the default: they have nothing to end first.
    static const char *const kRunners[] = {"exec", "run-bat", "drives", "caps", "read", "cdimage",
                                           "bootimage", "burn", "blank", "doctor", "check"};
    for (const char *name : kRunners)
        if (argc >= 2 && std::strcmp(argv[1], name) == 0) {
            platform::catchTerminationSignals();
            platform::onTerminationSignal(&app, [](int sig) { platform::endJobsAndExit(sig); });
        }
    const int rc = run(argc, argv);
    // No job outlives spindle-cli.
    platform::endAllJobs();
    // A signal that came as the command ended still sets the status.
    if (const int sig = platform::terminationSignal())
        return 128 + sig;
    return rc;
}
