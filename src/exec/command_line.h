#pragma once
#include <QString>
#include <QStringList>

namespace exec {

// Splits a command line the way a Windows program's start-up code does:
// the first word is the program (quotes group, backslashes are literal);
// in the arguments, double quotes group words, 2n backslashes before a quote
// give n backslashes and toggle quoting, 2n+1 give n backslashes and a
// literal quote, "" inside quotes is a literal quote. No variable expansion,
// no globbing, no operators: text stays text.
QStringList splitCommandLine(const QString &commandLine);

// The one way a value goes between double quotes on a command line: the
// exact inverse of splitCommandLine for an argument word. A quote becomes
// \" and the backslashes right before a quote (or before the closing
// quote) are doubled; nothing else changes, so a value with neither quotes
// nor trailing backslashes comes out as "value".
QString quoteArgument(const QString &value);

// The program word follows simpler rules (quotes toggle, backslashes are
// literal), so a program path can hold anything but a double quote. Returns
// the path between quotes, or an empty string when it holds a quote.
QString quoteProgram(const QString &path);

// True when `value` holds a control character other than a tab (a line
// break, say): such a value would start a new line in a batch or list file,
// so no value from a user may hold one.
bool holdsControlCharacter(const QString &value);

} // namespace exec
