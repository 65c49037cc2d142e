#include "iso/command_builder.h"

#include "exec/command_line.h"
#include "exec/tools.h"
#include "platform/bounded_read.h"
#include "platform/platform.h"

#include <QFileInfo>

#include <cerrno>

namespace iso {

namespace {
const QString kBatchName = QStringLiteral("build.bat");
} // namespace

QString batchFolderPath(const QString &folder)
{
    return platform::absolutePath(folder, platform::spindleFolder());
}

QString runFolder(const IsoOptions &o)
{
    const QString folder = o.text(QStringLiteral("batch_folder"));
    return folder.isEmpty() ? platform::spindleFolder() : batchFolderPath(folder);
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString outputImagePath(const IsoOptions &o)
{
    const QString folder = o.text(QStringLiteral("output_folder"));
    const QString name = o.text(QStringLiteral("output_filename"));
    if (folder.isEmpty() || name.isEmpty())
        return QString();
    return platform::absolutePath(joinPath(folder, name), runFolder(o));
}

QString batchFilePath(const QString &folder)
{
    return joinPath(batchFolderPath(folder), kBatchName);
}

bool writeBatchFile(const QString &folder, const exec::CommandLine &command, QString *error)
{
    const QString path = batchFilePath(folder);
    QString reason;
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        reason = platform::errorText(ENOENT);
    else if (platform::writeFileAtomic(path, batchFile(command), &reason))
        return true;
    if (error)
        *error = platform::cannotCreateText(path, reason);
    return false;
}

std::optional<exec::CommandLine> batchFileCommand(const QString &path)
{
    // Make Batch writes a few hundred bytes; anything far larger is not its.
    constexpr qint64 kLimit = 1 << 20;
    const platform::BoundedRead file = platform::readBounded(path, kLimit);
    if (file.status != platform::BoundedRead::Ok)
        return std::nullopt;
    const QList<QByteArray> lines = file.data.split('\n');
    if (lines.size() < 6)
        return std::nullopt;
    QByteArray line = lines.at(5);
    if (line.endsWith('\r'))
        line.chop(1);
    // build.bat's line arrives as text: read into words once, here.
    return exec::parseCommandLine(line);
}

QString outputOfCommand(const exec::CommandLine &command, const QString &runFolder)
{
    bool found = false;
    const QByteArray file = command.valueAfter("-o", &found);
    if (!found || file.isEmpty())
        return QString();
    return platform::absolutePath(platform::decodePath(file), runFolder);
}

exec::CommandLine batchCommand(const QString &folder) { return exec::CommandLine(batchFilePath(folder)); }

QString mkisofsFileName() { return platform::exeName(QStringLiteral("mkisofs")); }

QString missingMkisofsMessage()
{
    return exec::missingToolMessage(mkisofsFileName());
}

BuiltCommand buildCommandLine(const IsoOptions &o)
{
    BuiltCommand b;
    exec::CommandLine &cl = b.command;
    auto on = [&](const char *k) { return o.check(QLatin1String(k)); };
    auto onAndEnabled = [&](const char *k) { return on(k) && o.isEnabled(QLatin1String(k)); };
    auto text = [&](const char *k) { return o.text(QLatin1String(k)); };
    // Every path goes on the line absolute, so none can read as an option
    // and none depends on the folder the line runs in.
    const QString base = runFolder(o);
    auto path = [&](const char *k) { return platform::absolutePath(text(k), base); };
    auto flag = [&](const char *k, const char *word) {
        if (on(k))
            cl.arg(QLatin1String(word));
    };
    // Free parameters arrive as text: read into words once, here.
    auto freeWords = [&](const char *check, const char *value) {
        if (on(check) && !text(value).isEmpty())
            cl.add(exec::splitArguments(platform::encodePath(text(value))));
    };

    if (!text("mkisofs_folder").isEmpty()) {
        // A bare name is looked for as any program is; a path is absolute.
        const QString mkisofs = text("mkisofs_folder");
        cl.setProgram(mkisofs.contains(QLatin1Char('/')) ? path("mkisofs_folder") : mkisofs, exec::Shown::Quoted);
        // The program word cannot carry a double quote.
        if (mkisofs.contains(QLatin1Char('"')))
            b.messages << QStringLiteral("Path to %1 can't hold a double quote").arg(mkisofsFileName());
    } else
        b.messages << QStringLiteral("Path to %1 isn't specified").arg(mkisofsFileName());
    flag("Joliet", "-J");
    flag("Joliet_long", "-joliet-long");
    flag("full_ISO", "-l");
    flag("max_ISO", "-max-iso9660-filenames");
    flag("RRRidge", "-r");
    if (on("ISO_level"))
        cl.arg(QStringLiteral("-iso-level")).arg(QString::number(o.isoLevel()));
    if (on("ISO9660:1999"))
        cl.arg(QStringLiteral("-iso-level")).arg(QStringLiteral("4"));
    flag("Omit_ver_nr", "-N");
    flag("Verbose", "-v");
    flag("multidot", "-allow-multidot");
    flag("omit_period", "-d");
    flag("allow_lowercase", "-allow-lowercase");
    flag("no_iso_translate", "-no-iso-translate");
    flag("relaxed_filenames", "-relaxed-filenames");
    flag("duplicates_once", "-duplicates-once");
    freeWords("other_param", "other_param_value");
    freeWords("other_param_2", "other_param_value_2");
    if (on("sorting") && !text("sorting_list").isEmpty())
        cl.arg(QStringLiteral("-sort")).quoted(path("sorting_list"));
    if (onAndEnabled("boot_info_table"))
        cl.arg(QStringLiteral("-boot-info-table"));
    if (onAndEnabled("boot_load_segment")) {
        if (!text("blsegment_value").isEmpty())
            cl.arg(QStringLiteral("-boot-load-seg")).arg(text("blsegment_value"));
        else
            b.messages << QStringLiteral("Boot load segment value isn't specified");
    }
    if (onAndEnabled("boot_load_size")) {
        if (!text("blsize_value").isEmpty())
            cl.arg(QStringLiteral("-boot-load-size")).arg(text("blsize_value"));
        else
            b.messages << QStringLiteral("Boot load size value isn't specified");
    }
    if (on("charset")) {
        if (!text("charset_value").isEmpty())
            cl.arg(QStringLiteral("-output-charset")).arg(text("charset_value"));
        else
            b.messages << QStringLiteral("Output charset isn't specified");
    }
    if (onAndEnabled("boot_cat"))
        cl.arg(QStringLiteral("-hide")).arg(QStringLiteral("boot.catalog"));
    if (onAndEnabled("joliet_boot_cat"))
        cl.arg(QStringLiteral("-hide-joliet")).arg(QStringLiteral("boot.catalog"));
    if (!text("output_folder").isEmpty() && !text("output_filename").isEmpty())
        cl.arg(QStringLiteral("-o")).quoted(outputImagePath(o));
    else
        b.messages << QStringLiteral("Output folder or file name isn't specified");
    if (on("bootable")) {
        if (!text("boot_image").isEmpty())
            cl.arg(QStringLiteral("-b")).quoted(text("boot_image"));
        else
            b.messages << QStringLiteral("Boot image/sector isn't specified");
    }
    if (on("bootable") && on("no_emulation"))
        cl.arg(QStringLiteral("-no-emul-boot"));
    const std::pair<const char *, const char *> info[] = {
        {"preparer", "-p"}, {"volume_ID", "-volid"}, {"app_ID", "-appid"}, {"publisher_ID", "-P"}, {"sys_ID", "-sysid"}};
    for (const auto &[key, option] : info)
        if (!text(key).isEmpty())
            cl.arg(QLatin1String(option)).quoted(text(key));
    if (!text("root_folder").isEmpty())
        cl.quoted(path("root_folder"));
    else
        b.messages << QStringLiteral("Root of CD tree isn't specified");
    return b;
}

QByteArray batchFile(const exec::CommandLine &command)
{
    const QByteArray rule = "rem ------------------------------";
    const QList<QByteArray> lines{"@echo off", "echo this file is generated by Spindle", "@echo off", rule,
                                  "@echo on", command.render(), "@echo off", rule, "pause"};
    QByteArray out;
    for (const QByteArray &l : lines)
        out += l + "\r\n";
    return out;
}

} // namespace iso
