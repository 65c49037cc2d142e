#pragma once
// The console tools' known error messages and what they mean for the user,
// in one table: a failed run's output gives at most one cause line.
#include "exec/command_line.h"
#include "exec/tool_identity.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

namespace exec {

// One known message of one tool. `tools` are the names Spindle starts
// (cdrecord, mkisofs, readcd, dd); `pattern` is found anywhere in a line,
// case and all. `sentence` may hold %1, filled from the matching line by
// the row's detail rule.
struct ToolErrorRow
{
    QStringList tools;
    QString pattern;
    QString sentence;
    enum class Detail { None, QuotedName, FileBeforeLarger, Block } detail = Detail::None;
    // The drive's device files could not be opened: the setup diagnosis
    // says why.
    bool permission = false;
    // The message means the run did not do what was asked, whatever its
    // exit code says (an ignored option, a drive it could not open).
    bool failsRun = false;
    // The programs that print it; empty: every program behind the tools.
    QList<Implementation> only = {};
};
const QList<ToolErrorRow> &toolErrorTable();

// Which table tool a command line starts: the tool its program is
// identified as (Spindle's folder, then PATH), else its name without folder
// or .exe, the Debian programs counted as the tools they stand in for.
// Empty when the program is none of them.
QString toolOfCommandLine(const CommandLine &command);
// The program a command line starts, identified by its own version text
// when its name is one of the tools'; Unknown otherwise.
Implementation implementationOfCommandLine(const CommandLine &command);

// The first table row (in table order) whose pattern `line` holds, among
// the rows of `tool` (every row when empty); -1 for none. One pass over the
// line for all patterns.
qsizetype firstMatchingRow(QStringView line, const QString &tool,
                           Implementation implementation = Implementation::Unknown);

// Follows a run's output line by line (O(1) per line) and keeps the first
// known message. A run of an unknown program is matched against every row.
class CauseFinder
{
public:
    explicit CauseFinder(const CommandLine &command = {});
    // For a program already identified.
    CauseFinder(const QString &tool, Implementation implementation);
    void feed(QStringView line);
    bool found() const { return m_row >= 0; }
    // A message was seen that makes the run a failure even with exit code 0.
    bool failsRun() const;
    // The cause line, empty when no known message was seen.
    QString sentence() const;
    bool permission() const;
    // The table row that matched, -1 for none.
    qsizetype row() const { return m_row; }

private:
    QString m_tool;
    Implementation m_implementation = Implementation::Unknown;
    qsizetype m_row = -1;
    QString m_detail;
    bool m_wantBlock = false; // an I/O error without its block yet
    qsizetype m_linesAfter = 0;
};

// The cause line of a finished run's lines; empty for unknown output.
QString causeOf(const QStringList &lines, const CommandLine &command = {});

// The line that says a run failed, empty for a run that did what was asked:
// a non-zero exit code, or exit code 0 with a message that means failure.
QString failureLine(quint32 exitCode, const CauseFinder &cause);

// What the user can do about a permission failure, from the setup
// diagnosis; the windows and spindle-cli install it, the core has none.
void setPermissionAdvice(std::function<QString()> advice);
QString permissionAdvice();

} // namespace exec
