#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace exec {

// How a word is written when a command line is rendered as text: a value
// between double quotes (file names, ids), or as it stands (switches,
// device addresses, speeds). Only the text changes: a word that would not
// split back whole is quoted whatever it asks for.
enum class Shown { Bare, Quoted };

struct Word
{
    QByteArray bytes;
    Shown shown = Shown::Bare;
    // Quoted words: how many leading bytes stand before the quotes, as the
    // "of=" of dd's of="FILE".
    qsizetype prefix = 0;
    // What the program gets is the bytes; how they are shown is no part of it.
    bool operator==(const Word &o) const { return bytes == o.bytes; }
};

// A program and its arguments, as data: every builder returns one, the
// runner starts it as an argument vector and never splits it again, and
// text comes from it only through render(). Words are bytes: a name that is
// not UTF-8 reaches the program unchanged. QString values are taken in the
// byte-preserving form of platform::decodePath.
class CommandLine
{
public:
    CommandLine() = default;
    explicit CommandLine(const QString &program, Shown shown = Shown::Bare);
    static CommandLine fromWords(const QList<QByteArray> &words);

    CommandLine &arg(const QString &value) { return add(value, Shown::Bare); }
    CommandLine &quoted(const QString &value) { return add(value, Shown::Quoted); }
    // `prefix` as it stands glued to a quoted value: of="FILE".
    CommandLine &quoted(const QByteArray &prefix, const QString &value);
    CommandLine &add(const QString &value, Shown shown);
    CommandLine &add(const QByteArray &bytes, Shown shown = Shown::Bare);
    CommandLine &add(const QList<QByteArray> &words);
    CommandLine &add(const Word &word);

    bool isEmpty() const { return m_program.bytes.isEmpty(); }
    const Word &program() const { return m_program; }
    QString programPath() const;
    void setProgram(const QString &program, Shown shown = Shown::Bare);
    const QList<Word> &arguments() const { return m_args; }
    // The argument after the first `word` (such as the file of "-o"), or
    // empty; `found` says whether the word was there.
    QByteArray valueAfter(const QByteArray &word, bool *found = nullptr) const;
    qsizetype indexOf(const QByteArray &word) const;
    void removeArguments(qsizetype at, qsizetype count = 1);
    void insertArgument(qsizetype at, const QByteArray &bytes, Shown shown = Shown::Bare);
    // Program and arguments as a program gets them.
    QList<QByteArray> argv() const;

    // The one text form, for build.bat and for display: parseCommandLine
    // gives back the same words. Empty when the program word holds a
    // double quote, which the program word cannot carry.
    QByteArray render() const;
    // render() for a person to read (the console's first line, the log).
    QString display() const;

    bool operator==(const CommandLine &o) const { return m_program == o.m_program && m_args == o.m_args; }

private:
    Word m_program;
    QList<Word> m_args;
};

// Text that arrives as text (a build.bat line, a free parameter field, the
// runner's text property, a line typed for spindle-cli exec) cut into words
// the way a Windows program's start-up code does: the first word is the
// program (quotes group, backslashes are literal); in the arguments,
// double quotes group words, 2n backslashes before a quote give n
// backslashes and toggle quoting, 2n+1 give n backslashes and a literal
// quote, "" inside quotes is a literal quote. No variable expansion, no
// globbing, no operators: text stays text.
QList<QByteArray> splitCommandLine(const QByteArray &text);
CommandLine parseCommandLine(const QByteArray &text);
// Arguments alone (a free parameter field), by the argument rules.
QList<QByteArray> splitArguments(const QByteArray &text);

// The quoting render() uses: the exact inverse of the splitter for an
// argument word. A quote becomes \" and the backslashes right before a
// quote (or before the closing quote) are doubled.
QByteArray quoteArgument(const QByteArray &value);
// The program word has no escape: between quotes, or empty when it holds one.
QByteArray quoteProgram(const QByteArray &path);

// True when `value` holds a control character other than a tab (a line
// break, say): such a value would start a new line in a batch or list file,
// so no value from a user may hold one.
bool holdsControlCharacter(const QString &value);

} // namespace exec
