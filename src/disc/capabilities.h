#pragma once
// What Spindle reads from a drive's capability report: cdrecord's -prcap
// page, or what cdrskin (which has no -prcap) tells instead.
#include "exec/tool_identity.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace disc {

// The two characters three before the first comma of a speed line value
// ("(CD  40x, DVD  5x)" gives "40"), or its first two.
QString writeSpeedCut(QStringView value);
// The integer of a speed text: leading blanks, then digits to the end.
std::optional<int> speedNumber(QStringView text);

// What a capability report says.
struct Capabilities
{
    bool writesCDR = false;
    bool writesCDRW = false;
    // The text shown as the maximum write speed (the last speed line's cut;
    // for the older "in kB/s: N" form the speed in CD multiples).
    QString maxWriteSpeed;
    // The speed as a number, when there is one.
    std::optional<int> speed;
    // The report's own "Does not write CD-R media" / "... CD-RW media"
    // lines, trimmed; empty when the report has none.
    QString cdrRefusal, cdrwRefusal;
    // The report speaks of the drive's abilities at all.
    bool answered = false;
    // Why the query told nothing about the drive (its cause line, or its
    // exit code); empty when it answered.
    QString failure;
};
// cdrecord -prcap's report.
Capabilities evaluateCapabilities(const QStringList &lines);
// cdrskin's answers instead: -v -atip (the drive's write modes and
// profiles) and --list_speeds.
Capabilities evaluateCdrskin(const QStringList &lines);

// One run of the capability query.
struct QueryRun
{
    QStringList lines;
    quint32 exitCode = 0;
};
// The query's runs (capabilityCommands' order) as the recorder behind
// cdrecord tells them. The query failed when its first run ended badly
// and said nothing of the drive.
Capabilities evaluateQuery(const QList<QueryRun> &runs, exec::Implementation recorder);

} // namespace disc
