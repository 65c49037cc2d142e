#include "batch.h"

#include "command_line.h"
#include "dos_command.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace exec {

namespace {

void out(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

// Starts a program with this process's standard handles and waits for it.
int runInheriting(const QString &program, const QStringList &args)
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
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return 9009; // what a command processor sets for an unknown command
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool startsWithWord(const QString &line, const char *word)
{
    const qsizetype n = qsizetype(std::strlen(word));
    if (!line.startsWith(QLatin1String(word), Qt::CaseInsensitive))
        return false;
    return line.size() == n || line[n] == QLatin1Char(' ') || line[n] == QLatin1Char('\t');
}

} // namespace

int runBatchFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "The batch file cannot be found: %s (%s)\n",
                     path.toLocal8Bit().constData(), f.errorString().toLocal8Bit().constData());
        return 1;
    }
    const QByteArray all = f.readAll();
    bool echo = true;
    int last = 0;
    for (QByteArray raw : all.split('\n')) {
        if (raw.endsWith('\r'))
            raw.chop(1);
        QString line = QString::fromUtf8(raw).trimmed();
        bool quiet = false;
        while (line.startsWith(QLatin1Char('@'))) {
            quiet = true;
            line = line.mid(1).trimmed();
        }
        if (line.isEmpty())
            continue;
        if (echo && !quiet)
            out("\n" + QDir::currentPath().toUtf8() + ">" + line.toUtf8() + "\n");
        if (startsWithWord(line, "rem"))
            continue;
        if (startsWithWord(line, "echo")) {
            const QString arg = line.mid(4).trimmed();
            if (arg.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0)
                echo = false;
            else if (arg.compare(QLatin1String("on"), Qt::CaseInsensitive) == 0)
                echo = true;
            else if (arg.isEmpty())
                out(echo ? "ECHO is on.\n" : "ECHO is off.\n");
            else
                out(line.mid(5).toUtf8() + "\n");
            continue;
        }
        if (startsWithWord(line, "pause")) {
            out("Press any key to continue . . . ");
            char buf[256];
            if (std::fgets(buf, sizeof buf, stdin))
                out("\n");
            continue;
        }
        const auto [program, args] = TDosCommand::resolve(splitCommandLine(line));
        if (program.isEmpty()) {
            const QString name = splitCommandLine(line).value(0);
            std::fprintf(stderr, "'%s' is not recognized as an internal or external command,\n"
                                 "operable program or batch file.\n",
                         name.toUtf8().constData());
            last = 9009;
            continue;
        }
        last = runInheriting(program, args);
    }
    return last;
}

} // namespace exec
