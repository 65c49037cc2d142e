#include "exec/command_line.h"

#include "platform/path_codec.h"

#include <algorithm>

namespace exec {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Whether a word written as it stands would split back as itself.
bool splitsWhole(const QByteArray &w)
{
    if (w.isEmpty())
        return false;
    for (const char c : w)
        if (isBlank(c) || c == '"')
            return false;
    return true;
}

// One argument word from `i` on, by the argument rules; a word that had
// quotes keeps them when rendered again, from where they opened.
Word argumentWord(const QByteArray &cl, qsizetype &i)
{
    const qsizetype n = cl.size();
    QByteArray word;
    bool quoted = false;
    qsizetype firstQuote = -1;
    while (i < n) {
        const char c = cl[i];
        if (c == '\\') {
            qsizetype slashes = 0;
            while (i < n && cl[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && cl[i] == '"') {
                word += QByteArray(slashes / 2, '\\');
                if (slashes % 2) {
                    word += '"';
                    ++i;
                }
                // even count: the quote is handled by the next turn
            } else {
                word += QByteArray(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < n && cl[i + 1] == '"') {
                word += '"';
                i += 2;
                continue;
            }
            if (firstQuote < 0)
                firstQuote = word.size();
            quoted = !quoted;
            ++i;
            continue;
        }
        if (!quoted && isBlank(c))
            break;
        word += c;
        ++i;
    }
    if (firstQuote < 0)
        return {word, Shown::Bare, 0};
    return {word, Shown::Quoted, firstQuote};
}

QList<Word> argumentsFrom(const QByteArray &cl, qsizetype i)
{
    QList<Word> out;
    const qsizetype n = cl.size();
    while (true) {
        while (i < n && isBlank(cl[i]))
            ++i;
        if (i >= n)
            return out;
        out << argumentWord(cl, i);
    }
}

} // namespace

CommandLine::CommandLine(const QString &program, Shown shown) { setProgram(program, shown); }

CommandLine CommandLine::fromWords(const QList<QByteArray> &words)
{
    CommandLine c;
    if (words.isEmpty())
        return c;
    c.m_program = {words.first(), Shown::Bare};
    for (qsizetype i = 1; i < words.size(); ++i)
        c.m_args.append({words[i], Shown::Bare});
    return c;
}

CommandLine &CommandLine::add(const QString &value, Shown shown)
{
    return add(platform::encodePath(value), shown);
}

CommandLine &CommandLine::quoted(const QByteArray &prefix, const QString &value)
{
    m_args.append({prefix + platform::encodePath(value), Shown::Quoted, prefix.size()});
    return *this;
}

CommandLine &CommandLine::add(const QByteArray &bytes, Shown shown)
{
    m_args.append({bytes, shown});
    return *this;
}

CommandLine &CommandLine::add(const Word &word)
{
    m_args.append(word);
    return *this;
}

CommandLine &CommandLine::add(const QList<QByteArray> &words)
{
    for (const QByteArray &w : words)
        m_args.append({w, Shown::Bare});
    return *this;
}

QString CommandLine::programPath() const { return platform::decodePath(m_program.bytes); }

void CommandLine::setProgram(const QString &program, Shown shown)
{
    m_program = {platform::encodePath(program), shown};
}

qsizetype CommandLine::indexOf(const QByteArray &word) const
{
    for (qsizetype i = 0; i < m_args.size(); ++i)
        if (m_args[i].bytes == word)
            return i;
    return -1;
}

QByteArray CommandLine::valueAfter(const QByteArray &word, bool *found) const
{
    const qsizetype at = indexOf(word);
    if (found)
        *found = at >= 0;
    return at >= 0 && at + 1 < m_args.size() ? m_args[at + 1].bytes : QByteArray();
}

void CommandLine::removeArguments(qsizetype at, qsizetype count)
{
    m_args.remove(at, std::min(count, m_args.size() - at));
}

void CommandLine::insertArgument(qsizetype at, const QByteArray &bytes, Shown shown)
{
    m_args.insert(at, {bytes, shown});
}

QList<QByteArray> CommandLine::argv() const
{
    QList<QByteArray> out;
    out.reserve(m_args.size() + 1);
    out << m_program.bytes;
    for (const Word &w : m_args)
        out << w.bytes;
    return out;
}

QByteArray CommandLine::render() const
{
    QByteArray line;
    if (!m_program.bytes.isEmpty()) {
        const bool bare = m_program.shown == Shown::Bare && splitsWhole(m_program.bytes);
        line = bare ? m_program.bytes : quoteProgram(m_program.bytes);
        if (line.isEmpty())
            return line;
    }
    for (const Word &w : m_args) {
        line += ' ';
        if (w.shown == Shown::Bare && splitsWhole(w.bytes))
            line += w.bytes;
        else if (w.prefix > 0 && splitsWhole(w.bytes.first(w.prefix)) && !w.bytes.first(w.prefix).endsWith('\\'))
            line += w.bytes.first(w.prefix) + quoteArgument(w.bytes.mid(w.prefix));
        else
            line += quoteArgument(w.bytes);
    }
    return line;
}

QString CommandLine::display() const { return platform::decodePath(render()); }

namespace {
// The program word: quotes toggle, nothing else is special.
QList<Word> splitWords(const QByteArray &cl)
{
    const qsizetype n = cl.size();
    qsizetype i = 0;
    while (i < n && isBlank(cl[i]))
        ++i;
    if (i >= n)
        return {};
    QByteArray program;
    bool quoted = false, hadQuotes = false;
    for (; i < n; ++i) {
        const char c = cl[i];
        if (c == '"') {
            quoted = !quoted;
            hadQuotes = true;
            continue;
        }
        if (!quoted && isBlank(c))
            break;
        program += c;
    }
    return QList<Word>{{program, hadQuotes ? Shown::Quoted : Shown::Bare, 0}} + argumentsFrom(cl, i);
}

QList<QByteArray> bytesOf(const QList<Word> &words)
{
    QList<QByteArray> out;
    out.reserve(words.size());
    for (const Word &w : words)
        out << w.bytes;
    return out;
}
} // namespace

QList<QByteArray> splitCommandLine(const QByteArray &cl) { return bytesOf(splitWords(cl)); }

CommandLine parseCommandLine(const QByteArray &text)
{
    const QList<Word> words = splitWords(text);
    CommandLine c;
    if (words.isEmpty())
        return c;
    c.setProgram(platform::decodePath(words.first().bytes), words.first().shown);
    for (qsizetype i = 1; i < words.size(); ++i)
        c.add(words[i]);
    return c;
}

QList<QByteArray> splitArguments(const QByteArray &text) { return bytesOf(argumentsFrom(text, 0)); }

QByteArray quoteArgument(const QByteArray &value)
{
    QByteArray out;
    out.reserve(value.size() + 2);
    out += '"';
    qsizetype slashes = 0;
    for (const char c : value) {
        if (c == '\\') {
            ++slashes;
        } else if (c == '"') {
            // n backslashes before a literal quote: 2n+1 of them, then the quote
            out += QByteArray(slashes + 1, '\\');
            slashes = 0;
        } else {
            slashes = 0;
        }
        out += c;
    }
    // Trailing backslashes precede the closing quote: double them.
    out += QByteArray(slashes, '\\');
    out += '"';
    return out;
}

QByteArray quoteProgram(const QByteArray &path)
{
    if (path.contains('"'))
        return QByteArray();
    return '"' + path + '"';
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
