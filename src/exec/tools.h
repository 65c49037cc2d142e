#pragma once
#include <QString>
#include <QStringList>

#include "exec/command_line.h"

namespace exec {

// The five console tools, in the order the start-up check searches them.
QStringList toolNames();
// Looks for a tool file: in `firstFolder` when one is given (the start
// directory, for the start-up check), then in Spindle's folder. Returns the
// path found, or empty.
QString findTool(const QString &fileName, const QString &firstFolder = QString());
// "Couldn't find NAME . Please put NAME in Spindle folder" for a tool
// file name as the platform spells it.
QString missingToolMessage(const QString &fileName);

// True when the command line writes to a disc or a drive: the disc writer,
// or dd with a device as its output. Stopping such a run halfway can leave
// the medium unusable, so the user is asked first.
bool writesToDisc(const CommandLine &command);

} // namespace exec
