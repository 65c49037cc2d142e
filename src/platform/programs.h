#pragma once
// How a program or batch file named on a command line is found.
#include <QString>

namespace platform {

// Resolves a program name the way Spindle starts programs: a name with a
// separator is taken as a path (relative to `workingDir`); otherwise
// Spindle's folder, `workingDir`, then PATH. `workingDir` is the folder the
// program will run in; empty means the start directory. Returns an absolute
// path, empty when not found or not executable.
QString findProgram(const QString &name, const QString &workingDir = QString());
// The same search for a file that need not be executable (batch files).
QString findFile(const QString &name, const QString &workingDir = QString());

} // namespace platform
