#pragma once
// Which program sits behind a tool file, told by the program's own version
// text, never by the name of the file or of what it links to: mkisofs may
// be genisoimage, xorrisofs or cdrtools' own; cdrecord may be wodim,
// cdrskin or cdrtools' own.
#include <QString>
#include <QStringList>

namespace exec {

enum class Implementation {
    Unknown,
    Genisoimage,
    Xorrisofs,
    CdrtoolsMkisofs,
    Wodim,
    Cdrskin,
    CdrtoolsCdrecord,
    Xorrecord,
    Readom,
    CdrtoolsReadcd,
    CoreutilsDd,
    Bbie,
};

struct ToolIdentity
{
    Implementation implementation = Implementation::Unknown;
    // The line of the version text that names the program, trimmed.
    QString versionLine;
};

// What a version query's output says it is. Lines that only pretend to be
// another program for front-ends ("… is not what you see here",
// "Cdrecord-yelling-line-…") are passed over.
ToolIdentity identifyVersionText(const QStringList &lines);

// "genisoimage", "xorrisofs (xorriso)", "cdrecord (cdrtools)", …; empty for
// Unknown.
QString implementationName(Implementation implementation);
// The tool an implementation stands in for: mkisofs, cdrecord, readcd, dd
// or bbie; empty for Unknown.
QString roleOf(Implementation implementation);
// The role's name for a program file name: "wodim" and "cdrecord" give
// cdrecord, "genisoimage" mkisofs, …; empty for none.
QString roleOfName(const QString &programFileName);

// Runs the program's version query (`-version`; `--version` for dd) and
// remembers the answer for as long as the file stays as it is. The query is
// bounded: a few seconds and 64 KiB of output, then it is ended. Spindle's
// own bbie is known without a run.
ToolIdentity identifyProgram(const QString &path);
// The tool file of that name in Spindle's folder, identified; Unknown when
// it is missing.
ToolIdentity identifyTool(const QString &toolFile);
// One line per tool for a report: "cdrecord: cdrskin (cdrskin 1.5.4 : …)",
// "readcd: missing".
QStringList toolReport();
// "wodim (Wodim 1.1.11)", or "unknown program (its first line)" for one not
// recognised.
QString describe(const ToolIdentity &identity);

} // namespace exec
