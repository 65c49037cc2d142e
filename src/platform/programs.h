#pragma once
// How a program or batch file named on a command line is found.
#include <QString>

namespace platform {

// Resolves a program name the way Spindle starts programs: a name with a
// separator is taken as a path; otherwise Spindle's folder, the current
// directory, then PATH. Empty when not found or not executable.
QString findProgram(const QString &name);
// The same search for a file that need not be executable (batch files).
QString findFile(const QString &name);

} // namespace platform
