#pragma once
// What Spindle reads from a drive's capability report.
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
};
Capabilities evaluateCapabilities(const QStringList &lines);

} // namespace disc
