#include "base/spill_file.h"

#include "platform/platform.h"
#include "base/session.h"

#include <QFileInfo>

namespace base {

void SpillFile::bind(const QString &path)
{
    const QString abs = QFileInfo(path).absoluteFilePath();
    if (abs != m_path && m_file.isOpen())
        m_file.close();
    m_path = abs;
}

bool SpillFile::ensureOpen(QString *error)
{
    if (m_file.isOpen())
        return true;
    // Never through a symbolic link put in its place.
    QString reason;
    if (!platform::openScratchForAppend(m_path, &m_file, &reason)) {
        if (error)
            *error = platform::cannotOpenText(m_path, reason);
        return false;
    }
    return true;
}

bool SpillFile::spillIfOver(qsizetype length, const std::function<QString()> &text, QString *error)
{
    if (!isBound() || length <= kMemoOverflowLimit)
        return false;
    if (!ensureOpen(error))
        return false;
    const QByteArray bytes = text().toUtf8() + '\n';
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    return true;
}

bool SpillFile::appendAndClose(const QString &text, QString *error)
{
    if (!isBound())
        return true;
    if (!ensureOpen(error))
        return false;
    const QByteArray bytes = text.toUtf8() + '\n';
    const bool ok = m_file.write(bytes) == bytes.size() && m_file.flush();
    if (!ok && error)
        *error = m_file.errorString();
    m_file.close();
    return ok;
}

} // namespace base
