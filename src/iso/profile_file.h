#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

namespace iso {

// An INI text file with the semantics templates rely on: section and key
// names matched without regard to case; a key updated in place; a new key
// appended at the end of its section; a new section at the end of the file;
// every other line kept as it was. Values are raw bytes: the caller decodes.
class ProfileFile
{
public:
    // Nothing larger is read: a template is a few kilobytes.
    static constexpr qint64 kProfileLimit = qint64(1) << 20;

    // Loads a file; a missing file is an empty profile. False with the
    // reason when it exists but cannot be read: the system's, "not a
    // regular file", or tooLargeText() above kProfileLimit.
    bool load(const QString &path, QString *error);
    static QString tooLargeText();
    // Writes it whole through a temporary file and a rename.
    bool save(const QString &path, QString *error) const;

    // The value of the first matching key, blanks around it and quotes
    // enclosing it dropped; `found` tells whether the key exists.
    QByteArray value(const QString &section, const QString &key, bool *found = nullptr) const;
    void setValue(const QString &section, const QString &key, const QByteArray &value);
    // A value as it must be written so that value() gives it back whole:
    // between double quotes when it begins or ends with a blank, or when
    // value() would take its own enclosing quotes away; as it is otherwise.
    static QByteArray quotedIfNeeded(const QByteArray &value);

    QByteArray text() const;

private:
    qsizetype sectionLine(const QString &section) const;
    qsizetype keyLine(qsizetype sectionAt, const QString &key) const;
    QList<QByteArray> m_lines;
};

} // namespace iso
