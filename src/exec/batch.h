#pragma once
#include <QString>

namespace exec {

// Runs a batch file line by line, as a command processor does for the
// subset Spindle writes: "@" prefix, echo off / echo on, echo TEXT, rem,
// pause, and any other line as a program run directly (split and searched
// the way the runner does), waited for, its output passed through.
// Every program runs in `workingDir` (the start directory when empty), which
// the echo prompt shows. Returns the exit code of the last program run (0
// when none ran), or 1 when the file cannot be read: only a regular file of
// at most kBatchFileLimit bytes is ("Text exceeds memo capacity" above it).
int runBatchFile(const QString &path, const QString &workingDir = QString());
constexpr qint64 kBatchFileLimit = qint64(64) << 20;
// A longer line ends the run with "The input line is too long." (exit 1).
constexpr qsizetype kBatchLineLimit = qsizetype(1) << 20;

// Error level of a line whose program cannot be found or started, as a
// command processor sets it.
constexpr int kUnknownCommand = 9009;

} // namespace exec
