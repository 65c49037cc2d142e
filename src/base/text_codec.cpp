#include "base/text_codec.h"

#include <QStringDecoder>

#include <algorithm>

namespace base {

namespace {
// Windows-1252 bytes 0x80..0x9F; the rest are Latin-1.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
constexpr char16_t kByteBase = 0xDC00; // U+DC80..U+DCFF: bytes that are not UTF-8

bool isByteChar(QChar c) { return c.unicode() >= kByteBase + 0x80 && c.unicode() <= kByteBase + 0xFF; }

QChar cp1252(uchar u) { return (u >= 0x80 && u < 0xA0) ? QChar(kCp1252High[u - 0x80]) : QChar(u); }
} // namespace

QString displayPath(const QString &path)
{
    if (std::none_of(path.begin(), path.end(), isByteChar))
        return path;
    QString out = path;
    for (QChar &c : out)
        if (isByteChar(c))
            c = cp1252(uchar(c.unicode() - kByteBase));
    return out;
}

QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString s = utf8.decode(bytes);
    if (!utf8.hasError())
        return s;
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        out += cp1252(uchar(c));
    }
    return out;
}

} // namespace base
