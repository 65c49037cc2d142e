#include "iso/mkisofs_program.h"

#include "iso/command_builder.h"
#include "platform/platform.h"

namespace iso {

Builder builderOf(exec::Implementation implementation)
{
    switch (implementation) {
    case exec::Implementation::Genisoimage: return Builder::Genisoimage;
    case exec::Implementation::Xorrisofs: return Builder::Xorrisofs;
    case exec::Implementation::CdrtoolsMkisofs: return Builder::Cdrtools;
    default: return Builder::Unknown;
    }
}

Builder builderOfProgram(const QString &path)
{
    if (path.isEmpty() || !platform::fileExists(path))
        return Builder::Unknown;
    return builderOf(exec::identifyProgram(path).implementation);
}

void identifyBuilder(IsoOptions &o)
{
    const MkisoPaths paths = resolvePaths(o);
    o.setBuilder(builderOfProgram(paths.program.contains(QLatin1Char('/'))
                                      ? paths.program
                                      : platform::findProgram(paths.program, paths.runFolder)));
}

} // namespace iso
