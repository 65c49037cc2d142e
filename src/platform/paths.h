#pragma once
// Where Spindle and its files are.
#include <QString>

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
// Where Spindle writes its own scratch files: Spindle's folder while it can
// be written, otherwise (an installed, read-only program folder) the user's
// data folder, created when needed. With a trailing separator.
QString workFolder();

// Makes `folder` the process's current directory; false when that fails.
bool setCurrentDir(const QString &folder);
QString currentDir();

} // namespace platform
