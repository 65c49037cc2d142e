#pragma once
// Process creation, process groups and ending them. One file per operating
// system implements this header; CMake picks it.
#include <QIODevice>
#include <QString>
#include <QStringList>

class QProcess;

namespace platform {

// Starts `proc` (program and arguments already set) as the leader of a
// process group of its own, so that ending the group ends everything the
// child started. Returns the group's id, or 0 when the start failed.
qint64 startInOwnGroup(QProcess &proc, QIODevice::OpenMode mode);

// Ends every process of the group at once. The caller reaps the leader.
void killGroup(qint64 group);

// Result of runAndWait when the program could not be started.
constexpr int kNotStartable = -1;

// Runs a program with this process's standard input, output and error, in
// `workingDir` (this process's own when empty), and waits for its end.
// Returns its exit status (128 plus the signal number when a signal ended
// it), or kNotStartable (also when `workingDir` cannot be entered).
int runAndWait(const QString &program, const QStringList &args, const QString &workingDir = QString());

} // namespace platform
