#include "iso/order_report.h"

#include "base/text_codec.h"
#include "iso/order_check.h"
#include "platform/path_codec.h"

#include <optional>

namespace iso {

namespace {
std::string bytesOf(const QString &path)
{
    const QByteArray b = platform::encodePath(path);
    return std::string(b.constData(), size_t(b.size()));
}

// As the Layout Sorter shows names: bytes that are not UTF-8 as Windows-1252.
QString textOf(const std::string &bytes)
{
    return base::displayPath(platform::decodePath(QByteArray(bytes.data(), qsizetype(bytes.size()))));
}

// A weight as the list holds it: blanks, a sign, digits; 32 bits.
std::optional<int32_t> weightOf(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || text.trimmed().isEmpty())
        return std::nullopt;
    return int32_t(v);
}

QString namesText(NameSource n)
{
    switch (n) {
    case NameSource::RockRidge: return QStringLiteral("Rock Ridge");
    case NameSource::Joliet: return QStringLiteral("Joliet");
    case NameSource::Iso9660: break;
    }
    return QStringLiteral("ISO 9660");
}
} // namespace

OrderReport orderReport(const QString &imagePath, const QList<QPair<QString, QString>> &rows)
{
    OrderReport r;
    const FileImage image(bytesOf(imagePath));
    if (!image.isOpen()) {
        r.error = QString::fromStdString(image.openError());
        return r;
    }
    const ImageListing listing = readImageOrder(image);
    if (!listing.ok) {
        r.error = QString::fromStdString(listing.error);
        return r;
    }
    r.ok = true;
    QStringList head;
    head << QStringLiteral("Image: %1 (%2 names, %3 files)")
                .arg(base::displayPath(imagePath), namesText(listing.names))
                .arg(listing.files.size());
    for (const std::string &p : listing.problems)
        head << QStringLiteral("Problem: ") + QString::fromStdString(p);

    base::SortLines lines;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].first.isEmpty())
            continue;
        const std::optional<int32_t> w = weightOf(rows[i].second);
        if (!w) {
            head << QStringLiteral("Row %1: weight '%2' is not an integer; left out")
                        .arg(i + 1)
                        .arg(base::displayPath(rows[i].second));
            continue;
        }
        lines.names.push_back(bytesOf(rows[i].first));
        lines.weights.push_back(*w);
        lines.lineNumbers.push_back(int(i + 1));
    }

    QStringList body;
    if (lines.names.empty()) {
        body << QStringLiteral("%1 %2  %3").arg(QStringLiteral("Sector"), 10).arg(QStringLiteral("Size"), 12).arg(QStringLiteral("Path"));
        for (const ImageFile &f : listing.files)
            body << QStringLiteral("%1 %2  %3").arg(f.extent, 10).arg(qulonglong(f.size), 12).arg(textOf(f.path));
    } else {
        const OrderCheck c = checkOrder(listing, lines, std::string());
        r.outOfOrder = qsizetype(c.outOfOrder);
        if (c.root.empty())
            head << QStringLiteral("Root folder: none; no row of the list names a file or folder of the image");
        else
            head << QStringLiteral("Root folder: %1 (from the list)").arg(textOf(c.root));
        head << QStringLiteral("%1 of %2 rows match; %3 of %4 files out of order")
                    .arg(c.linesMatched)
                    .arg(lines.names.size())
                    .arg(c.outOfOrder)
                    .arg(c.files.size());
        body << QStringLiteral("%1 %2 %3  %4")
                    .arg(QStringLiteral("Sector"), 10)
                    .arg(QStringLiteral("Size"), 12)
                    .arg(QStringLiteral("Weight"), 11)
                    .arg(QStringLiteral("Path"));
        for (const OrderedFile &o : c.files)
            body << QStringLiteral("%1 %2 %3  %4%5")
                        .arg(o.file.extent, 10)
                        .arg(qulonglong(o.file.size), 12)
                        .arg(o.weight, 11)
                        .arg(textOf(o.file.path), o.outOfOrder ? QStringLiteral("  out of order") : QString());
    }
    r.text = head.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + body.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return r;
}

} // namespace iso
