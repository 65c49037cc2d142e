#pragma once
#include <QString>
#include <QStringList>

namespace exec {

// The five console tools, in the order the start-up check searches them.
QStringList toolNames();
// Looks for a tool file: the bare name relative to the current directory,
// then in Spindle's folder. Returns the path found, or empty.
QString findTool(const QString &fileName);
// "Couldn't find NAME . Please put NAME in Spindle folder" for a tool
// file name as the platform spells it.
QString missingToolMessage(const QString &fileName);

} // namespace exec
