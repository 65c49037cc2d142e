#include "iso/command_builder.h"

#include "exec/command_line.h"
#include "exec/tools.h"
#include "platform/platform.h"

#include <QFile>
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

bool writeBatchFile(const QString &folder, const QString &commandLine, QString *error)
{
    const QString path = batchFilePath(folder);
    QString reason;
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
        reason = platform::errorText(ENOENT);
    else if (platform::writeFileAtomic(path, batchFile(commandLine), &reason))
        return true;
    if (error)
        *error = platform::cannotCreateText(path, reason);
    return false;
}

QString batchFileCommandLine(const QString &path)
{
    // Make Batch writes a few hundred bytes; anything far larger is not its.
    constexpr qint64 kLimit = 1 << 20;
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray all = f.read(kLimit + 1);
    if (all.size() > kLimit)
        return QString();
    const QList<QByteArray> lines = all.split('\n');
    if (lines.size() < 6)
        return QString();
    QByteArray line = lines.at(5);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString outputOfCommandLine(const QString &commandLine, const QString &runFolder)
{
    const QStringList words = exec::splitCommandLine(commandLine);
    const qsizetype at = words.indexOf(QStringLiteral("-o"));
    if (at < 1 || at + 1 >= words.size() || words.at(at + 1).isEmpty())
        return QString();
    return platform::absolutePath(words.at(at + 1), runFolder);
}

QString batchCommandLine(const QString &folder)
{
    const QString path = batchFilePath(folder);
    // The runner splits its command line: a path with blanks goes between
    // quotes, any other as it stands.
    if (path.contains(QLatin1Char(' ')) || path.contains(QLatin1Char('\t'))) {
        const QString quoted = exec::quoteProgram(path);
        if (!quoted.isEmpty())
            return quoted;
    }
    return path;
}

QString mkisofsFileName() { return platform::exeName(QStringLiteral("mkisofs")); }

QString missingMkisofsMessage()
{
    return exec::missingToolMessage(mkisofsFileName());
}

BuiltCommand buildCommandLine(const IsoOptions &o)
{
    BuiltCommand b;
    QString &cl = b.commandLine;
    auto on = [&](const char *k) { return o.check(QLatin1String(k)); };
    auto onAndEnabled = [&](const char *k) { return on(k) && o.isEnabled(QLatin1String(k)); };
    auto text = [&](const char *k) { return o.text(QLatin1String(k)); };
    auto quoted = [](const QString &v) { return exec::quoteArgument(v); };
    // Every path goes on the line absolute, so none can read as an option
    // and none depends on the folder the line runs in.
    const QString base = runFolder(o);
    auto path = [&](const char *k) { return platform::absolutePath(text(k), base); };
    auto flag = [&](const char *k, const char *piece) {
        if (on(k))
            cl += QLatin1String(piece);
    };

    if (!text("mkisofs_folder").isEmpty()) {
        // A bare name is looked for as any program is; a path is absolute.
        const QString mkisofs = text("mkisofs_folder");
        const QString program = exec::quoteProgram(mkisofs.contains(QLatin1Char('/')) ? path("mkisofs_folder") : mkisofs);
        // The program word cannot carry a double quote.
        if (program.isEmpty())
            b.messages << QStringLiteral("Path to %1 can't hold a double quote").arg(mkisofsFileName());
        cl += program;
    } else
        b.messages << QStringLiteral("Path to %1 isn't specified").arg(mkisofsFileName());
    flag("Joliet", " -J");
    flag("Joliet_long", " -joliet-long");
    flag("full_ISO", " -l");
    flag("max_ISO", " -max-iso9660-filenames");
    flag("RRRidge", " -r");
    if (on("ISO_level"))
        cl += QStringLiteral(" -iso-level ") + QString::number(o.isoLevel());
    flag("ISO9660:1999", " -iso-level 4");
    flag("Omit_ver_nr", " -N");
    flag("Verbose", " -v");
    flag("multidot", " -allow-multidot");
    flag("omit_period", " -d");
    flag("allow_lowercase", " -allow-lowercase");
    flag("no_iso_translate", " -no-iso-translate");
    flag("relaxed_filenames", " -relaxed-filenames");
    flag("duplicates_once", " -duplicates-once");
    if (on("other_param") && !text("other_param_value").isEmpty())
        cl += QLatin1Char(' ') + text("other_param_value");
    if (on("other_param_2") && !text("other_param_value_2").isEmpty())
        cl += QLatin1Char(' ') + text("other_param_value_2");
    if (on("sorting") && !text("sorting_list").isEmpty())
        cl += QStringLiteral(" -sort ") + quoted(path("sorting_list"));
    if (onAndEnabled("boot_info_table"))
        cl += QStringLiteral(" -boot-info-table");
    if (onAndEnabled("boot_load_segment")) {
        if (!text("blsegment_value").isEmpty())
            cl += QStringLiteral(" -boot-load-seg ") + text("blsegment_value");
        else
            b.messages << QStringLiteral("Boot load segment value isn't specified");
    }
    if (onAndEnabled("boot_load_size")) {
        if (!text("blsize_value").isEmpty())
            cl += QStringLiteral(" -boot-load-size ") + text("blsize_value");
        else
            b.messages << QStringLiteral("Boot load size value isn't specified");
    }
    if (on("charset")) {
        if (!text("charset_value").isEmpty())
            cl += QStringLiteral(" -output-charset ") + text("charset_value");
        else
            b.messages << QStringLiteral("Output charset isn't specified");
    }
    if (onAndEnabled("boot_cat"))
        cl += QStringLiteral(" -hide boot.catalog");
    if (onAndEnabled("joliet_boot_cat"))
        cl += QStringLiteral(" -hide-joliet boot.catalog");
    if (!text("output_folder").isEmpty() && !text("output_filename").isEmpty())
        cl += QStringLiteral(" -o ") + quoted(outputImagePath(o));
    else
        b.messages << QStringLiteral("Output folder or file name isn't specified");
    if (on("bootable")) {
        if (!text("boot_image").isEmpty())
            cl += QStringLiteral(" -b ") + quoted(text("boot_image"));
        else
            b.messages << QStringLiteral("Boot image/sector isn't specified");
    }
    if (on("bootable") && on("no_emulation"))
        cl += QStringLiteral(" -no-emul-boot");
    const std::pair<const char *, const char *> info[] = {
        {"preparer", " -p "}, {"volume_ID", " -volid "}, {"app_ID", " -appid "},
        {"publisher_ID", " -P "}, {"sys_ID", " -sysid "}};
    for (const auto &[key, prefix] : info)
        if (!text(key).isEmpty())
            cl += QLatin1String(prefix) + quoted(text(key));
    if (!text("root_folder").isEmpty())
        cl += QLatin1Char(' ') + quoted(path("root_folder"));
    else
        b.messages << QStringLiteral("Root of CD tree isn't specified");
    return b;
}

QByteArray batchFile(const QString &commandLine)
{
    const QByteArray rule = "rem ------------------------------";
    const QList<QByteArray> lines{"@echo off", "echo this file is generated by Spindle", "@echo off", rule,
                                  "@echo on", commandLine.toUtf8(), "@echo off", rule, "pause"};
    QByteArray out;
    for (const QByteArray &l : lines)
        out += l + "\r\n";
    return out;
}

} // namespace iso
