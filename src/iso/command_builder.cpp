#include "iso/command_builder.h"

#include "exec/command_line.h"
#include "exec/tools.h"
#include "platform/bounded_read.h"
#include "platform/platform.h"

#include <QDir>

#include <cerrno>

namespace iso {

namespace {
const QString kBatchName = QStringLiteral("build.bat");
const QString kWeightListName = QStringLiteral("build.weights");

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

// `path` below `folder` (both absolute), or empty when it is not below it.
QString below(const QString &path, const QString &folder)
{
    QString prefix = folder;
    while (prefix.size() > 1 && prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (prefix != QLatin1String("/"))
        prefix += QLatin1Char('/');
    if (!path.startsWith(prefix) || path.size() == prefix.size())
        return QString();
    return path.mid(prefix.size());
}

// A relative path that climbs out of its folder.
bool climbsOut(const QString &relative)
{
    const QString clean = QDir::cleanPath(relative);
    return clean == QLatin1String("..") || clean.startsWith(QLatin1String("../"));
}
} // namespace

MkisoPaths resolvePaths(const IsoOptions &o, const QString &spindleFolder)
{
    MkisoPaths p;
    const QString batch = o.text(Opt::batch_folder);
    p.runFolder = batch.isEmpty() ? spindleFolder : platform::absolutePath(batch, spindleFolder);
    p.batchFile = joinPath(p.runFolder, kBatchName);
    p.weightList = joinPath(p.runFolder, kWeightListName);
    const QString mkisofs = o.text(Opt::mkisofs_folder);
    // A bare name is looked for as any program is; a path is absolute.
    p.program = mkisofs.contains(QLatin1Char('/')) ? platform::absolutePath(mkisofs, p.runFolder) : mkisofs;
    p.root = platform::absolutePath(o.text(Opt::root_folder), p.runFolder);
    const QString folder = o.text(Opt::output_folder), name = o.text(Opt::output_filename);
    if (!folder.isEmpty() && !name.isEmpty())
        p.output = platform::absolutePath(joinPath(folder, name), p.runFolder);
    p.sortFile = platform::absolutePath(o.text(Opt::sorting_list), p.runFolder);
    const QString boot = o.text(Opt::boot_image);
    if (!boot.isEmpty()) {
        // mkisofs takes the boot image below the root, without a leading
        // slash; a full path inside the root is made so.
        if (QDir::isAbsolutePath(boot)) {
            p.bootImage = boot;
            p.bootInRoot = p.root.isEmpty() ? QString() : below(boot, p.root);
        } else {
            p.bootImage = joinPath(p.root, boot);
            p.bootInRoot = climbsOut(boot) ? QString() : boot;
        }
        p.bootOutsideRoot = p.bootInRoot.isEmpty() && !p.root.isEmpty();
    }
    return p;
}

MkisoPaths resolvePaths(const IsoOptions &o) { return resolvePaths(o, platform::spindleFolder()); }

bool writeBatchFile(const QString &path, const exec::CommandLine &command, QString *error)
{
    QString reason;
    if (!platform::isFolder(path.left(path.lastIndexOf(QLatin1Char('/')) + 1)))
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

exec::CommandLine batchCommand(const QString &path) { return exec::CommandLine(path); }

QString mkisofsFileName() { return platform::exeName(QStringLiteral("mkisofs")); }

QString missingMkisofsMessage()
{
    return exec::missingToolMessage(mkisofsFileName());
}

BuiltCommand buildCommandLine(const IsoOptions &o)
{
    BuiltCommand b;
    exec::CommandLine &cl = b.command;
    // Every path goes on the line absolute, so none can read as an option
    // and none depends on the folder the line runs in.
    const MkisoPaths paths = resolvePaths(o);
    auto switchWords = [&](const char *word) {
        for (const QString &w : QString::fromLatin1(word).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            cl.arg(w);
    };
    // The value of a row as its form writes it; false when it is empty.
    auto addValue = [&](const OptionRow &r, Opt valueKey, Form form) {
        const QString text = o.text(valueKey);
        if (row(valueKey).kind != OptionKind::Integer && text.isEmpty())
            return false;
        switchWords(r.word);
        switch (form) {
        case Form::Bare: cl.arg(text); break;
        case Form::Quoted: cl.quoted(text); break;
        case Form::Number: cl.arg(QString::number(o.isoLevel())); break;
        // Free parameters arrive as text: read into words once, here.
        case Form::Words: cl.add(exec::splitArguments(platform::encodePath(text))); break;
        case Form::Path: cl.quoted(valueKey == Opt::root_folder ? paths.root : paths.sortFile); break;
        // One outside the root stays as it is: Check says why it fails.
        case Form::BootImage: cl.quoted(paths.bootInRoot.isEmpty() ? text : paths.bootInRoot); break;
        }
        return true;
    };

    for (Opt k : lineOrder()) {
        const OptionRow &r = row(k);
        if (r.line == 0)
            break;
        if (o.isOff(k))
            continue;
        QString missing = QString::fromLatin1(r.missing ? r.missing : "");
        if (r.piece == Piece::Program)
            missing = missing.arg(mkisofsFileName());
        switch (r.piece) {
        case Piece::None: break;
        case Piece::Program:
            if (paths.program.isEmpty()) {
                b.messages << missing;
                break;
            }
            cl.setProgram(paths.program, exec::Shown::Quoted);
            // The program word cannot carry a double quote.
            if (paths.program.contains(QLatin1Char('"')))
                b.messages << QStringLiteral("Path to %1 can't hold a double quote").arg(mkisofsFileName());
            break;
        case Piece::Flag:
            if (o.check(k) && (!r.needsEnabled || o.isEnabled(k)))
                switchWords(r.word);
            break;
        case Piece::Value: {
            if (!o.check(k) || (r.needsEnabled && !o.isEnabled(k)))
                break;
            // The program's own form: for xorrisofs, the sort file's
            // weights, written beside build.bat.
            const Support &own = supportOf(k, o.builder());
            if (own.treatment == Treatment::Converted && k == Opt::sorting) {
                if (!o.text(r.value).isEmpty()) {
                    switchWords(own.word);
                    cl.quoted(paths.weightList);
                }
                break;
            }
            if (!addValue(r, r.value, r.form) && r.missing)
                b.messages << missing;
            break;
        }
        case Piece::Text:
            if (!addValue(r, k, r.form) && r.missing)
                b.messages << missing;
            break;
        case Piece::Output:
            if (paths.output.isEmpty()) {
                b.messages << missing;
                break;
            }
            switchWords(r.word);
            cl.quoted(paths.output);
            break;
        }
    }
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
