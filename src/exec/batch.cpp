#include "exec/batch.h"

#include "exec/command_line.h"
#include "exec/dos_command.h"
#include "platform/platform.h"
#include "platform/process.h"

#include <QDir>
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

bool startsWithWord(const QByteArray &line, const char *word)
{
    const qsizetype n = qsizetype(std::strlen(word));
    if (line.size() < n || line.first(n).compare(word, Qt::CaseInsensitive) != 0)
        return false;
    return line.size() == n || line[n] == ' ' || line[n] == '\t';
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
    const platform::BoundedRead file = platform::readBounded(platform::absolutePath(path, workingDir), kBatchFileLimit);
    switch (file.status) {
    case platform::BoundedRead::Ok: break;
    case platform::BoundedRead::CannotOpen:
        std::fprintf(stderr, "The batch file cannot be found: %s (%s)\n",
                     path.toLocal8Bit().constData(), file.reason.toLocal8Bit().constData());
        return 1;
    case platform::BoundedRead::NotRegular:
        std::fprintf(stderr, "%s\n", platform::cannotOpenText(path, file.reason).toLocal8Bit().constData());
        return 1;
    case platform::BoundedRead::TooLarge:
        std::fputs("Text exceeds memo capacity\n", stderr);
        return 1;
    }
    const QByteArray &all = file.data;
    bool echo = true;
    int last = 0;
    // Line by line in place: no list of every line at once.
    for (qsizetype from = 0; from < all.size();) {
        qsizetype end = all.indexOf('\n', from);
        if (end < 0)
            end = all.size();
        QByteArrayView raw(all.constData() + from, end - from);
        from = end + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        // No program takes a longer command line; refused before it is
        // decoded, so a huge line costs no memory.
        if (raw.size() > kBatchLineLimit) {
            std::fputs("The input line is too long.\n", stderr);
            return 1;
        }
        // The line's bytes are the programs' bytes: no decoding on the way.
        QByteArray line = raw.toByteArray().trimmed();
        bool quiet = false;
        while (line.startsWith('@')) {
            quiet = true;
            line = line.mid(1).trimmed();
        }
        if (line.isEmpty())
            continue;
        if (echo && !quiet)
            out("\n" + platform::encodePath(prompt) + ">" + line + "\n");
        if (startsWithWord(line, "rem"))
            continue;
        if (startsWithWord(line, "echo")) {
            const QByteArray arg = line.mid(4).trimmed();
            if (arg.compare("off", Qt::CaseInsensitive) == 0)
                echo = false;
            else if (arg.compare("on", Qt::CaseInsensitive) == 0)
                echo = true;
            else if (arg.isEmpty())
                out(echo ? "ECHO is on.\n" : "ECHO is off.\n");
            else
                out(line.mid(5) + "\n");
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
        const CommandLine command = parseCommandLine(line);
        const CommandLine resolved = TDosCommand::resolve(command, workingDir);
        if (resolved.isEmpty()) {
            last = platform::kNotStartable;
        } else {
            QStringList args;
            for (const Word &w : resolved.arguments())
                args << platform::decodePath(w.bytes);
            last = platform::runAndWait(resolved.programPath(), args, workingDir);
        }
        if (last == platform::kNotStartable) {
            std::fprintf(stderr, "'%s' is not recognized as an internal or external command,\n"
                                 "operable program or batch file.\n",
                         command.program().bytes.constData());
            last = kUnknownCommand;
        }
    }
    return last;
}

} // namespace exec
