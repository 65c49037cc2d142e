#include "iso/template_file.h"

#include "iso/profile_file.h"

#include "base/text_codec.h"
#include "platform/path_codec.h"

#include <algorithm>

namespace iso {

namespace {
const QString kVersionSection = QStringLiteral("Make_ISO template file");
} // namespace

bool parseProfileInt(const QByteArray &raw, qint64 *value)
{
    QByteArray t = raw.trimmed();
    bool negative = false;
    if (t.startsWith('-') || t.startsWith('+')) {
        negative = t.startsWith('-');
        t = t.mid(1);
    }
    bool ok = false;
    qint64 v = 0;
    if (t.startsWith('$'))
        v = t.mid(1).toLongLong(&ok, 16);
    else if (t.startsWith("0x") || t.startsWith("0X"))
        v = t.mid(2).toLongLong(&ok, 16);
    else if (!t.isEmpty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
        v = t.toLongLong(&ok, 10);
    if (!ok)
        return false;
    *value = negative ? -v : v;
    return true;
}

namespace {
// A line break of a comment: the characters U+00FD U+00FE ("ýþ"),
// written in the file's one encoding, UTF-8.
const QString kBreak = QStringLiteral("\u00fd\u00fe");
} // namespace

QByteArray escapeComment(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), kBreak);
    return t.toUtf8();
}

QString unescapeComment(const QByteArray &bytes)
{
    QString t;
    if (bytes.contains('\xFD') || bytes.contains('\xFE')) {
        // Older templates hold the markers as the raw bytes 0xFD 0xFE (never
        // part of UTF-8), in Windows-1252 or UTF-8 text; there each marker
        // byte is a line break of its own.
        QByteArray b = bytes;
        b.replace('\xFE', '\n');
        b.replace('\xFD', '\r');
        t = base::decodeText(b);
    } else {
        // Only the pair is a line break: a lone "ý" or "þ" is text.
        t = base::decodeText(bytes);
        t.replace(kBreak, QLatin1String("\n"));
    }
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

LoadResult loadTemplate(const QString &path, IsoOptions &o, QString *error)
{
    ProfileFile f;
    if (!f.load(path, error))
        return LoadResult::Unreadable;
    bool found = false;
    const QByteArray version = f.value(kVersionSection, QStringLiteral("version"), &found);
    if (!found || version != "2")
        return LoadResult::WrongVersion;
    for (const OptionRow &r : optionRows()) {
        const QByteArray raw = f.value(QLatin1String(r.section), QLatin1String(r.name), &found);
        const bool control = std::any_of(raw.begin(), raw.end(), [](char c) {
            return (uchar(c) < 0x20 && c != '\t') || uchar(c) == 0x7f;
        });
        if (control) {
            if (error)
                *error = QStringLiteral("The value of %1 in the template holds a control character; "
                                        "the template was not loaded.")
                             .arg(QLatin1String(r.name));
            return LoadResult::Refused;
        }
    }
    for (const OptionRow &r : optionRows()) {
        const QByteArray raw = f.value(QLatin1String(r.section), QLatin1String(r.name), &found);
        switch (r.kind) {
        case OptionKind::Check:
        case OptionKind::Integer: {
            qint64 v = 0;
            if (!found || !parseProfileInt(raw, &v))
                v = QByteArray(r.readDefault).toLongLong();
            if (r.kind == OptionKind::Check)
                o.setCheck(r.key, v != 0);
            else
                o.setIsoLevel(int(qBound(qint64(1), v, qint64(3))));
            break;
        }
        case OptionKind::Text:
            if (!found)
                o.setText(r.key, QString::fromLatin1(r.readDefault));
            else if (r.key == Opt::comment_1)
                o.setComments(unescapeComment(raw));
            // A file name keeps its bytes, whatever they are.
            else
                o.setText(r.key, r.fileName ? platform::decodePath(raw) : base::decodeText(raw));
            break;
        }
    }
    return LoadResult::Loaded;
}

bool saveTemplate(const QString &path, const IsoOptions &o, QString *error)
{
    ProfileFile f;
    QString ignored;
    // A file that cannot be read is replaced; the write reports any failure.
    f.load(path, &ignored);
    f.setValue(kVersionSection, QStringLiteral("version"), "2");
    for (const OptionRow &r : optionRows()) {
        QByteArray v;
        if (r.key == Opt::comment_1)
            v = escapeComment(o.comments());
        else if (r.kind == OptionKind::Text)
            v = r.fileName ? platform::encodePath(o.text(r.key)) : o.text(r.key).toUtf8();
        else
            v = o.value(r.key).toLatin1();
        f.setValue(QLatin1String(r.section), QLatin1String(r.name), ProfileFile::quotedIfNeeded(v));
    }
    QString reason;
    if (!f.save(path, &reason)) {
        if (error)
            *error = QStringLiteral("Unable to write to %1. %2").arg(path, reason);
        return false;
    }
    return true;
}

} // namespace iso
