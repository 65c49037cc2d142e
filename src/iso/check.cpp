#include "iso/check.h"

#include "iso/check_group.h"
#include "iso/check_names.h"
#include "iso/check_sort.h"
#include "iso/command_builder.h"
#include "base/output_lines.h"
#include "exec/command_line.h"
#include "exec/dos_command.h"
#include "exec/tool_errors.h"
#include "exec/tools.h"
#include "platform/charset.h"
#include "platform/platform.h"

#include <QEventLoop>
#include <QHash>
#include <QSet>
#include <QStringEncoder>

#include <functional>
#include <memory>

namespace iso {

namespace {

constexpr qint64 kSectorBytes = 2048;
constexpr qint64 kFourGiB = qint64(4) << 30;
// genisoimage leaves out the contents of folders this many levels below the
// root unless Rock Ridge relocates them.
constexpr int kTooDeep = 7;
constexpr int kMaxPath = 255;
// A failed size run: its lines from the first one the error table knows.
constexpr qsizetype kToolLines = 8;
constexpr qsizetype kLastLines = 3;
constexpr qsizetype kWrapAt = 100;

using Group = CheckGroup;

QString megabytes(qint64 sectors)
{
    return QString::number(double(sectors * kSectorBytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

QString programName(Builder b) { return b == Builder::Xorrisofs ? QStringLiteral("xorrisofs") : QStringLiteral("genisoimage"); }

QString rulesText(Builder b)
{
    switch (b) {
    case Builder::Xorrisofs:
        return QStringLiteral("xorrisofs's: Rock Ridge is always written, folders may lie at any depth, ISO 9660 "
                              "names as libisofs forms them, the preparer, publisher, application and system ids "
                              "in upper case");
    case Builder::Genisoimage: return QStringLiteral("genisoimage's");
    case Builder::Cdrtools: return QStringLiteral("genisoimage's, the nearest known to cdrtools' mkisofs");
    case Builder::Unknown: break;
    }
    return QStringLiteral("genisoimage's (the program behind mkisofs is not known)");
}

// genisoimage's own tables: an input character set of one of these names is
// read without iconv, and every byte is a character.
bool builtInTable(const QByteArray &name)
{
    static const QSet<QByteArray> names{
        "cp10000", "cp10006", "cp10007", "cp10029", "cp10079", "cp10081", "cp1250", "cp1251", "cp437",
        "cp737", "cp775", "cp850", "cp852", "cp855", "cp857", "cp860", "cp861", "cp862", "cp863", "cp864",
        "cp865", "cp866", "cp869", "cp874", "iso8859-1", "iso8859-14", "iso8859-15", "iso8859-2", "iso8859-3",
        "iso8859-4", "iso8859-5", "iso8859-6", "iso8859-7", "iso8859-8", "iso8859-9", "koi8-r", "koi8-u"};
    return names.contains(name);
}

// The character set the program reads Joliet names in through iconv, or
// empty when it reads them byte by byte (genisoimage.c, the input charset
// and iconv_possible).
QByteArray jolietInputCharset(const BuildSwitches &s)
{
    if (s.xorrisofs)
        return s.inputCharset.isEmpty() ? platform::localeCharset() : s.inputCharset;
    const bool iconvPossible =
        s.level < 4 && !(s.rock && !s.outputCharset.isEmpty() && s.outputCharset != s.inputCharset);
    QByteArray set = s.inputCharset;
    if (set.isEmpty() && iconvPossible) {
        set = platform::localeCharset().toLower();
        if (set == "ansi_x3.4-1968")
            set.clear();
    }
    if (set.isEmpty() || !iconvPossible || builtInTable(set))
        return QByteArray();
    return set;
}

bool hasHighByte(const QByteArray &bytes)
{
    for (char c : bytes)
        if (c & 0x80)
            return true;
    return false;
}

// As readers show an ISO 9660 name: no version, no period closing a file's
// name.
QString shownIsoName(QByteArray name, bool folder)
{
    if (const qsizetype semi = name.lastIndexOf(';'); semi > 0 && !folder)
        name.truncate(semi);
    if (!folder && name.endsWith('.'))
        name.chop(1);
    return QString::fromLatin1(name);
}

// An id as xorrisofs writes it: ISO 9660's a-characters, lower case raised,
// anything else '_'.
QString aCharacters(const QString &text)
{
    static const QString kPunctuation = QStringLiteral(" !\"%&'()*+,-./:;<=>?_");
    QString out;
    for (const char32_t c : text.toUcs4()) {
        if (c >= 'a' && c <= 'z')
            out += QChar(char16_t(c - 'a' + 'A'));
        else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || (c < 0x80 && kPunctuation.contains(QChar(char16_t(c)))))
            out += QChar(char16_t(c));
        else
            out += QLatin1Char('_');
    }
    return out;
}

// The lines of a failed run that say why.
QStringList errorLines(const QStringList &lines, const exec::CommandLine &command)
{
    exec::CauseFinder finder(command);
    qsizetype first = -1;
    for (qsizetype i = 0; i < lines.size() && first < 0; ++i) {
        finder.feed(lines[i]);
        if (finder.found())
            first = i;
    }
    QStringList out;
    if (first >= 0) {
        for (qsizetype i = first; i < lines.size() && out.size() < kToolLines; ++i)
            if (!lines[i].trimmed().isEmpty())
                out << escapedBytes(lines[i].trimmed());
        return out;
    }
    for (qsizetype i = lines.size() - 1; i >= 0 && out.size() < kLastLines; --i)
        if (!lines[i].trimmed().isEmpty())
            out.prepend(escapedBytes(lines[i].trimmed()));
    return out;
}

// The size run, started at once and waited for later: the tree is walked
// meanwhile.
class SizeRun
{
public:
    explicit SizeRun(const exec::CommandLine &command) : m_command(command)
    {
        if (exec::TDosCommand::resolve(command).isEmpty())
            return;
        m_run = std::make_unique<exec::TDosCommand>();
        m_run->setOutputLines(&m_lines);
        m_run->OnTerminated = [this](exec::TDosCommand *, quint32 code) {
            m_exitCode = code;
            m_ended = true;
            m_loop.quit();
        };
        m_run->Execute(command);
    }

    void finish(CheckReport *report)
    {
        if (!m_run) {
            report->sizeError =
                QStringLiteral("%1 cannot be started: %2").arg(mkisofsFileName(), m_command.programPath());
            return;
        }
        if (!m_ended)
            m_loop.exec();
        report->sizeOutput = m_lines.lines();
        const qint64 n = parseSectorCount(m_lines.lines());
        if (m_exitCode == 0 && n >= 0) {
            report->sectors = n;
            return;
        }
        report->toolLines = errorLines(m_lines.lines(), m_command);
        report->sizeError = QStringLiteral("%1 stopped with exit code %2.").arg(mkisofsFileName()).arg(m_exitCode);
        m_cause = exec::causeOf(m_lines.lines(), m_command);
    }
    QString cause() const { return m_cause; }

private:
    exec::CommandLine m_command;
    std::unique_ptr<exec::TDosCommand> m_run;
    base::StringListLines m_lines;
    QEventLoop m_loop;
    quint32 m_exitCode = 0;
    bool m_ended = false;
    QString m_cause;
};

// A tool's line broken at blanks so no part of it runs off a window's edge;
// its parts after the first indented further.
QStringList wrapped(const QString &line, const QString &indent)
{
    QStringList out;
    QString current = indent;
    for (const QString &word : line.split(QLatin1Char(' '))) {
        if (current.size() > indent.size() && current.size() + 1 + word.size() > kWrapAt) {
            out << current;
            current = indent + QStringLiteral("  ");
        } else if (current.size() > indent.size()) {
            current += QLatin1Char(' ');
        }
        current += word;
    }
    out << current;
    return out;
}

} // namespace

QString escapedBytes(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xDC80 && u <= 0xDCFF)
            out += QStringLiteral("\\x%1").arg(int(u - 0xDC00), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

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
    if (!toolLines.isEmpty()) {
        out << sizeError;
        for (const QString &l : toolLines)
            out << wrapped(l, QStringLiteral("    "));
    }
    QStringList fit, tooSmall;
    if (sectors >= 0) {
        out << QStringLiteral("Size: %1 sectors (%2)").arg(sectors).arg(megabytes(sectors));
        for (const Medium &m : media())
            (sectors <= m.sectors ? fit : tooSmall) << QString::fromLatin1(m.name);
    } else {
        QString line = QStringLiteral("Size: unknown.");
        if (toolLines.isEmpty())
            line += QLatin1Char(' ') + sizeError;
        if (filesSectors > 0) {
            line += QStringLiteral(" The files alone take at least %1 sectors (%2).")
                        .arg(filesSectors)
                        .arg(megabytes(filesSectors));
            for (const Medium &m : media())
                if (filesSectors > m.sectors)
                    tooSmall << QString::fromLatin1(m.name);
        }
        out << line;
    }
    if (!fit.isEmpty())
        out << QStringLiteral("Fits: ") + fit.join(QStringLiteral(", "));
    if (!tooSmall.isEmpty())
        out << QStringLiteral("Too large for: ") + tooSmall.join(QStringLiteral(", "));
    if (!rules.isEmpty())
        out << QStringLiteral("Rules: ") + rules;
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
    out.add(QByteArray("-quiet"));
    const QList<exec::Word> &args = command.arguments();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QByteArray &w = args[i].bytes;
        if (w == "-o" || w == "-sort" || w == "--sort-weight-list") {
            ++i; // and its file
            continue;
        }
        if (w == "-quiet" || w == "-print-size" || w == "-v" || w == "-verbose")
            continue;
        out.add(args[i]);
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

void checkTree(const IsoOptions &o, const MkisoPaths &paths, CheckReport *report)
{
    const QString &root = paths.root;
    const Builder builder = o.builder();
    const bool xorrisofs = builder == Builder::Xorrisofs;
    const QString program = programName(builder);
    const BuildSwitches s = readSwitches(buildCommandLine(o).command.arguments(), builder);
    report->rules = rulesText(builder);
    const bool joliet = s.joliet;
    const bool rock = s.rock;
    // xorrisofs puts folders at any depth; genisoimage relocates them with
    // Rock Ridge, keeps them with -D, else leaves out what they hold.
    const bool deepAllowed = xorrisofs || rock || s.deep;
    const int level = s.level;
    const qsizetype jolietMax = s.jolietLong ? 103 : 64;

    // Names in the output character set: Rock Ridge names are written in it.
    const QString charsetName = QString::fromLatin1(s.outputCharset);
    const std::function<bool(const QString &)> carries = [&]() -> std::function<bool(const QString &)> {
        if (!rock || charsetName.isEmpty())
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
            return {}; // the program's own run says whether it knows the name
        return [encoder](const QString &n) {
            (void)encoder->encode(n);
            const bool ok = !encoder->hasError();
            encoder->resetState();
            return ok;
        };
    }();

    // Joliet names are read through iconv in the input character set.
    const QByteArray inputSet = joliet ? jolietInputCharset(s) : QByteArray();
    const platform::Charset input(inputSet);
    const bool readsJoliet = !inputSet.isEmpty() && input.isValid();
    const QString inputFix = QStringLiteral("Rename them, or add -input-charset iso8859-1 to Other Parameters");

    Group big = xorrisofs
                    ? Group{true, QStringLiteral("Files of 4 GiB or more: xorrisofs refuses them below ISO level 3."),
                            QStringLiteral("Choose ISO level 3"), {}}
                    : Group{true, QStringLiteral("Files of 4 GiB or more: genisoimage refuses them."),
                            level < 3 ? QStringLiteral("Choose ISO level 3 and add -allow-limited-size to Other parameters")
                                      : QStringLiteral("Add -allow-limited-size to Other parameters"),
                            {}};
    const bool bigRefused = xorrisofs ? level < 3 : !(s.limitedSize && level >= 3);
    Group bigLimited{false, QStringLiteral("Files of 4 GiB or more: the ISO 9660 names show a shrunk size."),
                     QString(), {}};
    Group jolietCut{false, QStringLiteral("Joliet names over %1 characters: %2 cuts them.").arg(jolietMax).arg(program),
                    s.jolietLong ? QStringLiteral("Shorten the names") : QStringLiteral("Tick Joliet long"), {}};
    Group jolietSame = xorrisofs
                           ? Group{false, QStringLiteral("Names that are the same Joliet name once cut: xorrisofs "
                                                         "numbers them."),
                                   s.jolietLong ? QStringLiteral("Shorten the names") : QStringLiteral("Tick Joliet long"),
                                   {}}
                           : Group{true, QStringLiteral("Names that are the same Joliet name once cut: genisoimage "
                                                        "stops."),
                                   s.jolietLong ? QStringLiteral("Shorten the names") : QStringLiteral("Tick Joliet long"),
                                   {}};
    Group badInput =
        xorrisofs ? Group{false,
                          QStringLiteral("Names that are not valid %1, the input character set: xorrisofs writes "
                                         "'_' for their bytes in the Joliet names.")
                              .arg(QString::fromLatin1(inputSet)),
                          inputFix, {}}
                  : Group{true,
                          QStringLiteral("Names that are not valid %1, the input character set: genisoimage stops "
                                         "at the first (\"Incorrectly encoded string\"), as Joliet names are made "
                                         "from them.")
                              .arg(QString::fromLatin1(inputSet)),
                          inputFix, {}};
    Group jolietShort{false,
                      QStringLiteral("Names whose Joliet name genisoimage ends early, at a character beyond U+FFFF "
                                     "or an unfinished last one."),
                      QStringLiteral("Rename them"), {}};
    Group deep{true,
               QStringLiteral("Folders %1 or more levels below the root: genisoimage leaves out what they hold.")
                   .arg(kTooDeep),
               QStringLiteral("Tick Rationalized RockRidge"), {}};
    Group longPath{false, QStringLiteral("Paths longer than %1 characters: some systems cannot open them.").arg(kMaxPath),
                   QStringLiteral("Tick Rationalized RockRidge"), {}};
    Group mapped{false, QStringLiteral("Names that ISO level %1 changes (case, characters, length).").arg(level),
                 QStringLiteral("Tick Joliet or Rationalized RockRidge"), {}};
    Group sameIso{false,
                  QStringLiteral("Names that are the same ISO 9660 name: %1 gives them other names.").arg(program),
                  QStringLiteral("Tick Joliet or Rationalized RockRidge"), {}};
    Group notInCharset{false, QStringLiteral("Names that the output character set %1 cannot carry.").arg(charsetName),
                       QStringLiteral("Choose another Output Charset"), {}};
    Group unreadable{true, QStringLiteral("Folders that cannot be read: %1 stops or leaves them out.").arg(program),
                     QString(), {}};
    Group upperIds{false,
                   QStringLiteral("Ids that xorrisofs writes otherwise: in upper case, and '_' for each character "
                                  "an ISO 9660 id cannot hold."),
                   QString(), {}};
    if (xorrisofs)
        for (Opt k : {Opt::preparer, Opt::publisher_ID, Opt::app_ID, Opt::sys_ID}) {
            const QString value = o.text(k);
            if (const QString written = aCharacters(value); written != value)
                upperIds.add(QStringLiteral("%1: %2 is written %3").arg(QString::fromUtf8(row(k).caption), value, written));
        }

    const bool plainIso = !joliet && !rock;
    const QByteArray nameCharset = plainIso ? platform::localeCharset() : QByteArray();
    const bool sorting = o.isOn(Opt::sorting) && !o.text(Opt::sorting_list).isEmpty();
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
    QSet<std::pair<quint64, quint64>> seen, files;
    QSet<qint64> sizes; // with -duplicates-once: equal files have equal sizes
    QHash<QString, QString> jolietSeen;
    QList<FolderName> isoEntries;
    QStringList isoRel;
    qint64 filesSectors = 0;
    while (!todo.isEmpty()) {
        const Pending dir = todo.takeLast();
        if (dir.depth >= kTooDeep && !deepAllowed) {
            deep.add(dir.rel); // what it holds is left out: nothing more to say of it
            continue;
        }
        platform::FolderEntry self;
        jolietSeen.clear();
        isoEntries.clear();
        isoRel.clear();
        QString err;
        const QString prefix = dir.path.endsWith(QLatin1Char('/')) ? dir.path : dir.path + QLatin1Char('/');
        const QString relPrefix = dir.rel.isEmpty() ? QString() : dir.rel + QLatin1Char('/');
        const bool ok = platform::readFolder(
            prefix,
            [&](const platform::FolderEntry &e) {
                const QString name = platform::decodePath(e.name);
                const QString rel = relPrefix + name;
                const bool folder = e.attributes & platform::kDirectory;
                ++report->entries;
                if (sorting)
                    sortPaths.insert(sortPrefix + rel);
                if (!e.realFolder && !e.link && e.size > 0 && !s.leavesOut) {
                    const qsizetype before = s.duplicatesOnce ? sizes.size() : files.size();
                    if (s.duplicatesOnce)
                        sizes.insert(e.size);
                    else
                        files.insert({e.device, e.inode});
                    if ((s.duplicatesOnce ? sizes.size() : files.size()) > before)
                        filesSectors += (e.size + kSectorBytes - 1) / kSectorBytes;
                }
                if (!e.realFolder && e.size >= kFourGiB && !folder && (bigRefused || !xorrisofs))
                    (bigRefused ? big : bigLimited).add(rel);
                if (joliet) {
                    QString jname = name;
                    bool refused = false;
                    if (readsJoliet && hasHighByte(e.name)) {
                        const platform::Charset::Verdict v = input.judge(e.name);
                        if (v == platform::Charset::Invalid) {
                            badInput.add(escapedBytes(rel));
                            refused = !xorrisofs; // genisoimage makes no Joliet name of it
                        } else if (!xorrisofs) {
                            const std::vector<char32_t> chars = input.characters(e.name);
                            qsizetype keep = 0;
                            while (keep < qsizetype(chars.size()) && chars[size_t(keep)] <= 0xFFFF
                                   && chars[size_t(keep)] != 0xFFFD)
                                ++keep;
                            if (keep < qsizetype(chars.size()))
                                jolietShort.add(escapedBytes(rel));
                            jname = QString::fromUcs4(chars.data(), keep);
                        }
                    }
                    if (!refused) {
                        if (jname.size() > jolietMax) {
                            jolietCut.add(rel);
                            jname = jname.left(jolietMax);
                        }
                        const auto it = jolietSeen.constFind(jname);
                        if (it != jolietSeen.constEnd())
                            jolietSame.add(relPrefix + it.value() + QStringLiteral(" and ") + name);
                        else
                            jolietSeen.insert(jname, name);
                    }
                }
                if (!rock && rel.size() > kMaxPath)
                    longPath.add(rel);
                if (plainIso && level < 4) {
                    isoEntries.append({QByteArray(e.name.constData(), e.name.size()), folder});
                    isoRel.append(rel);
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
        if (!isoEntries.isEmpty()) {
            const QList<IsoNamed> named = isoNames(isoEntries, s, nameCharset);
            for (qsizetype i = 0; i < named.size(); ++i) {
                const bool folder = isoEntries[i].folder;
                const QString shown = shownIsoName(named[i].name, folder);
                if (named[i].renamed)
                    sameIso.add(isoRel[i] + QStringLiteral(" -> ") + shown + QStringLiteral(" (not ")
                                + shownIsoName(named[i].mapped, folder) + QLatin1Char(')'));
                else if (shown != platform::decodePath(isoEntries[i].name))
                    mapped.add(isoRel[i] + QStringLiteral(" -> ") + shown);
            }
        }
    }
    report->filesSectors = filesSectors;

    for (Group *g : {&unreadable, &badInput, &big, &jolietSame, &deep, &bigLimited, &jolietCut, &jolietShort,
                     &longPath, &sameIso, &mapped, &notInCharset, &upperIds})
        g->appendTo(&report->problems);

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
    const exec::CommandLine size = sizeRunCommand(command);
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
                                QStringLiteral("The boot image is outside the root folder: %1 needs it "
                                               "inside the root folder.")
                                    .arg(programName(o.builder())),
                                QStringLiteral("Copy it into the root folder and choose it there"),
                                {paths.bootImage}, 1});
    std::unique_ptr<SizeRun> run;
    if (!size.isEmpty())
        run = std::make_unique<SizeRun>(size);
    checkTree(o, paths, &report);
    const QString program = programName(o.builder());
    if (!run) {
        report.sizeError = QStringLiteral("%1 was not found.").arg(mkisofsFileName());
    } else {
        run->finish(&report);
    }
    QList<CheckProblem> first;
    if (report.sectors < 0) {
        const QString cause = run ? run->cause() : QString();
        first.append({true,
                      QStringLiteral("%1 cannot build this image: ").arg(program)
                          + (cause.isEmpty() ? report.sizeError : cause),
                      QString(), {}, 0});
    }
    // Without a size, the files alone say what the image cannot fit.
    const qint64 least = report.sectors >= 0 ? report.sectors : report.filesSectors;
    const QString what = report.sectors >= 0 ? QStringLiteral("The image is") : QStringLiteral("The files alone are");
    if (least > media().last().sectors)
        first.append({true, what + QStringLiteral(" larger than a single-layer DVD."), QString(), {}, 0});
    else if (least > media()[media().size() - 2].sectors)
        first.append({false, what + QStringLiteral(" larger than any CD."), QString(), {}, 0});
    report.problems = first + report.problems;
    return report;
}

} // namespace iso
