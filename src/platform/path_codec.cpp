#include "platform/path_codec.h"

#include <QStringDecoder>

namespace platform {

namespace {
constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF stand for bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when invalid.
int utf8Sequence(const uchar *p, qsizetype n)
{
    const uchar c = p[0];
    int len;
    char32_t cp;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))
        || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}
} // namespace

namespace {
bool isAscii(const QByteArray &bytes)
{
    for (const char c : bytes)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}
} // namespace

void appendDecodedPath(QString *to, const QByteArray &bytes)
{
    if (isAscii(bytes))
        to->append(QLatin1StringView(bytes.constData(), bytes.size()));
    else
        to->append(decodePath(bytes));
}

QString decodePath(const QByteArray &bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8.decode(bytes);
    if (!utf8.hasError())
        return s;
    s.clear();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const int len = utf8Sequence(p + i, n - i);
        if (len == 0) {
            s += QChar(char16_t(kEscapeBase + p[i]));
            ++i;
        } else {
            s += QString::fromUtf8(reinterpret_cast<const char *>(p + i), len);
            i += len;
        }
    }
    return s;
}

QByteArray encodePath(const QString &path)
{
    bool escaped = false;
    for (QChar c : path)
        if (c.isLowSurrogate()) {
            escaped = true;
            break;
        }
    if (!escaped)
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 3);
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = path.at(i);
        if (c.isHighSurrogate() && i + 1 < n && path.at(i + 1).isLowSurrogate()) {
            out += QStringView(path).mid(i, 2).toUtf8();
            ++i;
        } else if (c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF) {
            out += char(c.unicode() - kEscapeBase);
        } else {
            out += QStringView(&c, 1).toUtf8();
        }
    }
    return out;
}

QString slashForm(const QString &path)
{
#ifdef Q_OS_WIN
    QString s = path;
    return s.replace(QLatin1Char('\\'), QLatin1Char('/'));
#else
    return path;
#endif
}

} // namespace platform
