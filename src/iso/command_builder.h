#pragma once
#include "iso_options.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace iso {

struct BuiltCommand
{
    QString commandLine;
    QStringList messages; // in row order; each informs, none stops the build
};

// The mkisofs command line in its fixed order of pieces.
BuiltCommand buildCommandLine(const IsoOptions &o);

// build.bat: nine lines, each ended by CR LF, the command line sixth.
QByteArray batchFile(const QString &commandLine);

// The texts that name the platform's mkisofs file.
QString mkisofsFileName();
QString missingMkisofsMessage();

} // namespace iso
