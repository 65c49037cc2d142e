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

} // namespace exec
