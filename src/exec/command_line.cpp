#include "exec/command_line.h"

namespace exec {

static bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QStringList splitCommandLine(const QString &cl)
{
    QStringList out;
    const qsizetype n = cl.size();
    qsizetype i = 0;
    while (i < n && isBlank(cl[i]))
        ++i;
    if (i >= n)
        return out;

    // Program name: quotes toggle, nothing else is special.
    QString word;
    bool quoted = false;
    for (; i < n; ++i) {
        const QChar c = cl[i];
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && isBlank(c))
            break;
        word += c;
    }
    out << word;

    while (true) {
        while (i < n && isBlank(cl[i]))
            ++i;
        if (i >= n)
            break;
        word.clear();
        quoted = false;
        while (i < n) {
            const QChar c = cl[i];
            if (c == QLatin1Char('\\')) {
                qsizetype slashes = 0;
                while (i < n && cl[i] == QLatin1Char('\\')) {
                    ++slashes;
                    ++i;
                }
                if (i < n && cl[i] == QLatin1Char('"')) {
                    word += QString(slashes / 2, QLatin1Char('\\'));
                    if (slashes % 2) {
                        word += QLatin1Char('"');
                        ++i;
                    }
                    // even count: the quote is handled by the next turn
                } else {
                    word += QString(slashes, QLatin1Char('\\'));
                }
                continue;
            }
            if (c == QLatin1Char('"')) {
                if (quoted && i + 1 < n && cl[i + 1] == QLatin1Char('"')) {
                    word += QLatin1Char('"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && isBlank(c))
                break;
            word += c;
            ++i;
        }
        out << word;
    }
    return out;
}

QString quoteArgument(const QString &value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += QLatin1Char('"');
    qsizetype slashes = 0;
    for (const QChar c : value) {
        if (c == QLatin1Char('\\')) {
            ++slashes;
        } else if (c == QLatin1Char('"')) {
            // n backslashes before a literal quote: 2n+1 of them, then the quote
            out += QString(slashes + 1, QLatin1Char('\\'));
            slashes = 0;
        } else {
            slashes = 0;
        }
        out += c;
    }
    // Trailing backslashes precede the closing quote: double them.
    out += QString(slashes, QLatin1Char('\\'));
    out += QLatin1Char('"');
    return out;
}

QString quoteProgram(const QString &path)
{
    if (path.contains(QLatin1Char('"')))
        return QString();
    return QLatin1Char('"') + path + QLatin1Char('"');
}

bool holdsControlCharacter(const QString &value)
{
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || u == 0x7f)
            return true;
    }
    return false;
}

} // namespace exec
