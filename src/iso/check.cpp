#include "iso/check.h"

#include "iso/check_sort.h"
#include "iso/command_builder.h"
#include "base/output_lines.h"
#include "exec/command_line.h"
#include "exec/dos_command.h"
#include "exec/tools.h"
#include "platform/platform.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringEncoder>

#include <functional>

#include <limits>
#include <memory>
#include <optional>

namespace iso {

namespace {

constexpr qint64 kSectorBytes = 2048;
constexpr qint64 kFourGiB = qint64(4) << 30;
constexpr int kExamples = 5;
// genisoimage leaves out the contents of folders this many levels below the
// root unless Rock Ridge relocates them.
constexpr int kTooDeep = 7;
constexpr int kMaxPath = 255;

// A group of like problems, filled while walking.
struct Group
{
    bool fatal;
    QString sentence, fix;
    QStringList examples;
    qsizetype count = 0;

    void add(const QString &example)
    {
        if (examples.size() < kExamples)
            examples << example;
        ++count;
    }
};

bool isDChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// True when one of the free parameters holds `word` as a word of its own.
bool freeParameter(const IsoOptions &o, const QStringList &words)
{
    QStringList params;
    if (o.check(Opt::other_param))
        params << exec::splitCommandLine(QStringLiteral("x ") + o.text(Opt::other_param_value)).mid(1);
    if (o.check(Opt::other_param_2))
        params << exec::splitCommandLine(QStringLiteral("x ") + o.text(Opt::other_param_value_2)).mid(1);
    for (const QString &w : words)
        if (params.contains(w))
            return true;
    return false;
}

int isoLevel(const IsoOptions &o)
{
    if (o.check(Opt::ISO9660_1999))
        return 4;
    return o.check(Opt::ISO_level) ? o.isoLevel() : 1;
}

QString megabytes(qint64 sectors)
{
    return QString::number(double(sectors * kSectorBytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

} // namespace

const QList<Medium> &media()
{
    static const QList<Medium> list{{"74-min CD", 333000}, {"80-min CD", 360000}, {"90-min CD", 405000},
                                    {"99-min CD", 445500}, {"single-layer DVD", 2295104}};
    return list;
}

bool CheckReport::hasFatal() const
{
    for (const CheckProblem &p : problems)
        if (p.fatal)
            return true;
    return false;
}

QString CheckReport::text() const
{
    QStringList out;
    if (sectors >= 0) {
        out << QStringLiteral("Size: %1 sectors (%2)").arg(sectors).arg(megabytes(sectors));
        QStringList fit, tooSmall;
        for (const Medium &m : media())
            (sectors <= m.sectors ? fit : tooSmall) << QString::fromLatin1(m.name);
        if (!fit.isEmpty())
            out << QStringLiteral("Fits: ") + fit.join(QStringLiteral(", "));
        if (!tooSmall.isEmpty())
            out << QStringLiteral("Too large for: ") + tooSmall.join(QStringLiteral(", "));
    } else {
        out << QStringLiteral("Size: unknown. ") + sizeError;
    }
    out << QStringLiteral("Entries checked: %1").arg(entries);
    qsizetype fatal = 0;
    for (const CheckProblem &p : problems)
        fatal += p.fatal ? 1 : 0;
    if (problems.isEmpty())
        out << QStringLiteral("No problems found.");
    else
        out << QStringLiteral("%1 problem(s), %2 warning(s):").arg(fatal).arg(problems.size() - fatal);
    for (const CheckProblem &p : problems) {
        QString line = (p.fatal ? QStringLiteral("Problem: ") : QStringLiteral("Warning: ")) + p.sentence;
        if (p.count > 1 || !p.examples.isEmpty())
            line += QStringLiteral(" (%1)").arg(p.count);
        if (!p.fix.isEmpty())
            line += QStringLiteral(" Fix: ") + p.fix + QLatin1Char('.');
        out << line;
        for (const QString &e : p.examples)
            out << QStringLiteral("    ") + e;
        if (p.count > p.examples.size())
            out << QStringLiteral("    ... and %1 more").arg(p.count - p.examples.size());
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

exec::CommandLine sizeRunCommand(const exec::CommandLine &command)
{
    if (command.isEmpty())
        return {};
    exec::CommandLine out;
    out.setProgram(command.programPath(), command.program().shown);
    out.add(QByteArray("-print-size"));
    const QList<exec::Word> &args = command.arguments();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QByteArray &w = args[i].bytes;
        // The image, and xorrisofs's weights (the order changes no sector
        // count, and Make Batch writes the list only later).
        if (w == "-o" || w == "--sort-weight-list") {
            ++i; // and its file
            continue;
        }
        if (w == "-quiet" || w == "-print-size")
            continue;
        out.add(w, args[i].shown);
    }
    return out;
}

qint64 parseSectorCount(const QStringList &lines)
{
    static const QString kTotal = QStringLiteral("Total extents scheduled to be written = ");
    qint64 bare = -1;
    for (const QString &l : lines) {
        const QString t = l.trimmed();
        bool ok = false;
        if (t.startsWith(kTotal)) {
            const qint64 v = t.mid(kTotal.size()).toLongLong(&ok);
            if (ok && v >= 0)
                return v;
        }
        const qint64 v = t.toLongLong(&ok);
        if (ok && v >= 0 && !t.isEmpty() && t.front().isDigit())
            bare = v;
    }
    return bare;
}

bool runSizeCheck(const exec::CommandLine &command, qint64 *sectors, QStringList *output, QString *error)
{
    if (exec::TDosCommand::resolve(command).isEmpty()) {
        *error = QStringLiteral("%1 cannot be started: %2").arg(mkisofsFileName(), command.programPath());
        return false;
    }
    exec::TDosCommand cmd;
    base::StringListLines lines;
    cmd.setOutputLines(&lines);
    QEventLoop loop;
    quint32 exitCode = 0;
    bool ended = false;
    cmd.OnTerminated = [&](exec::TDosCommand *, quint32 code) {
        exitCode = code;
        ended = true;
        loop.quit();
    };
    cmd.Execute(command);
    if (!ended)
        loop.exec();
    if (output)
        *output = lines.lines();
    const qint64 n = parseSectorCount(lines.lines());
    if (exitCode != 0 || n < 0) {
        // genisoimage says why in its last lines.
        QStringList last;
        for (qsizetype i = lines.lines().size() - 1; i >= 0 && last.size() < 3; --i)
            if (!lines.lines()[i].trimmed().isEmpty())
                last.prepend(lines.lines()[i].trimmed());
        *error = QStringLiteral("%1 stopped with exit code %2: %3")
                     .arg(mkisofsFileName())
                     .arg(exitCode)
                     .arg(last.join(QLatin1Char(' ')));
        return false;
    }
    *sectors = n;
    return true;
}

QString isoName(const QString &name, bool folder, const IsoOptions &o)
{
    const int level = isoLevel(o);
    if (level >= 4)
        return name;
    const bool lower = o.check(Opt::allow_lowercase);
    const bool relaxed = o.check(Opt::relaxed_filenames);
    const bool multidot = o.check(Opt::multidot);
    const bool omitPeriod = o.check(Opt::omit_period);
    qsizetype limit = 31;
    if (o.check(Opt::max_ISO))
        limit = 37;
    else if (level == 1 && !o.check(Opt::full_ISO))
        limit = 0; // 8.3
    // genisoimage maps bytes, so a character of several bytes becomes as many.
    const QByteArray bytes = platform::encodePath(name);
    const qsizetype lastDot = folder ? -1 : bytes.lastIndexOf('.');
    QByteArray base, ext;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (i == lastDot)
            continue;
        if (c >= 'a' && c <= 'z' && !lower)
            c = char(c - 'a' + 'A');
        else if (c == '.' && multidot)
            ;
        else if (relaxed && c > ' ' && c < 0x7f && c != '/')
            ;
        else if (!isDChar(c) && !(lower && c >= 'a' && c <= 'z'))
            c = '_';
        (lastDot >= 0 && i > lastDot ? ext : base) += c;
    }
    if (limit == 0) {
        base.truncate(8);
        ext.truncate(3);
    } else {
        const qsizetype room = limit - (ext.isEmpty() ? 0 : ext.size() + 1);
        if (room > 0)
            base.truncate(room);
        else {
            ext.truncate(3);
            base.truncate(limit - ext.size() - 1);
        }
    }
    QByteArray out = base;
    if (!ext.isEmpty() || (!folder && !omitPeriod && lastDot >= 0))
        out += '.' + ext;
    return QString::fromLatin1(out);
}

void checkTree(const IsoOptions &o, const MkisoPaths &paths, CheckReport *report)
{
    const QString &root = paths.root;
    const bool joliet = o.check(Opt::Joliet);
    const bool jolietLong = o.check(Opt::Joliet_long);
    const bool rock = o.check(Opt::RRRidge)
                      || freeParameter(o, {QStringLiteral("-R"), QStringLiteral("-r"), QStringLiteral("-rock"),
                                           QStringLiteral("-rational-rock")});
    const bool deepAllowed = rock || freeParameter(o, {QStringLiteral("-D"), QStringLiteral("-disable-deep-relocation")});
    const int level = isoLevel(o);
    const bool limitedSize = freeParameter(o, {QStringLiteral("-allow-limited-size")});
    const qsizetype jolietMax = jolietLong ? 103 : 64;

    // Names in the output character set: Rock Ridge names are written in it.
    const QString charsetName = o.text(Opt::charset_value);
    const std::function<bool(const QString &)> carries = [&]() -> std::function<bool(const QString &)> {
        if (!rock || !o.check(Opt::charset) || charsetName.isEmpty())
            return {};
        QString key = charsetName.toLower();
        key.remove(QLatin1Char('-')).remove(QLatin1Char('_'));
        const auto upTo = [](char16_t top) {
            return [top](const QString &n) {
                for (QChar c : n)
                    if (c.unicode() > top)
                        return false;
                return true;
            };
        };
        if (key == QLatin1String("iso88591") || key == QLatin1String("latin1"))
            return upTo(0xff);
        if (key == QLatin1String("ascii") || key == QLatin1String("usascii"))
            return upTo(0x7f);
        auto encoder = std::make_shared<QStringEncoder>(charsetName.toLatin1().constData(),
                                                        QStringConverter::Flag::Stateless);
        if (!encoder->isValid())
            return {}; // genisoimage's own run says whether it knows the name
        return [encoder](const QString &n) {
            (void)encoder->encode(n);
            const bool ok = !encoder->hasError();
            encoder->resetState();
            return ok;
        };
    }();

    Group big{true, QStringLiteral("Files of 4 GiB or more: genisoimage refuses them."),
              level < 3 ? QStringLiteral("Choose ISO level 3 and add -allow-limited-size to Other parameters")
                        : QStringLiteral("Add -allow-limited-size to Other parameters"), {}};
    Group bigLimited{false, QStringLiteral("Files of 4 GiB or more: the ISO 9660 names show a shrunk size."),
                     QString(), {}};
    Group jolietCut{false, QStringLiteral("Joliet names over %1 characters: genisoimage cuts them.").arg(jolietMax),
                    jolietLong ? QStringLiteral("Shorten the names") : QStringLiteral("Tick Joliet long"), {}};
    Group jolietSame{true, QStringLiteral("Names that are the same Joliet name once cut: genisoimage stops."),
                     jolietLong ? QStringLiteral("Shorten the names") : QStringLiteral("Tick Joliet long"), {}};
    Group deep{true,
               QStringLiteral("Folders %1 or more levels below the root: genisoimage leaves out what they hold.")
                   .arg(kTooDeep),
               QStringLiteral("Tick Rationalized RockRidge"), {}};
    Group longPath{false, QStringLiteral("Paths longer than %1 characters: some systems cannot open them.").arg(kMaxPath),
                   QStringLiteral("Tick Rationalized RockRidge"), {}};
    Group mapped{false, QStringLiteral("Names that ISO level %1 changes (case, characters, length).").arg(level),
                 QStringLiteral("Tick Joliet or Rationalized RockRidge"), {}};
    Group sameIso{false, QStringLiteral("Names that are the same ISO 9660 name: genisoimage renames all but one."),
                  QStringLiteral("Tick Joliet or Rationalized RockRidge"), {}};
    Group notInCharset{false, QStringLiteral("Names that the output character set %1 cannot carry.").arg(charsetName),
                       QStringLiteral("Choose another Output Charset"), {}};
    Group unreadable{true, QStringLiteral("Folders that cannot be read: genisoimage stops or leaves them out."),
                     QString(), {}};

    const bool plainIso = !joliet && !rock;
    const bool sorting = o.check(Opt::sorting) && !o.text(Opt::sorting_list).isEmpty();
    // The sort file's paths: the root as the command line names it, without
    // its trailing slashes, a slash and the path below it.
    QString sortPrefix = root;
    while (sortPrefix.size() > 1 && sortPrefix.endsWith(QLatin1Char('/')))
        sortPrefix.chop(1);
    sortPrefix += QLatin1Char('/');
    QSet<QString> sortPaths;

    struct Pending
    {
        QString path, rel;
        int depth;
    };
    QList<Pending> todo{{root, QString(), 0}};
    QSet<std::pair<quint64, quint64>> seen;
    QHash<QString, QString> isoSeen, jolietSeen;
    while (!todo.isEmpty()) {
        const Pending dir = todo.takeLast();
        if (dir.depth >= kTooDeep && !deepAllowed) {
            deep.add(dir.rel); // what it holds is left out: nothing more to say of it
            continue;
        }
        platform::FolderEntry self;
        isoSeen.clear();
        jolietSeen.clear();
        QString err;
        const QString prefix = dir.path.endsWith(QLatin1Char('/')) ? dir.path : dir.path + QLatin1Char('/');
        const QString relPrefix = dir.rel.isEmpty() ? QString() : dir.rel + QLatin1Char('/');
        const bool ok = platform::readFolder(
            prefix,
            [&](const platform::FolderEntry &e) {
                const QString name = platform::decodePath(e.name);
                const QString rel = relPrefix + name;
                ++report->entries;
                if (sorting)
                    sortPaths.insert(sortPrefix + rel);
                if (!e.realFolder && e.size >= kFourGiB && !(e.attributes & platform::kDirectory))
                    (limitedSize && level >= 3 ? bigLimited : big).add(rel);
                if (joliet && name.size() > jolietMax) {
                    jolietCut.add(rel);
                    const QString cut = name.left(jolietMax);
                    const auto it = jolietSeen.constFind(cut);
                    if (it != jolietSeen.constEnd())
                        jolietSame.add(relPrefix + it.value() + QStringLiteral(" and ") + name);
                    else
                        jolietSeen.insert(cut, name);
                } else if (joliet) {
                    const auto it = jolietSeen.constFind(name);
                    if (it != jolietSeen.constEnd())
                        jolietSame.add(relPrefix + it.value() + QStringLiteral(" and ") + name);
                    else
                        jolietSeen.insert(name, name);
                }
                if (!rock && rel.size() > kMaxPath)
                    longPath.add(rel);
                if (plainIso && level < 4) {
                    const bool folder = e.attributes & platform::kDirectory;
                    const QString iso = isoName(name, folder, o);
                    if (iso != name)
                        mapped.add(rel + QStringLiteral(" -> ") + iso);
                    const auto it = isoSeen.constFind(iso);
                    if (it != isoSeen.constEnd())
                        sameIso.add(relPrefix + it.value() + QStringLiteral(" and ") + name + QStringLiteral(" -> ") + iso);
                    else
                        isoSeen.insert(iso, name);
                }
                if (carries && !carries(name))
                    notInCharset.add(rel);
                if (e.realFolder && !seen.contains({e.device, e.inode}))
                    todo.append({prefix + name, rel, dir.depth + 1});
            },
            &err, &self);
        if (!ok)
            unreadable.add((dir.rel.isEmpty() ? dir.path : dir.rel) + QStringLiteral(": ") + err);
        else
            seen.insert({self.device, self.inode});
    }

    for (Group *g : {&unreadable, &big, &jolietSame, &deep, &bigLimited, &jolietCut, &longPath, &sameIso, &mapped,
                     &notInCharset})
        if (g->count > 0)
            report->problems.append({g->fatal, g->sentence, g->fix, g->examples, g->count});

    if (sorting)
        checkSortFile(paths.sortFile, sortPrefix, sortPaths, &report->problems);
}

CheckReport runCheck(const IsoOptions &o, const QString &mkisofs)
{
    CheckReport report;
    const BuiltCommand built = buildCommandLine(o);
    // Without a program path the command has no program: the tool found the
    // usual way stands in.
    exec::CommandLine command = built.command;
    if (o.text(Opt::mkisofs_folder).isEmpty() || !mkisofs.isEmpty())
        command.setProgram(mkisofs.isEmpty() ? exec::findTool(mkisofsFileName()) : mkisofs, exec::Shown::Quoted);
    exec::CommandLine size = sizeRunCommand(command);
    const MkisoPaths paths = resolvePaths(o);
    if (paths.root.isEmpty()) {
        report.sizeError = QStringLiteral("Root of CD tree isn't specified");
        report.problems.append({true, QStringLiteral("Root of CD tree isn't specified"), QString(), {}, 0});
        return report;
    }
    // What the program ignores or refuses stays off the command line.
    QStringList off;
    for (const OptionRow &r : optionRows())
        if (r.kind == OptionKind::Check && o.check(r.key) && o.isOff(r.key))
            off << QString::fromUtf8(r.caption).trimmed() + QStringLiteral(": ") + o.offReason(r.key);
    if (!off.isEmpty())
        report.problems.append({false,
                                QStringLiteral("Options %1 does not do are left out of the command line.")
                                    .arg(QLatin1String(builderName(o.builder()))),
                                QString(), off, off.size()});
    if (o.check(Opt::bootable) && paths.bootOutsideRoot)
        report.problems.append({true,
                                QStringLiteral("The boot image is outside the root folder: genisoimage needs it "
                                               "inside the root folder."),
                                QStringLiteral("Copy it into the root folder and choose it there"),
                                {paths.bootImage}, 1});
    if (size.isEmpty())
        report.sizeError = QStringLiteral("%1 was not found.").arg(mkisofsFileName());
    else if (!runSizeCheck(size, &report.sectors, &report.sizeOutput, &report.sizeError))
        report.sectors = -1;
    if (report.sectors < 0) {
        report.problems.append({true, QStringLiteral("genisoimage cannot build this image: ") + report.sizeError,
                                QString(), {}, 0});
        // A refused sort file stops genisoimage before it counts: the size
        // without it is the same, since the order changes no sector count.
        const qsizetype sort = size.indexOf("-sort");
        if (sort >= 0 && sort + 1 < size.arguments().size()) {
            size.removeArguments(sort, 2);
            QString error;
            if (!runSizeCheck(size, &report.sectors, nullptr, &error))
                report.sectors = -1;
        }
    }
    if (report.sectors > media().last().sectors)
        report.problems.append({true, QStringLiteral("The image is larger than a single-layer DVD."), QString(), {}, 0});
    else if (report.sectors > media()[media().size() - 2].sectors)
        report.problems.append({false, QStringLiteral("The image is larger than any CD."), QString(), {}, 0});
    checkTree(o, paths, &report);
    return report;
}

} // namespace iso
