#include "batch.h"

#include "command_line.h"
#include "dos_command.h"
#include "platform/platform.h"
#include "platform/process.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace exec {

namespace {

void out(const QByteArray &text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

bool startsWithWord(const QString &line, const char *word)
{
    const qsizetype n = qsizetype(std::strlen(word));
    if (!line.startsWith(QLatin1String(word), Qt::CaseInsensitive))
        return false;
    return line.size() == n || line[n] == QLatin1Char(' ') || line[n] == QLatin1Char('\t');
}

} // namespace

int runBatchFile(const QString &path, const QString &workingDirIn)
{
    const QString workingDir = workingDirIn.isEmpty() ? platform::startDirectory() : workingDirIn;
    // The prompt a command processor shows: the folder without its closing
    // separator, except for the root.
    QString prompt = workingDir;
    while (prompt.size() > 1 && prompt.endsWith(QLatin1Char('/')))
        prompt.chop(1);
    QFile f(platform::absolutePath(path, workingDir));
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
            out("\n" + prompt.toUtf8() + ">" + line.toUtf8() + "\n");
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
            // A terminal waits for its key: ask first. Otherwise the prompt
            // is shown only for a line that really answers it (the console's
            // queued empty line); at the end of the input nothing waits, so
            // nothing is asked.
            char buf[256];
            // Unbuffered, so the programs after it still get their input;
            // a termination signal while waiting ends the run.
            static const bool unbuffered = std::setvbuf(stdin, nullptr, _IONBF, 0) == 0;
            (void)unbuffered;
            if (::isatty(0)) {
                out("Press any key to continue . . . ");
                platform::waitForInput(0);
                if (std::fgets(buf, sizeof buf, stdin))
                    out("\n");
            } else {
                platform::waitForInput(0);
                if (std::fgets(buf, sizeof buf, stdin))
                    out("Press any key to continue . . . \n");
            }
            continue;
        }
        const QStringList words = splitCommandLine(line);
        const auto [program, args] = TDosCommand::resolve(words, workingDir);
        last = program.isEmpty() ? platform::kNotStartable : platform::runAndWait(program, args, workingDir);
        if (last == platform::kNotStartable) {
            std::fprintf(stderr, "'%s' is not recognized as an internal or external command,\n"
                                 "operable program or batch file.\n",
                         words.value(0).toUtf8().constData());
            last = kUnknownCommand;
        }
    }
    return last;
}

} // namespace exec
