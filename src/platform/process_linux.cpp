#include "process.h"

#include "path_codec.h"

#include <QFile>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace platform {

qint64 startInOwnGroup(QProcess &proc, QIODevice::OpenMode mode)
{
    proc.setChildProcessModifier([] { ::setpgid(0, 0); });
    proc.start(mode);
    const qint64 pid = proc.processId();
    if (pid <= 0)
        return 0;
    // The parent sets the group too: whichever side runs first, the group
    // exists before anyone can try to end it.
    ::setpgid(pid_t(pid), pid_t(pid));
    return pid;
}

void killGroup(qint64 group)
{
    if (group <= 0)
        return;
    ::kill(-pid_t(group), SIGKILL);
    ::kill(pid_t(group), SIGKILL); // in case the leader never joined its group
}

int runAndWait(const QString &program, const QStringList &args, const QString &workingDir)
{
    std::vector<QByteArray> store;
    store.push_back(QFile::encodeName(program));
    for (const QString &a : args)
        store.push_back(a.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    // The child enters its folder itself; this process's stays as it is.
    const QByteArray dir = encodePath(workingDir);
    if (!workingDir.isEmpty())
        ::posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return kNotStartable;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace platform
