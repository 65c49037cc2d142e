#include "cli/cli_commands.h"

#include "iso/check.h"
#include "iso/template_file.h"
#include "iso/mkisofs_program.h"
#include "platform/platform.h"

#include <QFileInfo>

#include <cstdio>

namespace cli {

int check(const QStringList &argsIn)
{
    QStringList args = argsIn;
    QString templatePath, mkisofs;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--mkisofs") && !args.isEmpty()) {
            mkisofs = args.takeFirst();
        } else if (templatePath.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            templatePath = a;
        } else {
            templatePath.clear();
            break;
        }
    }
    if (templatePath.isEmpty()) {
        std::fputs("usage: spindle-cli check TEMPLATE.mkiso [--mkisofs PATH]\n", stderr);
        return 2;
    }
    // Paths given here count from where spindle-cli was started; the
    // template's own paths, as in the window, from Spindle's folder.
    templatePath = platform::absolutePath(templatePath);
    if (!platform::fileExists(templatePath) && !platform::isFolder(templatePath)) {
        std::fprintf(stderr, "%s\n",
                     platform::cannotOpenText(templatePath, QStringLiteral("No such file or directory")).toUtf8().constData());
        return 2;
    }
    iso::IsoOptions options;
    if (!loadTemplateOrSay(templatePath, options))
        return 2;
    if (mkisofs.isEmpty())
        iso::identifyBuilder(options);
    else
        options.setBuilder(iso::builderOfProgram(mkisofs.contains(QLatin1Char('/')) ? platform::absolutePath(mkisofs)
                                                                                    : platform::findProgram(mkisofs)));
    const iso::CheckReport report = iso::runCheck(options, mkisofs);
    std::fputs(report.text().toUtf8().constData(), stdout);
    return report.hasFatal() ? 1 : 0;
}

} // namespace cli
