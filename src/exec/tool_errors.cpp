#include "exec/tool_errors.h"

#include "exec/command_line.h"
#include "exec/dos_command.h"

#include <QFileInfo>

namespace exec {

namespace {

using Detail = ToolErrorRow::Detail;

const QString kCdrecord = QStringLiteral("cdrecord");
const QString kMkisofs = QStringLiteral("mkisofs");
const QString kReadcd = QStringLiteral("readcd");
const QString kDd = QStringLiteral("dd");

const QString kNoPermission =
    QStringLiteral("cdrecord may not open the drive: its device files do not let you read and write them.");
const QString kCannotWrite =
    QStringLiteral("This drive cannot write CDs: it only reads them, or cdrecord does not know it as a recorder.");
const QString kNotRewritable = QStringLiteral("The disc in the drive is not rewritable, so it cannot be blanked.");
const QString kTooLarge = QStringLiteral("The image is larger than the disc in the drive.");

const QString kCdrskinNoPermission = QStringLiteral("cdrskin may not open the drive (permission denied).");
const QString kCdrskinIgnores =
    QStringLiteral("cdrskin does not do %1: it ignored the option, so that part of the job was not done.");

// A read error names where it happened within a few lines after it.
constexpr qsizetype kBlockLookahead = 20;

// The first quoted name of a line: 'x' (coreutils in the C locale), ‘x’
// or "x".
QString quotedName(QStringView line)
{
    static const QList<std::pair<QChar, QChar>> quotes = {
        {u'\'', u'\''}, {QChar(0x2018), QChar(0x2019)}, {u'"', u'"'}};
    for (const auto &[open, close] : quotes) {
        const qsizetype a = line.indexOf(open);
        if (a < 0)
            continue;
        const qsizetype b = line.indexOf(close, a + 1);
        if (b > a + 1)
            return line.mid(a + 1, b - a - 1).toString();
    }
    return {};
}

// "File NAME is larger than 4GiB-1." gives NAME.
QString fileBeforeLarger(QStringView line)
{
    const qsizetype f = line.indexOf(u"File ");
    const qsizetype l = line.indexOf(u" is larger than");
    if (f < 0 || l <= f + 5)
        return {};
    return line.mid(f + 5, l - f - 5).toString();
}

// The number that follows `word` in a line, as digits.
QString numberAfter(QStringView line, QStringView word)
{
    const qsizetype at = line.indexOf(word);
    if (at < 0)
        return {};
    qsizetype i = at + word.size();
    const qsizetype start = i;
    while (i < line.size() && line[i].isDigit())
        ++i;
    return line.mid(start, i - start).toString();
}

// Where a read stopped: readom's "Error on sector N", dd's "N+M records in"
// (N whole blocks were read, so block N failed).
QString blockOf(QStringView line)
{
    const QString sector = numberAfter(line, u"Error on sector ");
    if (!sector.isEmpty())
        return QStringLiteral(" at sector ") + sector;
    const qsizetype rec = line.indexOf(u" records in");
    const qsizetype plus = line.indexOf(u'+');
    if (rec > 0 && plus > 0 && plus < rec) {
        const QStringView n = line.left(plus).trimmed();
        bool ok = false;
        (void)n.toLongLong(&ok);
        if (ok)
            return QStringLiteral(" at block ") + n.toString();
    }
    return {};
}

std::function<QString()> &adviceHook()
{
    static std::function<QString()> hook;
    return hook;
}

} // namespace

const QList<ToolErrorRow> &toolErrorTable()
{
    static const QList<ToolErrorRow> table = {
        {{kCdrecord}, QStringLiteral("No disk / Wrong disk!"),
         QStringLiteral("There is no disc in the drive, or not one it can use: insert a writable disc and try again.")},
        {{kCdrecord}, QStringLiteral("Cannot open SCSI driver"), kNoPermission, Detail::None, true},
        {{kCdrecord}, QStringLiteral("Operation not permitted"), kNoPermission, Detail::None, true},
        {{kCdrecord}, QStringLiteral("Sorry, no CD/DVD-Recorder or unsupported CD/DVD-Recorder found"), kCannotWrite},
        // A drive without a write parameter page is no writer (what blanking
        // on a reader says).
        {{kCdrecord}, QStringLiteral("does not support CD write parameter page"), kCannotWrite},
        {{kCdrecord}, QStringLiteral("Data may not fit on current disk"), kTooLarge},
        {{kCdrecord}, QStringLiteral("Data does not fit on current disk"), kTooLarge},
        {{kCdrecord}, QStringLiteral("Cannot blank disk"), kNotRewritable},
        {{kCdrecord}, QStringLiteral("This media does not support blanking"), kNotRewritable},
        {{kCdrecord}, QStringLiteral("Illegal write mode for this drive"),
         QStringLiteral("The drive does not support this write mode.")},
        // cdrskin, the recorder of the libburn family.
        {{kCdrecord}, QStringLiteral("ignoring unimplemented option"), kCdrskinIgnores, Detail::QuotedName, false,
         true, {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("ignoring unknown option"), kCdrskinIgnores, Detail::QuotedName, false, true,
         {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("Permission denied"), kCdrskinNoPermission, Detail::None, true, true,
         {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("Cannot find /dev/* with Bus,Target,Lun"),
         QStringLiteral("No drive answers at this address, or another program holds it: scan again and pick the "
                        "drive from the new list."),
         Detail::None, false, false, {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("No suitable media detected"),
         QStringLiteral("There is no disc in the drive that cdrskin can write to: insert a blank or appendable disc "
                        "and try again."),
         Detail::None, false, false, {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("media is not erasable"), kNotRewritable, Detail::None, false, false,
         {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("not supported yet"),
         QStringLiteral("cdrskin does not do blank type %1: it blanks with all or fast only."), Detail::QuotedName,
         false, false, {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("-format does DVD+RW only"),
         QStringLiteral("cdrskin formats DVD+RW discs only, not CD-RW: use Blank CD-RW instead."), Detail::None,
         false, false, {Implementation::Cdrskin}},
        {{kCdrecord}, QStringLiteral("Cannot write desired amount"),
         QStringLiteral("Writing to the disc failed: the drive did not take all the data."), Detail::None, false,
         false, {Implementation::Cdrskin}},
        {{kMkisofs}, QStringLiteral("No space left on device"),
         QStringLiteral("The disk that holds the image file is full: free some space or choose another output folder.")},
        {{kMkisofs}, QStringLiteral("is larger than 4GiB-1"),
         QStringLiteral("The file %1 is larger than 4 GiB minus one byte, the most a file on this image may be: "
                        "choose ISO level 3 to put it on."),
         Detail::FileBeforeLarger},
        {{kMkisofs}, QStringLiteral("File too large"),
         QStringLiteral("The image file grew larger than the disk it is written to allows for one file: "
                        "choose an output folder on another file system.")},
        {{kMkisofs}, QStringLiteral("Incorrect sort file format"),
         QStringLiteral("The sort file is not in the form mkisofs reads: each line a path, a blank and a weight.")},
        {{kMkisofs}, QStringLiteral("Incorrectly encoded string"),
         QStringLiteral("A file or folder name is not valid in the input character set, so no Joliet name can be "
                        "made of it: rename it, or add -input-charset iso8859-1 to Other Parameters.")},
        {{kMkisofs}, QStringLiteral("Invalid node"),
         QStringLiteral("%1 cannot be put on the image: it does not exist or cannot be read."), Detail::QuotedName},
        // xorrisofs (xorriso and libisofs): FAILURE and SORRY lines.
        {{kMkisofs}, QStringLiteral("Cannot determine attributes of source file"),
         QStringLiteral("%1 cannot be put on the image: it does not exist or cannot be read."), Detail::QuotedName},
        {{kMkisofs}, QStringLiteral("because its size is 4 GiB or larger"),
         QStringLiteral("The file %1 (its path in the image) is 4 GiB or larger, more than a file on this image may "
                        "be: choose ISO level 3 to put it on."),
         Detail::QuotedName},
        {{kMkisofs}, QStringLiteral("Neither stdio-path nor its directory exist"),
         QStringLiteral("The output folder does not exist: choose an existing folder for the image.")},
        {{kMkisofs}, QStringLiteral("Access to file is not allowed"),
         QStringLiteral("A file or folder of the tree may not be read (permission denied): change its permissions "
                        "or leave it out.")},
        {{kMkisofs}, QStringLiteral("Trying to use an invalid file as boot image"),
         QStringLiteral("The boot image is no floppy image (1.2, 1.44 or 2.88 MB): tick No emulation mode for a "
                        "boot image of another size.")},
        // The weights Make Batch wrote name a file the tree no longer holds.
        {{kMkisofs}, QStringLiteral("in loaded ISO image"),
         QStringLiteral("The sort weights name %1, which is no longer in the tree: make the batch file again."),
         Detail::QuotedName},
        // xorrisofs goes on without an option it does not do, and exits 0.
        {{kMkisofs}, QStringLiteral("Ignored option"),
         QStringLiteral("xorrisofs does not do %1: it ignored the option, so the image is not what was asked."),
         Detail::QuotedName, false, true, {Implementation::Xorrisofs}},
        {{kMkisofs}, QStringLiteral("Unsupported option"),
         QStringLiteral("This mkisofs does not take the option %1: the image was not built."), Detail::QuotedName},
        {{kMkisofs}, QStringLiteral("Unrecognized option"),
         QStringLiteral("This mkisofs does not take the option %1: the image was not built."), Detail::QuotedName},
        // readom says no more than this to a user outside the drive's group.
        {{kReadcd}, QStringLiteral("Cannot open SCSI driver"),
         QStringLiteral("readcd may not open the drive: its device files do not let you read and write them."),
         Detail::None, true},
        {{kReadcd, kDd}, QStringLiteral("Permission denied"),
         QStringLiteral("You may not open %1 (permission denied)."), Detail::QuotedName, true},
        {{kReadcd, kDd}, QStringLiteral("No medium found"), QStringLiteral("There is no disc in the drive.")},
        // readom's "test unit ready" failing (with errno 5): the drive is
        // not ready, no read error (in the guest: "medium not present").
        {{kReadcd}, QStringLiteral("test unit ready scsi sendcmd"),
         QStringLiteral("The drive is not ready: there is no disc in it, or it is still taking the disc in.")},
        {{kReadcd, kDd}, QStringLiteral("Input/output error"),
         QStringLiteral("The drive could not read the disc%1 (input/output error): the disc may be scratched, "
                        "dirty or not completely written."),
         Detail::Block},
    };
    return table;
}

namespace {
// The program's file name.
QString programName(const CommandLine &command)
{
    return command.isEmpty() ? QString() : QFileInfo(command.programPath()).fileName();
}

// The table's tool for a program and its implementation; bbie has no rows
// of its own.
QString tableTool(const CommandLine &command, Implementation implementation)
{
    const QString name = programName(command);
    QString role = roleOf(implementation);
    if (role.isEmpty())
        role = roleOfName(name);
    // Spindle's own read-back after a burn reads the disc through readcd.
    if (role.isEmpty() && name == QLatin1String("spindle-cli") && !command.arguments().isEmpty()
        && command.arguments().first().bytes == "verify")
        return QStringLiteral("readcd");
    return role == QLatin1String("bbie") ? QString() : role;
}
} // namespace

namespace {
// The table's patterns by their first two characters, so a line is
// searched for all of them in one pass: at most places no pattern can
// start, which costs one bit test per character.
struct PatternIndex
{
    quint64 pairs[128 * 128 / 64] = {};
    QList<qsizetype> rows[128]; // by first character, in table order
    static int pair(char16_t a, char16_t b) { return int(a) * 128 + int(b); }
    PatternIndex()
    {
        const QList<ToolErrorRow> &table = toolErrorTable();
        for (qsizetype i = 0; i < table.size(); ++i) {
            const QString &p = table[i].pattern;
            const int at = pair(p.at(0).unicode() & 0x7F, p.at(1).unicode() & 0x7F);
            pairs[at / 64] |= quint64(1) << (at % 64);
            rows[p.at(0).unicode() & 0x7F].append(i);
        }
    }
};
} // namespace

qsizetype firstMatchingRow(QStringView line, const QString &tool, Implementation implementation)
{
    static const PatternIndex index;
    const QList<ToolErrorRow> &table = toolErrorTable();
    const char16_t *p = line.utf16();
    const qsizetype n = line.size();
    qsizetype best = -1;
    for (qsizetype at = 0; at + 1 < n; ++at) {
        const char16_t a = p[at], b = p[at + 1];
        if ((a | b) >= 128)
            continue;
        const int key = PatternIndex::pair(a, b);
        if (!(index.pairs[key / 64] & (quint64(1) << (key % 64))))
            continue;
        for (qsizetype i : index.rows[a]) {
            if (best >= 0 && i >= best)
                break; // an earlier row has matched already
            const ToolErrorRow &row = table[i];
            if ((tool.isEmpty() || row.tools.contains(tool))
                && (row.only.isEmpty() || implementation == Implementation::Unknown
                    || row.only.contains(implementation))
                && line.mid(at).startsWith(row.pattern))
                best = i;
        }
    }
    return best;
}

Implementation implementationOfCommandLine(const CommandLine &command)
{
    // Only a tool's name is worth finding and asking.
    if (roleOfName(programName(command)).isEmpty())
        return Implementation::Unknown;
    const QString path = TDosCommand::resolve(CommandLine(command.programPath())).programPath();
    return path.isEmpty() ? Implementation::Unknown : identifyProgram(path).implementation;
}

QString toolOfCommandLine(const CommandLine &command)
{
    return tableTool(command, implementationOfCommandLine(command));
}

CauseFinder::CauseFinder(const CommandLine &command) : m_implementation(implementationOfCommandLine(command))
{
    m_tool = tableTool(command, m_implementation);
}

CauseFinder::CauseFinder(const QString &tool, Implementation implementation)
    : m_tool(tool), m_implementation(implementation)
{
}

void CauseFinder::feed(QStringView line)
{
    if (m_wantBlock) {
        const QString block = blockOf(line);
        if (!block.isEmpty()) {
            m_detail = block;
            m_wantBlock = false;
        } else if (++m_linesAfter > kBlockLookahead) {
            m_wantBlock = false;
        }
        return;
    }
    if (m_row >= 0)
        return;
    const QList<ToolErrorRow> &table = toolErrorTable();
    const qsizetype i = firstMatchingRow(line, m_tool, m_implementation);
    if (i >= 0) {
        const ToolErrorRow &row = table[i];
        m_row = i;
        switch (row.detail) {
        case Detail::None:
            break;
        case Detail::QuotedName:
            m_detail = quotedName(line);
            break;
        case Detail::FileBeforeLarger:
            m_detail = fileBeforeLarger(line);
            break;
        case Detail::Block:
            m_detail = blockOf(line);
            m_wantBlock = m_detail.isEmpty();
            break;
        }
    }
}

QString CauseFinder::sentence() const
{
    if (m_row < 0)
        return {};
    const ToolErrorRow &row = toolErrorTable()[m_row];
    switch (row.detail) {
    case Detail::None:
        return row.sentence;
    case Detail::Block:
        return row.sentence.arg(m_detail);
    case Detail::QuotedName:
        if (m_detail.isEmpty())
            return row.sentence.arg(row.permission ? QStringLiteral("the drive or the file")
                                                   : QStringLiteral("A file or folder"));
        return row.sentence.arg(m_detail);
    case Detail::FileBeforeLarger:
        return m_detail.isEmpty() ? QString(row.sentence).replace(QStringLiteral("The file %1"), QStringLiteral("A file"))
                                  : row.sentence.arg(m_detail);
    }
    return {};
}

bool CauseFinder::permission() const { return m_row >= 0 && toolErrorTable()[m_row].permission; }

bool CauseFinder::failsRun() const { return m_row >= 0 && toolErrorTable()[m_row].failsRun; }

QString causeOf(const QStringList &lines, const CommandLine &command)
{
    CauseFinder finder(command);
    for (const QString &line : lines)
        finder.feed(line);
    QString cause = finder.sentence();
    if (finder.permission()) {
        const QString advice = permissionAdvice();
        if (!advice.isEmpty())
            cause += QLatin1Char('\n') + advice;
    }
    return cause;
}

QString failureLine(quint32 exitCode, const CauseFinder &cause)
{
    QString line;
    if (exitCode != 0)
        line = QStringLiteral("The command failed with exit code %1.").arg(exitCode);
    else if (cause.failsRun())
        line = QStringLiteral("The command did not do what was asked.");
    else
        return {};
    if (cause.found()) {
        line += QLatin1Char('\n') + cause.sentence();
        if (cause.permission() && !permissionAdvice().isEmpty())
            line += QLatin1Char('\n') + permissionAdvice();
    }
    return line;
}

void setPermissionAdvice(std::function<QString()> advice) { adviceHook() = std::move(advice); }

QString permissionAdvice() { return adviceHook() ? adviceHook()() : QString(); }

} // namespace exec
