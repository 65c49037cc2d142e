#include "cli/cli_commands.h"

#include "platform/path_codec.h"
#include "tree/sort_list.h"

#include <cstdio>

namespace cli {

namespace {
int fail(const QString &text)
{
    // Paths in the text keep their bytes.
    std::fprintf(stderr, "%s\n", platform::encodePath(text).constData());
    return 1;
}

int sortlistUsage()
{
    std::fputs("usage: spindle-cli sortlist sort IN OUT\n"
               "       spindle-cli sortlist import IN BASE OUT\n"
               "       spindle-cli sortlist export IN BASE OUT\n",
               stderr);
    return 2;
}
} // namespace

// The layout sorter's list operations on files, with the first row current.
int sortlist(const QStringList &args)
{
    const QString op = args.value(0);
    const bool threeArgs = op == QLatin1String("sort");
    if (!(threeArgs || op == QLatin1String("import") || op == QLatin1String("export"))
        || args.size() != (threeArgs ? 3 : 4))
        return sortlistUsage();
    const QString in = args.at(1);
    const QString out = args.last();
    const QString base = threeArgs ? QString() : args.at(2);

    tree::SortList list;
    QList<tree::SortRow> rows;
    QString error;
    const bool import = op == QLatin1String("import");
    if (!tree::readSortFile(in, !import, &rows, &error))
        return fail(error);
    const tree::WeightCheck check = tree::checkWeights(rows);
    if (check.count > 0)
        std::fprintf(stderr, "%s: %s\n", platform::encodePath(in).constData(),
                     tree::noValidWeightText(check).toUtf8().constData());
    list.insertEntries(import ? tree::joinedTo(tree::baseFolder(base), rows) : rows);
    if (threeArgs) {
        if (!list.sort(&error))
            return fail(QStringLiteral("%1: the first row's weight '%2' is not an integer; nothing sorted")
                            .arg(in, list.currentWeight()));
        if (!error.isEmpty())
            return fail(error);
    }
    const QString exportBase = op == QLatin1String("export") ? tree::exportBase(base) : QString();
    if (!tree::writeSortFile(out, list, exportBase, &error))
        return fail(error);
    return 0;
}

} // namespace cli
