#pragma once
#include <QString>
#include <QStringList>

#include "base/constants.h"

namespace base {

// The session's flags, set at start-up from the switch; only the "Debug
// this session" box changes DebugMode afterwards. One object, owned by the
// program and handed to the windows that read it.
struct Session
{
    bool DebugMode = false;
    bool Win9xMode = false;
};

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

// Folds each run of three or more lines that say the same thing in other
// words (the same words once names, paths and numbers are set aside, as
// genisoimage's "Using NAME;1 for PATH (NAME)" lines) into its first line
// with the count of the others.
QStringList foldRepeatedLines(const QStringList &lines);

} // namespace base
