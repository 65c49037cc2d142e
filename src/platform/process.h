#pragma once
// Process creation, process groups and ending them. One file per operating
// system implements this header; CMake picks it.
//
// Every program Spindle starts is a job: the leader of a process group of
// its own, kept in one registry until the job has no process left. A
// process that leaves the group or the session (setsid) is still the job's:
// every process of a job carries the job's entry in its environment, and
// Spindle is the subreaper of its jobs (PR_SET_CHILD_SUBREAPER), so what a
// job's processes leave behind when they end stays below Spindle, where it
// is found, ended with its job, and reaped. A job never outlives Spindle:
// the registry is ended at exit and on a termination signal (signals.h),
// the child gets a parent-death signal, and a small watchdog process ends
// every registered job when Spindle dies without a chance to do so itself
// (SIGKILL, a crash).
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

namespace platform {

// Time a job has to end after SIGTERM before SIGKILL ends it.
constexpr int kJobGraceMs = 3000;

// Starts `proc` as a job running `argv` (the program's path first) byte for
// byte, in the folder `workingDir` (bytes too; empty: Spindle's own). Returns
// the group's id, or 0 when the start failed or Spindle is ending. A program
// that cannot be executed ends at once with status 127.
qint64 startInOwnGroup(QProcess &proc, QIODevice::OpenMode mode, const QList<QByteArray> &argv,
                       const QByteArray &workingDir = {});

// SIGTERM to every process of the job: its group, and what left the group.
void terminateGroup(qint64 group);
// SIGKILL to every process of the group and to every process below one of
// them, also when it made a group of its own (a batch file's programs), and
// to what left the group. The caller reaps its own child.
void killGroup(qint64 group);
// Whether some process of the job has not ended yet (zombies have).
bool groupRunning(qint64 group);
// Drops an ended job from the registry.
void forgetJob(qint64 group);

// Ends a job the way Stop does, without blocking: SIGTERM now, SIGKILL
// once the grace time has passed, and when the group is empty the job is
// forgotten and `ended` runs (on this thread's event loop).
void endJobLater(qint64 group, std::function<void()> ended = {});

// Ends every registered job: SIGTERM, up to the grace time for them to
// end, SIGKILL for the rest, and a bounded wait for those. Blocks. From
// then on no new job starts: Spindle is ending.
void endAllJobs();

// Result of runAndWait when the program could not be started.
constexpr int kNotStartable = -1;

// Runs a program as a job with this process's standard input, output and
// error, in `workingDir` (this process's own when empty), waits for its end,
// then ends what it left in its group. Returns its exit status (128 plus
// the signal number when a signal ended it), or kNotStartable (also when
// `workingDir` cannot be entered). A termination signal while it waits ends
// every job and this process (see endJobsAndExit).
int runAndWait(const QString &program, const QStringList &args, const QString &workingDir = QString());

// Blocks until `fd` has input (or its end); a termination signal meanwhile
// ends every job and this process.
void waitForInput(int fd);

} // namespace platform
