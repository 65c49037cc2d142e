#pragma once
// Files and processes as the tests see them: the test programs' folder,
// whole-file reads and writes, the processes /proc shows, and a program run
// from raw argument bytes.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/types.h>

QString binDir();
QString testChild();

QByteArray readAll(const QString &path);
bool writeAll(const QString &path, const QByteArray &data);

// Gone, or a zombie that will never run again.
bool processGone(qint64 pid);

// Processes as /proc shows them, for the tests that a job leaves nothing
// behind. A job's processes are the test child's family modes, each with
// the job's marker in its command line.
struct ProcEntry
{
    pid_t pid = 0;
    pid_t pgrp = 0;
    char state = 0;
    QList<QByteArray> argv;
};

// Every process /proc shows that has not ended (zombies have).
QList<ProcEntry> liveProcesses();
bool hasMarker(const ProcEntry &e, const QByteArray &marker);
// One of the job's own processes: the test child or a grandchild.
bool isJobProcess(const ProcEntry &e, const QByteArray &marker);
QList<ProcEntry> jobProcesses(const QByteArray &marker);
// What is left of a job: its processes and anything else in its group or
// carrying its marker.
QStringList leftOf(const QByteArray &marker, pid_t group);
bool noneWithMarker(const QByteArray &marker);
QByteArray newMarker();

// One program run from raw argument bytes (names that are not UTF-8 reach
// it as they are), without a shell: stdin and stdout on /dev/null, stderr
// captured. Waits for the end of its stderr, at most `timeoutMs`, then for
// the program itself; a program still running then is killed (timedOut).
// The child's address space is capped at `memoryLimit` bytes, so a reader
// without bound fails fast instead of filling the machine (not in a
// sanitizer build, whose shadow memory alone is far larger). maxRssKb is the
// child's own peak resident size (wait4).
struct RawRun
{
    int exitCode = -1; // 128 + N when ended by signal N
    bool timedOut = false;
    QByteArray err;
    long maxRssKb = 0;
};
RawRun runRaw(const QList<QByteArray> &argv, int timeoutMs = 120000, qint64 memoryLimit = qint64(2) << 30);

// A program run through QProcess (arguments as text): its exit code (-1
// when it did not end within `timeoutMs`) and its output.
struct ProgramRun
{
    int code = -1;
    QByteArray out, err;
};
ProgramRun runProgram(const QString &program, const QStringList &args, const QString &cwd = {},
                      const std::function<void()> &inChild = nullptr, int timeoutMs = 120000);
