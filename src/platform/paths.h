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
// The user's data folder (XDG_DATA_HOME), created when needed, with a
// trailing separator; empty when there is none.
QString dataFolder();

// The folder Spindle was started in, with a trailing separator. Read once
// at start: Spindle never changes its own current directory, it gives each
// tool its working directory instead. Tests point it elsewhere.
QString startDirectory();
void setStartDirectory(const QString &folder);

// `path` made absolute against the absolute folder `base` (the start
// directory when empty). An absolute or empty path is returned as it is;
// nothing is cleaned, so every byte of the name stays.
QString absolutePath(const QString &path, const QString &base = QString());

} // namespace platform
