#include "platform/signals.h"

#include "platform/process.h"

#include <QObject>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {
std::atomic<int> g_signal{0};
int g_pipe[2] = {-1, -1};
constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int sig)
{
    int none = 0;
    if (!g_signal.compare_exchange_strong(none, sig)) {
        // The second request: no more waiting.
        killAllJobsAtOnce();
        ::_exit(128 + sig);
    }
    const int saved = errno;
    const char byte = char(sig);
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}
} // namespace

void catchTerminationSignals()
{
    if (g_pipe[0] >= 0)
        return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return; // the defaults stay: better than a signal nobody hears
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int s : kCaught)
        sigaddset(&sa.sa_mask, s); // one handler at a time
    sa.sa_flags = SA_RESTART;
    for (int s : kCaught)
        ::sigaction(s, &sa, nullptr);
}

int terminationSignal() { return g_signal.load(); }

int terminationFd() { return g_pipe[0]; }

void onTerminationSignal(QObject *context, std::function<void(int)> handler)
{
    if (g_pipe[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, handler] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        const int sig = g_signal.load();
        if (sig == 0)
            return;
        notifier->setEnabled(false); // once
        handler(sig);
    });
}

void endJobsAndExit(int sig)
{
    endAllJobs();
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(128 + sig);
}

} // namespace platform
