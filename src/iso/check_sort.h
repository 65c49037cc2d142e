#pragma once
// Check's word on the sort file: read through the bounded reader and the
// sort line reader every judge of a sort file shares, so that it says what
// the Layout Sorter and spindle-cli order say.
#include "iso/check.h"

#include <QSet>
#include <QString>

namespace iso {

// Adds to *problems the lines genisoimage refuses (it stops at the first),
// the weights it changes, and the lines that give no file or folder a
// weight; for a path that no file or folder has, the nearest path that
// exists below the root. `paths` are the walked entries as the sort file
// names them (`prefix`, the root as the command line names it, plus "/"
// and the path below it).
void checkSortFile(const QString &sortFile, const QString &prefix, const QSet<QString> &paths,
                   QList<CheckProblem> *problems);

} // namespace iso
