#pragma once
#include "base/output_lines.h"

#include <QString>

namespace base {

// The debug log as the windows see it: they write every entry, and the log
// keeps what debug mode asks for.
class DebugLog
{
public:
    virtual ~DebugLog() = default;
    // "*****  TEXT" on a line of its own, while debug mode is on.
    virtual void entry(const QString &text) = 0;
    // Text appended unchanged (a command's captured output), while debug
    // mode is on.
    virtual void text(const QString &text) = 0;
    // Whether debug mode is on: the log keeps entries.
    virtual bool enabled() const = 0;
    // The log's lines, for a runner whose output goes into the log whatever
    // debug mode says (the drive scan).
    virtual OutputLines *lines() = 0;
};

} // namespace base
