#include "cli/cli_commands.h"

#include "iso/command_builder.h"
#include "iso/template_file.h"
#include "iso/mkisofs_program.h"
#include "iso/weight_list.h"
#include "platform/platform.h"

#include <QFileInfo>

#include <cstdio>

namespace cli {

bool loadTemplateOrSay(const QString &templatePath, iso::IsoOptions &options)
{
    QString error;
    switch (iso::loadTemplate(templatePath, options, &error)) {
    case iso::LoadResult::Loaded: return true;
    case iso::LoadResult::WrongVersion: std::fputs("Wrong file version\n", stderr); return false;
    case iso::LoadResult::Unreadable:
        std::fprintf(stderr, "%s\n", platform::cannotOpenText(templatePath, error).toUtf8().constData());
        return false;
    case iso::LoadResult::Refused: std::fprintf(stderr, "%s\n", error.toUtf8().constData()); return false;
    }
    return false;
}

int batch(const QStringList &argsIn)
{
    QStringList args = argsIn;
    QString templatePath, mkisofs, writeFolder;
    bool haveMkisofs = false;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == QLatin1String("--mkisofs") && !args.isEmpty()) {
            mkisofs = args.takeFirst();
            haveMkisofs = true;
        } else if (a == QLatin1String("--write") && !args.isEmpty()) {
            writeFolder = args.takeFirst();
        } else if (templatePath.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            templatePath = a;
        } else {
            templatePath.clear();
            break;
        }
    }
    if (templatePath.isEmpty()) {
        std::fputs("usage: spindle-cli batch TEMPLATE.mkiso [--mkisofs PATH] [--write FOLDER]\n", stderr);
        return 2;
    }
    // Paths given here count from where spindle-cli was started.
    templatePath = platform::absolutePath(templatePath);
    if (!platform::fileExists(templatePath) && !platform::isFolder(templatePath)) {
        std::fprintf(stderr, "%s\n", platform::cannotOpenText(templatePath, QStringLiteral("No such file or directory")).toUtf8().constData());
        return 1;
    }

    iso::IsoOptions options;
    if (!loadTemplateOrSay(templatePath, options))
        return 1;
    if (haveMkisofs)
        options.setText(iso::Opt::mkisofs_folder, mkisofs.contains(QLatin1Char('/')) ? platform::absolutePath(mkisofs) : mkisofs);
    // build.bat goes where --write says and runs there: the template's
    // relative paths count from that folder.
    if (!writeFolder.isEmpty()) {
        writeFolder = platform::absolutePath(writeFolder);
        options.setText(iso::Opt::batch_folder, writeFolder);
    }

    iso::identifyBuilder(options);
    const iso::BuiltCommand built = iso::buildCommandLine(options);
    // The line as build.bat holds it, byte for byte.
    const QByteArray line = built.command.render() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    for (const QString &m : built.messages)
        std::fprintf(stderr, "%s\n", m.toUtf8().constData());
    if (!writeFolder.isEmpty()) {
        // An incomplete command line is never written.
        if (!built.messages.isEmpty()) {
            std::fputs("build.bat not written\n", stderr);
            return 1;
        }
        QString error;
        if ((iso::needsWeightList(options) && !iso::writeWeightList(options, &error))
            || !iso::writeBatchFile(iso::resolvePaths(options).batchFile, built.command, &error)) {
            std::fprintf(stderr, "%s\n", error.toUtf8().constData());
            return 1;
        }
    }
    return 0;
}

} // namespace cli
