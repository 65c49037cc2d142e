#pragma once
#include <QStringList>

namespace exec {
class CauseFinder;
}

namespace iso {
class IsoOptions;
}
namespace exec {
class TDosCommand;
}

namespace cli {
// The cause line of a failed run, with the setup advice for a permission
// failure, on standard error; nothing for unknown output.
void printCause(const exec::CauseFinder &cause);
int tools();
int exec(const QStringList &args);
int runBat(const QStringList &args);
int batch(const QStringList &args);
int devices(const QStringList &args);
int drives(const QStringList &args);
int caps(const QStringList &args);
int sortlist(const QStringList &args);
int attrib(const QStringList &paths);
int order(const QStringList &args);
int readDisc(const QStringList &args);
int cdImage(const QStringList &args);
int bootImage(const QStringList &args);
int burn(const QStringList &args);
int blank(const QStringList &args);
int verify(const QStringList &args);
int doctor(const QStringList &args);
int check(const QStringList &args);

// The exit status of a run that did not end by itself: 127 when the program
// could not be started, 124 when it was stopped or a time limit ended it;
// -1 when the program's own status counts.
int runEndStatus(const exec::TDosCommand &cmd);

// Loads a template for batch and check; false after saying why on
// standard error.
bool loadTemplateOrSay(const QString &templatePath, iso::IsoOptions &options);
} // namespace cli
