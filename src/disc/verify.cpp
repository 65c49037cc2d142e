#include "disc/verify.h"

#include "platform/files.h"

#include <QCryptographicHash>
#include <QFile>

namespace disc {

namespace {
constexpr qint64 kChunk = 64 * kSectorBytes;

// Reads up to `n` bytes, as many as the source gives (a device or a
// program gives them in pieces); fewer only at its end or on an error.
qint64 readFully(QIODevice &from, char *to, qint64 n)
{
    qint64 got = 0;
    while (got < n) {
        const qint64 r = from.read(to + got, n - got);
        if (r < 0)
            break;
        if (r == 0 && !from.waitForReadyRead(-1))
            break;
        got += r;
    }
    return got;
}
} // namespace

VerifyResult verifyDisc(const QString &imagePath, QIODevice &disc, const std::function<bool(qint64, qint64)> &progress)
{
    VerifyResult r;
    QFile image(imagePath);
    if (!image.open(QIODevice::ReadOnly)) {
        r.error = platform::cannotOpenText(imagePath, image.errorString());
        return r;
    }
    const qint64 total = image.size();
    r.sectors = (total + kSectorBytes - 1) / kSectorBytes;
    QCryptographicHash imageHash(QCryptographicHash::Sha256), discHash(QCryptographicHash::Sha256);
    QByteArray a(kChunk, Qt::Uninitialized), b(kChunk, Qt::Uninitialized);
    qint64 done = 0;
    while (done < total) {
        const qint64 want = std::min(kChunk, total - done);
        if (readFully(image, a.data(), want) != want) {
            r.error = QStringLiteral("Cannot read \"%1\". %2").arg(imagePath, image.errorString());
            return r;
        }
        const qint64 got = readFully(disc, b.data(), want);
        imageHash.addData(QByteArrayView(a.constData(), want));
        discHash.addData(QByteArrayView(b.constData(), got));
        if (r.firstDifferentSector < 0) {
            for (qint64 i = 0; i < got; ++i)
                if (a[i] != b[i]) {
                    r.firstDifferentSector = (done + i) / kSectorBytes;
                    break;
                }
        }
        if (got < want) {
            r.endedAtSector = (done + got) / kSectorBytes;
            break;
        }
        done += want;
        if (progress && !progress(done, total))
            return r;
    }
    r.imageSha256 = imageHash.result().toHex();
    r.discSha256 = discHash.result().toHex();
    r.matches = r.endedAtSector < 0 && r.firstDifferentSector < 0 && r.imageSha256 == r.discSha256;
    return r;
}

QString discFileOf(const QString &address)
{
    if (address.startsWith(QLatin1String("stdio:")))
        return address.mid(6);
    if (address.startsWith(QLatin1Char('/')))
        return address;
    return {};
}

exec::CommandLine readBackCommand(const QString &readcd, const QString &address, qint64 sectors)
{
    // readcd asks the drive itself what it holds; the kernel's block device
    // may still know the disc as it was before the burn.
    return exec::CommandLine(readcd)
        .arg(QStringLiteral("dev=") + address)
        .arg(QStringLiteral("sectors=0-%1").arg(sectors))
        .arg(QStringLiteral("f=-"));
}

QString verifyVerdict(const VerifyResult &r)
{
    if (!r.error.isEmpty())
        return QStringLiteral("Verify failed: ") + r.error;
    if (r.firstDifferentSector >= 0)
        return QStringLiteral("Verify failed: sector %1 of the disc differs from the image.").arg(r.firstDifferentSector);
    if (r.endedAtSector >= 0)
        return QStringLiteral("Verify failed: the disc ends at sector %1; the image has %2.")
            .arg(r.endedAtSector)
            .arg(r.sectors);
    if (!r.matches)
        return QStringLiteral("Verify stopped.");
    return kDiscVerified;
}

} // namespace disc
