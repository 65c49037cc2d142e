#pragma once
// Operating-system services behind one thin layer, so the rest of Spindle
// stays free of platform #ifdefs.
#include <QString>
#include <QStringList>

namespace platform {

// Suffix of executable files: ".exe" on Windows, empty elsewhere.
QString exeSuffix();
// A tool's file name as this platform spells it ("mkisofs" / "mkisofs.exe").
QString exeName(const QString &base);

// Folder of the running executable, with a trailing separator.
QString executableFolder();
// Spindle's folder: where the tools and scratch files live. Defaults to the
// executable's folder; tests point it elsewhere.
QString spindleFolder();
void setSpindleFolder(const QString &folder);

// Makes `folder` the process's current directory; false when that fails.
bool setCurrentDir(const QString &folder);
QString currentDir();
bool fileExists(const QString &path);
// Removes a file; failures are the caller's to ignore.
bool removeFile(const QString &path);
// Creates or truncates a file. On failure returns false and puts the
// system's reason into *reason.
bool createEmptyFile(const QString &path, QString *reason);
// Writes a whole file atomically (temporary file, then rename).
bool writeFileAtomic(const QString &path, const QByteArray &data, QString *reason);
// Appends to a file, creating it when needed.
bool appendToFile(const QString &path, const QByteArray &data, QString *reason);

// Resolves a program name the way Spindle starts programs: a name with a
// separator is taken as a path; otherwise Spindle's folder, the current
// directory, then PATH. Empty when not found or not executable.
QString findProgram(const QString &name);
// The same search for a file that need not be executable (batch files).
QString findFile(const QString &name);

// The standard texts of a file that cannot be opened or created, with the
// system's reason.
QString cannotOpenText(const QString &path, const QString &reason);
QString cannotCreateText(const QString &path, const QString &reason);

// Text of the last system error (errno), as the system words it.
QString lastErrorText();

} // namespace platform
