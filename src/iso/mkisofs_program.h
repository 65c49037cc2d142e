#pragma once
// Which program answers to the mkisofs location: genisoimage, xorrisofs or
// cdrtools' mkisofs, as the tools' identification tells it from the
// program's own version text.
#include "exec/tool_identity.h"
#include "iso/iso_options.h"

#include <QString>

namespace iso {

// The builder an identified program is; Unknown for any other program.
Builder builderOf(exec::Implementation implementation);
// The builder of the program file at `path`; Unknown when there is none.
Builder builderOfProgram(const QString &path);
// The program of an option set's mkisofs location, found as its command
// line starts it, identified; the option set takes it as its builder.
void identifyBuilder(IsoOptions &o);

} // namespace iso
