#pragma once
// Reads a burned disc back and compares it with the image it was burned
// from: as many bytes as the image has (what a recorder pads after it does
// not count), by SHA-256 and sector by sector.
#include "exec/command_line.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace disc {

constexpr qint64 kSectorBytes = 2048;

struct VerifyResult
{
    bool matches = false;
    // The first sector of the disc that differs from the image's; -1 when
    // none does.
    qint64 firstDifferentSector = -1;
    // The disc ended (or could not be read further) at this sector, before
    // the image did; -1 when it held the whole image.
    qint64 endedAtSector = -1;
    qint64 sectors = 0; // the image's, rounded up
    QByteArray imageSha256, discSha256; // hex, of the bytes compared
    QString error; // the image or the disc could not be opened or read
};

// Compares the image with what `disc` gives, an open file or the output of
// a reading program. `progress` gets the bytes compared so far and the
// image's size; it returns false to stop (the result then says nothing
// matched).
VerifyResult verifyDisc(const QString &imagePath, QIODevice &disc,
                        const std::function<bool(qint64 done, qint64 total)> &progress = {});

// The file that holds what a drive reads, when the address names one: an
// emulated drive's ("stdio:PATH") or a device path; empty for bus,target,lun.
QString discFileOf(const QString &address);
// How a drive at bus,target,lun is read back: readcd writing the image's
// sectors to its standard output.
exec::CommandLine readBackCommand(const QString &readcd, const QString &address, qint64 sectors);

// What a verify ends with: "Disc verified: it matches the image." or why not.
QString verifyVerdict(const VerifyResult &r);
inline const QString kDiscVerified = QStringLiteral("Disc verified: it matches the image.");

} // namespace disc
