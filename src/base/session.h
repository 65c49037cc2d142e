#pragma once
#include <QString>
#include <QStringList>

#include "base/constants.h"

namespace base {

// Process-wide session flags, set at start-up from the switch.
extern bool DebugMode;
extern bool Win9xMode;

// What the first start-up argument does.
struct SwitchEffect
{
    bool createScratchFiles = false;
    bool debugMode = false;
    bool win9xMode = false;
    bool checkDebugBox = false;
    QString label;
};

// `args` are the program's arguments without the program name. Only the
// first is looked at, exactly and case-sensitively.
SwitchEffect interpretSwitch(const QStringList &args);

// The lines of a log to save: those without `needle` (case-sensitive).
QStringList linesWithout(const QStringList &lines, const QString &needle);

} // namespace base
