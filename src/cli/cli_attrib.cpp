#include "cli/cli_commands.h"

#include "platform/platform.h"

#include <QDir>
#include <QList>

#include <cstdio>
#include <map>
#include <memory>

namespace cli {

namespace {
int attribUsage()
{
    std::fputs("usage: spindle-cli attrib PATH...\n"
               "       spindle-cli attrib [--set LETTERS] [--clear LETTERS] [--] PATH...\n"
               "       (letters R read only, H hidden, S system, A archive)\n",
               stderr);
    return 2;
}

// "RHSA" in either case to attribute bits; false on any other letter.
bool parseLetters(const QString &letters, quint16 *bits)
{
    *bits = 0;
    for (const QChar c : letters) {
        switch (c.toUpper().unicode()) {
        case 'R': *bits |= platform::kReadOnly; break;
        case 'H': *bits |= platform::kHidden; break;
        case 'S': *bits |= platform::kSystem; break;
        case 'A': *bits |= platform::kArchive; break;
        default: return false;
        }
    }
    return !letters.isEmpty();
}

void printWord(const QString &path, quint16 word)
{
    std::printf("0x%02x %s\n", unsigned(word), platform::encodePath(path).constData());
}

void printError(const QString &path, const QString &error)
{
    std::fprintf(stderr, "spindle-cli: %s: %s\n", platform::encodePath(path).constData(),
                 error.toLocal8Bit().constData());
}
} // namespace

// Without options each path's attribute word as the folder listing reads it
// ("0x21 docs/a.txt"). With --set and --clear, Change Attrib. on the paths:
// each path's own folder is the folder chosen, so the entry itself is
// never followed when it is a link, and the new word is printed.
int attrib(const QStringList &args)
{
    quint16 set = 0, clear = 0;
    bool change = false;
    qsizetype i = 0;
    for (; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--")) {
            ++i;
            break;
        }
        if (a != QLatin1String("--set") && a != QLatin1String("--clear"))
            break;
        quint16 bits = 0;
        if (i + 1 >= args.size() || !parseLetters(args[i + 1], &bits)) {
            std::fprintf(stderr, "spindle-cli: %s needs letters out of R, H, S and A\n", a.toLatin1().constData());
            return attribUsage();
        }
        (a == QLatin1String("--set") ? set : clear) |= bits;
        change = true;
        ++i;
    }
    const QStringList paths = args.mid(i);
    if (paths.isEmpty())
        return attribUsage();
    if (set & clear) {
        std::fputs("spindle-cli: an attribute cannot be both set and cleared\n", stderr);
        return 2;
    }
    int rc = 0;
    if (!change) {
        for (const QString &path : paths) {
            quint16 word = 0;
            QString error;
            if (platform::readAttributes(path, &word, &error)) {
                printWord(path, word);
            } else {
                printError(path, error);
                rc = 1;
            }
        }
        return rc;
    }
    // Each path's folder is opened once, without following a link on its
    // way, and its entries are reached relative to it: a folder swapped for
    // a link while the run goes on cannot send a write elsewhere.
    const QString here = platform::startDirectory();
    std::map<QString, std::pair<std::unique_ptr<platform::OpenedFolder>, QString>> folders;
    for (const QString &path : paths) {
        const QString full =
            QDir::cleanPath(path.startsWith(QLatin1Char('/')) ? path : here + QLatin1Char('/') + path);
        const qsizetype slash = full.lastIndexOf(QLatin1Char('/'));
        const QString folderPath = slash <= 0 ? QStringLiteral("/") : full.left(slash);
        const QByteArray name = platform::encodePath(full.mid(slash + 1));
        auto &[folder, openError] = folders[folderPath];
        if (!folder) {
            folder = std::make_unique<platform::OpenedFolder>();
            folder->open(folderPath, &openError);
        }
        quint16 word = 0;
        QString error = openError;
        if (error.isEmpty() && folder->changeAttributes(name, set, clear, &error)
            && folder->readAttributes(name, &word, &error)) {
            printWord(path, word);
        } else {
            printError(path, error);
            rc = 1;
        }
    }
    return rc;
}

} // namespace cli
