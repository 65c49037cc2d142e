#pragma once
#include <QFile>
#include <QString>

#include <functional>

namespace base {

// The Win9x-mode scratch file a memo moves its text into when the text grows
// too long. Kept open for appending once bound.
class SpillFile
{
public:
    // Binds to `path` (made absolute now, so later directory changes do not
    // move it). Opening is deferred to the first write.
    void bind(const QString &path);
    bool isBound() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    // When `length` exceeds the limit: appends text() and a line end, then
    // returns true so the caller clears its memo. `length` is the memo's
    // current text length, which the caller knows without building the text.
    bool spillIfOver(qsizetype length, const std::function<QString()> &text, QString *error);
    // Appends the text and a line end, flushes and closes the file.
    bool appendAndClose(const QString &text, QString *error);

private:
    bool ensureOpen(QString *error);
    QString m_path;
    QFile m_file;
};

} // namespace base
