#pragma once
#include <QString>

namespace base {

// Where the help is: help.chm in the current directory, else in Spindle's
// folder (as the tools are found), and the HTML pages staged beside it as
// help/index.html. Absolute paths; empty when not there.
struct HelpFiles
{
    QString chm;
    QString html;
};
HelpFiles findHelp();

} // namespace base
