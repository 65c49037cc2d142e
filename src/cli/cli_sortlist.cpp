#include "cli/cli_commands.h"

#include "platform/path_codec.h"
#include "tree/sort_file.h"
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

    tree::SortSpans rows;
    QString error;
    const bool import = op == QLatin1String("import");
    if (!tree::readSortFile(in, !import, &rows, &error))
        return fail(error);
    // A file written with a weight that is no number would give its file
    // weight 0 in the image: nothing is written.
    const tree::WeightCheck check = tree::checkWeights(rows);
    if (check.count > 0) {
        const tree::SortSpan &bad = rows.rows[size_t(check.firstLine - 1)];
        const QString weight = platform::decodePath(rows.text.mid(bad.weightAt, bad.weightBytes));
        const QString more = check.count > 1 ? QStringLiteral(" (%1)").arg(tree::noValidWeightText(check)) : QString();
        return fail(QStringLiteral("%1: line %2: %3%4; nothing written")
                        .arg(in)
                        .arg(check.firstLine)
                        .arg(tree::conversionErrorText(weight), more));
    }
    tree::SortList list;
    list.insertSpans(import ? tree::joinedTo(tree::baseFolder(base), rows) : std::move(rows));
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
