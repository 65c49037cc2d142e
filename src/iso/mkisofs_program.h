#pragma once
// Which program answers to the mkisofs location: genisoimage, xorrisofs or
// cdrtools' mkisofs, told by its own version text, never by its name.
#include "iso/iso_options.h"

#include <QString>
#include <QStringList>

namespace iso {

// The program a version text names; Unknown for none of them.
Builder builderOfVersionText(const QStringList &lines);
// Runs the program's version query (bounded in time and output) once per
// file state. Unknown when there is no such program.
Builder builderOfProgram(const QString &path);
// The program of an option set's mkisofs location, as its command line
// starts it, identified; the option set takes it as its builder.
void identifyBuilder(IsoOptions &o);

} // namespace iso
