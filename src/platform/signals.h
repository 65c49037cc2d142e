#pragma once
// Termination signals (SIGINT, SIGTERM, SIGHUP): Spindle ends its jobs
// before it ends itself.
#include <functional>

class QObject;

namespace platform {

// Installs the handlers. The handler does no work: the first signal is
// recorded and wakes whoever watches terminationFd(). A second one kills
// every registered job group with SIGKILL and ends the process at once
// with 128 plus its number.
void catchTerminationSignals();

// The first signal caught, or 0.
int terminationSignal();
// Becomes readable once a signal was caught; -1 before the handlers exist.
int terminationFd();

// Calls `handler` with the signal number from the event loop of
// `context`'s thread once a signal was caught.
void onTerminationSignal(QObject *context, std::function<void(int)> handler);

// Ends every job (endAllJobs), flushes standard output and error and ends
// the process with 128 + sig.
[[noreturn]] void endJobsAndExit(int sig);

// Async-signal-safe: SIGKILL to every registered job, its group and what
// left the group.
void killAllJobsAtOnce();

} // namespace platform
