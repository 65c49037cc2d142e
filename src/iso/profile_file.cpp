#include "iso/profile_file.h"

#include "platform/platform.h"

#include <cerrno>

namespace iso {

namespace {
bool isSectionLine(const QByteArray &trimmed) { return trimmed.startsWith('[') && trimmed.contains(']'); }

QString sectionName(const QByteArray &trimmed)
{
    return QString::fromUtf8(trimmed.mid(1, trimmed.indexOf(']') - 1)).trimmed();
}

// The key of a "key=value" line, or empty.
QString keyOf(const QByteArray &line)
{
    const qsizetype eq = line.indexOf('=');
    return eq <= 0 ? QString() : QString::fromUtf8(line.left(eq)).trimmed();
}

bool same(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

} // namespace

QString ProfileFile::tooLargeText() { return QStringLiteral("larger than 1 MiB, too large for a template"); }

bool ProfileFile::load(const QString &path, QString *error)
{
    m_lines.clear();
    const platform::BoundedRead file = platform::readBounded(path, kProfileLimit);
    if (file.status == platform::BoundedRead::CannotOpen && (file.errnum == ENOENT || file.errnum == ENOTDIR))
        return true;
    if (!file.ok()) {
        if (error)
            *error = file.status == platform::BoundedRead::TooLarge ? tooLargeText() : file.reason;
        return false;
    }
    const QByteArray &all = file.data;
    if (all.isEmpty())
        return true;
    m_lines = all.split('\n');
    if (m_lines.last().isEmpty())
        m_lines.removeLast();
    for (QByteArray &l : m_lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return true;
}

QByteArray ProfileFile::text() const
{
    QByteArray out;
    for (const QByteArray &l : m_lines)
        out += l + "\r\n";
    return out;
}

bool ProfileFile::save(const QString &path, QString *error) const
{
    return platform::writeFileAtomic(path, text(), error);
}

qsizetype ProfileFile::sectionLine(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArray t = m_lines[i].trimmed();
        if (isSectionLine(t) && same(sectionName(t), section))
            return i;
    }
    return -1;
}

qsizetype ProfileFile::keyLine(qsizetype sectionAt, const QString &key) const
{
    for (qsizetype i = sectionAt + 1; i < m_lines.size(); ++i) {
        const QByteArray t = m_lines[i].trimmed();
        if (isSectionLine(t))
            break;
        if (same(keyOf(m_lines[i]), key))
            return i;
    }
    return -1;
}

namespace {
bool enclosedInQuotes(const QByteArray &v)
{
    return v.size() >= 2 && ((v.startsWith('"') && v.endsWith('"')) || (v.startsWith('\'') && v.endsWith('\'')));
}
} // namespace

QByteArray ProfileFile::quotedIfNeeded(const QByteArray &value)
{
    if (value.trimmed() != value || enclosedInQuotes(value))
        return '"' + value + '"';
    return value;
}

QByteArray ProfileFile::value(const QString &section, const QString &key, bool *found) const
{
    if (found)
        *found = false;
    const qsizetype s = sectionLine(section);
    if (s < 0)
        return {};
    const qsizetype k = keyLine(s, key);
    if (k < 0)
        return {};
    if (found)
        *found = true;
    const QByteArray &line = m_lines[k];
    QByteArray v = line.mid(line.indexOf('=') + 1).trimmed();
    if (enclosedInQuotes(v))
        v = v.mid(1, v.size() - 2);
    return v;
}

void ProfileFile::setValue(const QString &section, const QString &key, const QByteArray &value)
{
    const QByteArray line = key.toUtf8() + '=' + value;
    qsizetype s = sectionLine(section);
    if (s < 0) {
        m_lines << '[' + section.toUtf8() + ']' << line;
        return;
    }
    const qsizetype k = keyLine(s, key);
    if (k >= 0) {
        m_lines[k] = line;
        return;
    }
    // After the section's last key (blank lines that close it stay after).
    qsizetype at = s + 1;
    for (qsizetype i = s + 1; i < m_lines.size(); ++i) {
        const QByteArray t = m_lines[i].trimmed();
        if (isSectionLine(t))
            break;
        if (!t.isEmpty())
            at = i + 1;
    }
    m_lines.insert(at, line);
}

} // namespace iso
